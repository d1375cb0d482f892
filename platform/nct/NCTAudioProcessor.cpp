#include "platform/nct/NCTAudioProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

qint32 NCTAudioProcessor::LevelFromPercent(double percent) const
{
    // Rounded up, so that even the smallest threshold treats digital silence
    // as below it.
    return static_cast<qint32>(std::clamp(std::ceil(percent * 32768.0 / 100.0), 0.0, 32768.0));
}

void NCTAudioProcessor::TrimBelowLevel(NCTSampleBlock& block, qint32 level, qint32 fromEnd) const
{
    const size_t channels = static_cast<size_t>(m_channels);
    const size_t frames = block.size() / channels;
    auto quiet = [&](size_t frame) {
        for (size_t c = 0; c < channels; ++c)
            if (std::abs(static_cast<int>(block[frame * channels + c])) >= level)
                return false;
        return true;
    };
    if (fromEnd == 0) {
        size_t first = 0;
        while (first < frames && quiet(first))
            ++first;
        block.erase(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(first * channels));
    } else {
        size_t end = frames;
        while (end > 0 && quiet(end - 1))
            --end;
        block.resize(end * channels);
    }
}

qint16 NCTAudioProcessor::finish(double value)
{
    if (m_dither) {
        // Two uniform values in [-0.5, 0.5) make a triangular distribution.
        auto uniform = [this] {
            m_noise = m_noise * 1664525u + 1013904223u;
            return static_cast<double>(m_noise >> 8) / 16777216.0 - 0.5;
        };
        value += uniform() + uniform();
    }
    if (m_softClip) {
        const double knee = 0.9 * 32767.0;
        const double magnitude = std::abs(value);
        if (magnitude > knee) {
            const double room = 32767.0 - knee;
            value = std::copysign(knee + room * std::tanh((magnitude - knee) / room), value);
        }
    }
    return static_cast<qint16>(std::clamp(std::nearbyint(value), -32768.0, 32767.0));
}

void NCTAudioProcessor::ApplyGain(NCTSampleBlock& block, double percent)
{
    const double factor = percent / 100.0;
    if (!m_dither && !m_softClip) {
        // The common case, written so that the compiler can vectorise it:
        // adding and taking away 1.5 x 2^23 rounds a float to the nearest
        // integer, halves to even, without a library call per sample.
        const float f = static_cast<float>(factor);
        constexpr float roundingBias = 12582912.0f;
        for (qint16& sample : block) {
            const float rounded = (static_cast<float>(sample) * f + roundingBias) - roundingBias;
            sample = static_cast<qint16>(std::clamp(static_cast<int>(rounded), -32768, 32767));
        }
        return;
    }
    for (qint16& sample : block)
        sample = finish(sample * factor);
}

NCTSampleBlock NCTAudioProcessor::Mix(const NCTSampleBlock& block, double volumeA, const NCTSampleBlock& hold,
                                      double volumeB)
{
    NCTSampleBlock mixed(block);
    const double a = volumeA / 100.0 * (m_mixAverage ? 0.5 : 1.0);
    const double b = volumeB / 100.0 * (m_mixAverage ? 0.5 : 1.0);
    const size_t overlap = std::min(block.size(), hold.size());
    for (size_t i = 0; i < overlap; ++i)
        mixed[i] = finish(block[i] * a + hold[i] * b);
    return mixed;
}
