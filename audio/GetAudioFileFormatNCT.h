#pragma once
#include "frame/library/AudioFormat.h"

#include <QString>
#include <memory>

// What audio format a file holds and how long it is. Returns the format when
// the file exists, is not empty, can be opened and is of a known type (WAV,
// MPEG Layer 2 or 3, WMA, Ogg Vorbis; and FLAC, AIFF, Opus and AAC, which
// the import only reads); lengthSamples then receives its length
// in samples per channel. For an existing, non-empty file lengthSamples is 0
// whenever no format is returned; for a missing or empty one it is left as
// passed. Logs one start and one finish line at level 5.
std::unique_ptr<AudioFormat> GetAudioFileFormatNCT(const QString& fileName, qint64& lengthSamples);

// The same answer without the length: nothing is decoded to count it, so the
// bit rate of Ogg and WMA is the one their headers state. For the copy job,
// which counts while it decodes.
std::unique_ptr<AudioFormat> GetAudioFileFormatFromHeaders(const QString& fileName);
