#pragma once
// Private to platform/nct: the length of a file's audio as the decoder really
// delivers it, whatever the file's headers claim.

#include "platform/nct/NCTMediaInput.h"

#include <QString>

namespace nct {

struct LengthCount {
    qint64 frames = -1;    // frames the decoder delivers; -1 = unknown
    qint64 codedBytes = 0; // bytes of coded audio seen (0 when not counted)
    qint64 codedFrames = 0; // frames those bytes stand for, before trimming
};

// Counts with as little work as the coding allows: linear PCM (WAV, AIFF) from its sizes
// (checked against the file's real size), MPEG audio by walking its frame
// headers without decoding, FLAC from its STREAMINFO, everything else by
// decoding.
// An input already open on `path` is read to its end instead of opening the
// file again.
LengthCount countLength(const QString& path, MediaInput* openInput = nullptr);

// The length a file's headers give, without reading the audio (-1 = none).
qint64 headerLength(const MediaInput& input);

// One MPEG audio frame header: its length in bytes (0 for free format) and
// the frames it decodes to. False when the bytes are not a valid header.
bool parseMpegHeader(const uint8_t* bytes, int size, int* frameBytes, int* frames);

} // namespace nct
