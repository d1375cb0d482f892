#include "NCTTruePeakScan.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 Stretch = 256; // frames judged together for skipping

// The loops are written so that the compiler can vectorise them; where the
// processor has them, the wider vectors are used.
#define WIDEST_VECTORS __attribute__((target_clones("arch=x86-64-v3", "default")))

// max |x| of a stretch.
WIDEST_VECTORS float largestMagnitude(const float* values, qint64 count)
{
    float largest = 0;
    for (qint64 i = 0; i < count; ++i)
        largest = std::max(largest, std::fabs(values[i]));
    return largest;
}

} // namespace

bool NCTTruePeakScan::start(qint32 sampleRate, qint32 channels)
{
    if (sampleRate <= 0 || channels <= 0)
        return false;
    m_channels = channels;
    m_peak = m_samplePeak = 0;
    const int factor = sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
    // A sinc cut off at the original Nyquist frequency under a Hann window,
    // centred on a sample; the phases between samples, each set to pass DC
    // unchanged. At the samples themselves it passes them as they are, so
    // those are the sample peak.
    const int length = factor * Taps + 1;
    const double centre = (length - 1) / 2.0;
    m_phases.clear();
    m_reach = 1;
    for (int phase = 1; phase < factor; ++phase) {
        std::array<float, Taps> taps{};
        double sum = 0;
        double values[Taps];
        for (int k = 0; k < Taps; ++k) {
            const double n = k * factor + phase;
            const double x = (n - centre) / factor;
            const double window = 0.5 * (1 - std::cos(2 * M_PI * n / (length - 1)));
            values[k] = (x == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x)) * window;
            sum += values[k];
        }
        double magnitude = 0;
        for (int k = 0; k < Taps; ++k) {
            taps[k] = static_cast<float>(values[k] / sum);
            magnitude += std::fabs(values[k] / sum);
        }
        m_reach = std::max(m_reach, static_cast<float>(magnitude));
        m_phases.push_back(taps);
    }
    m_lines.assign(static_cast<size_t>(channels), std::vector<float>(Taps - 1, 0.0f));
    return true;
}

void NCTTruePeakScan::add(const qint16* samples, qint64 frames)
{
    for (qint32 c = 0; c < m_channels; ++c) {
        std::vector<float>& line = m_lines[static_cast<size_t>(c)];
        line.resize(Taps - 1 + static_cast<size_t>(frames));
        for (qint64 i = 0; i < frames; ++i)
            line[static_cast<size_t>(Taps - 1 + i)] = samples[i * m_channels + c];
        scanChannel(line);
    }
}

// Looks at the new samples of one channel, then keeps the last of them as
// the history of the next block.
void NCTTruePeakScan::scanChannel(std::vector<float>& line)
{
    const qint64 frames = static_cast<qint64>(line.size()) - (Taps - 1);
    for (qint64 at = 0; at < frames; at += Stretch) {
        const qint64 count = std::min(Stretch, frames - at);
        const float* stretch = line.data() + at; // with the Taps - 1 samples before it
        m_samplePeak = std::max(m_samplePeak, largestMagnitude(stretch + Taps - 1, count));
        if (largestMagnitude(stretch, count + Taps - 1) * m_reach > peak() * 32768)
            m_peak = std::max(m_peak, interpolatedPeak(stretch, count));
    }
    line.erase(line.begin(), line.end() - (Taps - 1));
}

// The largest interpolated level between the samples of a stretch; line
// holds Taps - 1 samples before the outputs' samples.
WIDEST_VECTORS float NCTTruePeakScan::interpolatedPeak(const float* line, qint64 outputs) const
{
    float largest = 0;
    float sums[Stretch];
    for (const std::array<float, Taps>& taps : m_phases) {
        std::fill_n(sums, outputs, 0.0f);
        for (int k = 0; k < Taps; ++k) {
            const float tap = taps[static_cast<size_t>(k)];
            const float* from = line + (Taps - 1 - k);
            for (qint64 i = 0; i < outputs; ++i)
                sums[i] += tap * from[i];
        }
        largest = std::max(largest, largestMagnitude(sums, outputs));
    }
    return largest;
}
