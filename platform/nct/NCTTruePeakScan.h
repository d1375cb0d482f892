#pragma once
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <vector>

// The largest level of the signal between and at its samples: the samples
// interpolated four times over below 96 kHz, twice below 192 kHz, with a
// short windowed sinc. Stretches whose samples could not interpolate past
// the peak found so far are not interpolated at all, which leaves most of
// a loud recording to the cheap sample peak.
class NCTTruePeakScan
{
public:
    bool start(qint32 sampleRate, qint32 channels);
    void add(const qint16* samples, qint64 frames);
    // Linear, 1.0 being full scale; 0 for silence.
    double peak() const { return std::max(m_peak, m_samplePeak) / 32768.0; }
    // The largest sample alone.
    double samplePeak() const { return m_samplePeak / 32768.0; }

    static constexpr int Taps = 12; // per phase

private:
    void scanChannel(std::vector<float>& line);
    float interpolatedPeak(const float* line, qint64 outputs) const;

    qint32 m_channels = 0;
    std::vector<std::array<float, Taps>> m_phases; // the positions between two samples
    float m_reach = 0; // how far past its samples' peak interpolation may go
    std::vector<std::vector<float>> m_lines; // per channel: the last Taps - 1 samples, then the new ones
    float m_peak = 0; // between samples
    float m_samplePeak = 0;
};
