#pragma once
#include "platform/riff/WaveFormatHeader.h"

#include <QString>
#include <QtGlobal>

class QIODevice;

// Reads the format header (the first 18 bytes of the "fmt " chunk, or fewer
// when the chunk is shorter: the rest of `format` stays as passed) and the
// size of the "data" chunk. 0 on success; -1 when the file is missing, empty
// or unreadable, or a chunk error number when the RIFF "WAVE" form or its
// "fmt " chunk is not there. A missing "data" chunk leaves dataBytes 0; a
// "data" chunk claiming more than the file holds, or of size 0 (never
// filled in), counts what is there. RF64 files are read too.
qint32 ReadWaveFormat(const QString& fileName, WaveFormatHeader& format, qint64& dataBytes);
qint32 ReadWaveFormat(QIODevice& device, WaveFormatHeader& format, qint64& dataBytes);

// Seconds of audio in a WAV file: data bytes / average bytes per second.
// 0 when the file cannot be read or names no byte rate.
float GetWaveDuration(const QString& fileName);
float GetWaveDuration(QIODevice& device);
