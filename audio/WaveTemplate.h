#pragma once
#include <QString>
#include <QtGlobal>

// Writes an empty WAV file (a "JUNK" chunk that keeps room for RF64 sizes, a
// "fmt " chunk and an empty "data" chunk) whose
// format is what the compression manager suggests for `formatTag` at the
// given rate and channel count. The copy job hands such a file to the audio
// component as the template of an IMA ADPCM destination. None of the
// arguments is changed. True when the whole file was written.
bool CreateAudioFile(const QString& fileName, qint32 sampleRate, qint16 channels, qint16 formatTag);
