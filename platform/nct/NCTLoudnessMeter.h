#pragma once
#include "frame/library/LoudnessValues.h"
#include "platform/nct/NCTSampleAnalyser.h"
#include "platform/nct/NCTTruePeakScan.h"

#include <deque>
#include <memory>

// EBU R128 loudness of the audio it is shown: integrated loudness, loudness
// range, true peak and the largest momentary (400 ms) and short-term (3 s)
// loudness. The maxima are taken every 100 ms, as a meter shows them. The
// library's own true peak interpolates every sample and would cost five
// times the rest of the measurement together (more than the copy it rides
// on), so the true peak is NCTTruePeakScan's.
class NCTLoudnessMeter : public NCTSampleAnalyser
{
public:
    NCTLoudnessMeter();
    ~NCTLoudnessMeter() override;

    bool start(qint32 sampleRate, qint32 channels) override;
    void add(const qint16* samples, qint64 frames) override;
    void finish() override;
    // What the audio shown since start measures; empty values where it had
    // nothing to measure (silence, or no start).
    LoudnessValues result() const;
    // The largest sample, 1.0 being full scale.
    double samplePeak() const { return m_truePeak.samplePeak(); }

private:
    // The library's state, which its header declares without a name to
    // declare here.
    struct State;
    void endOfStep();

    std::unique_ptr<State> m_state;
    NCTTruePeakScan m_truePeak;
    qint32 m_channels = 0;
    qint64 m_stepFrames = 0; // 100 ms
    qint64 m_inStep = 0;     // frames of the current step shown so far
    std::deque<double> m_stepEnergies; // the last 3 s, 100 ms each
    double m_maxMomentaryEnergy = 0;
    double m_maxShortTermEnergy = 0;
};
