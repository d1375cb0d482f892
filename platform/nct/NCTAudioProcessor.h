#pragma once
#include "platform/nct/NCTSampleBlock.h"

#include <QtGlobal>

// Sample arithmetic on blocks of interleaved 16-bit samples of one format
// (SampleRate, Channels). Levels are sample magnitudes; 32768 is full scale.
class NCTAudioProcessor
{
public:
    qint32 SampleRate() const { return m_sampleRate; }
    void setSampleRate(qint32 rate) { m_sampleRate = rate; }
    qint32 Channels() const { return m_channels; }
    void setChannels(qint32 channels) { m_channels = channels > 0 ? channels : 1; }

    // Options, all off (0) unless set:
    // Dither adds triangular dither of one step when gain or mixing changes samples.
    void setDither(int on) { m_dither = on != 0; }
    // SoftClip bends levels past 90 % of full scale instead of cutting them off.
    void setSoftClip(int on) { m_softClip = on != 0; }
    // MixAverage halves a mix instead of summing it.
    void setMixAverage(int on) { m_mixAverage = on != 0; }

    // The smallest level that counts as reaching `percent` of full scale.
    qint32 LevelFromPercent(double percent) const;
    // Removes whole frames whose samples all stay below `level`: leading ones
    // when fromEnd is 0, trailing ones otherwise. The block may become empty.
    void TrimBelowLevel(NCTSampleBlock& block, qint32 level, qint32 fromEnd) const;
    // Multiplies every sample by percent / 100.
    void ApplyGain(NCTSampleBlock& block, double percent);
    // The block with the start of `hold` added, each scaled by its volume in
    // percent. Where the hold ends the block continues unchanged.
    NCTSampleBlock Mix(const NCTSampleBlock& block, double volumeA, const NCTSampleBlock& hold, double volumeB);
    NCTSampleBlock Copy(const NCTSampleBlock& block) const { return block; }

private:
    qint16 finish(double value);

    qint32 m_sampleRate = 44100;
    qint32 m_channels = 2;
    bool m_dither = false;
    bool m_softClip = false;
    bool m_mixAverage = false;
    quint32 m_noise = 0x12345678u;
};
