#pragma once
#include "platform/nct/NCTSampleBlock.h"

#include <QByteArray>
#include <memory>

namespace nct {
struct ResamplerState;
}

// Converts blocks of interleaved 16-bit samples to another sample rate and
// channel count. The filter keeps a few samples back between blocks; Flush
// hands them out at the end of a stream, which then has exactly the length
// the rates ask for: the input frames times out/in, rounded half to even,
// and at least one frame for any input at all.
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
    // Ends the stream (the filter is left holding silence: Initialise
    // starts the next one).
    QByteArray Flush();
    // The length a stream of `inFrames` frames gets from Flush's end on.
    static qint64 convertedFrames(qint64 inFrames, qint32 inRate, qint32 outRate);

private:
    QByteArray run(const qint16* samples, int frames);

    qint32 m_inRate = 0, m_inChannels = 0;
    qint32 m_outRate = 0, m_outChannels = 0, m_outBits = 16;
    std::unique_ptr<nct::ResamplerState> m_state;
    qint64 m_framesIn = 0;  // of the stream so far
    qint64 m_framesOut = 0; // handed out so far
    NCTSampleBlock m_lastFrame; // of the input so far
};
