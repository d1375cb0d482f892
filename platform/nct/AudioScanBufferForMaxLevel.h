#pragma once
#include <QtGlobal>

// The peak level of a buffer of interleaved 16-bit samples, in percent of
// full scale (32768). peakSample receives the largest magnitude found and
// peakFrame the frame it was first found in. options is reserved (callers
// pass 24).
float AudioScanBufferForMaxLevel(const void* buffer, qint32 byteCount, qint32 channels, qint32& peakSample,
                                 qint32& peakFrame, qint32 options);
