#pragma once
#include <QtGlobal>
#include <vector>

// A block of audio as the component hands it around: interleaved signed
// 16-bit samples, channel by channel within each frame.
using NCTSampleBlock = std::vector<qint16>;
