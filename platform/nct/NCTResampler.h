#pragma once
#include "platform/nct/NCTSampleBlock.h"

#include <QByteArray>
#include <memory>

namespace nct {
struct ResamplerState;
}

// Converts blocks of interleaved 16-bit samples to another sample rate and
// channel count. The filter keeps a few samples back between blocks; Flush
// hands them out at the end of a stream.
class NCTResampler
{
public:
    NCTResampler();
    ~NCTResampler();
    NCTResampler(const NCTResampler&) = delete;
    NCTResampler& operator=(const NCTResampler&) = delete;

    void SetInputFormat(qint32 sampleRate, qint32 channels);
    // Only 16 bits per sample are produced.
    void SetOutputFormat(qint32 sampleRate, qint32 channels, qint32 bitsPerSample);
    // quality: 0 short filter (fast), 1 standard, 2 long filter. Starts a new stream.
    bool Initialise(qint32 quality);

    // The converted block as the bytes of interleaved 16-bit samples.
    QByteArray Convert(const NCTSampleBlock& block);
    QByteArray Flush();

private:
    QByteArray run(const qint16* samples, int frames);

    qint32 m_inRate = 0, m_inChannels = 0;
    qint32 m_outRate = 0, m_outChannels = 0, m_outBits = 16;
    std::unique_ptr<nct::ResamplerState> m_state;
};
