#include "platform/nct/AudioScanBufferForMaxLevel.h"

#include <algorithm>
#include <cstdlib>

float AudioScanBufferForMaxLevel(const void* buffer, qint32 byteCount, qint32 channels, qint32& peakSample,
                                 qint32& peakFrame, qint32 options)
{
    Q_UNUSED(options);
    peakSample = 0;
    peakFrame = 0;
    if (!buffer || byteCount < 2 || channels <= 0)
        return 0.0f;
    const auto* samples = static_cast<const qint16*>(buffer);
    const qint32 count = byteCount / 2;
    // First the peak alone, a loop the compiler vectorises; then where it is.
    int peak = 0;
    for (qint32 i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    qint32 at = 0;
    while (at < count && std::abs(static_cast<int>(samples[at])) != peak)
        ++at;
    peakSample = peak;
    peakFrame = at / channels;
    return static_cast<float>(peak) * 100.0f / 32768.0f;
}
