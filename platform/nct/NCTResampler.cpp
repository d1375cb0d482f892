#include "platform/nct/NCTResampler.h"

#include "platform/nct/FFmpegPointers.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace nct {
struct ResamplerState {
    SwrPtr context;
};
} // namespace nct

NCTResampler::NCTResampler() = default;
NCTResampler::~NCTResampler() = default;

void NCTResampler::SetInputFormat(qint32 sampleRate, qint32 channels)
{
    m_inRate = sampleRate;
    m_inChannels = channels;
}

void NCTResampler::SetOutputFormat(qint32 sampleRate, qint32 channels, qint32 bitsPerSample)
{
    m_outRate = sampleRate;
    m_outChannels = channels;
    m_outBits = bitsPerSample;
}

bool NCTResampler::Initialise(qint32 quality)
{
    m_state.reset();
    if (m_inRate <= 0 || m_outRate <= 0 || m_inChannels <= 0 || m_outChannels <= 0 || m_outBits != 16)
        return false;
    if (m_inRate == m_outRate && m_inChannels == m_outChannels)
        return true; // nothing to convert: blocks pass through
    nct::ChannelLayout inLayout(m_inChannels);
    nct::ChannelLayout outLayout(m_outChannels);
    SwrContext* raw = nullptr;
    if (swr_alloc_set_opts2(&raw, &outLayout.layout, AV_SAMPLE_FMT_S16, m_outRate, &inLayout.layout,
                            AV_SAMPLE_FMT_S16, m_inRate, 0, nullptr)
        < 0)
        return false;
    auto state = std::make_unique<nct::ResamplerState>();
    state->context.reset(raw);
    av_opt_set_int(raw, "filter_size", quality <= 0 ? 8 : quality == 1 ? 32 : 64, 0);
    // Mono to stereo puts the full signal on both sides and stereo to mono
    // takes the average, so a level measured before conversion still holds
    // after it (the default mix would lower mono by 3 dB).
    if (m_inChannels == 1 && m_outChannels == 2) {
        const double matrix[2] = {1.0, 1.0};
        swr_set_matrix(raw, matrix, 1);
    } else if (m_inChannels == 2 && m_outChannels == 1) {
        const double matrix[2] = {0.5, 0.5};
        swr_set_matrix(raw, matrix, 2);
    }
    if (swr_init(raw) < 0)
        return false;
    m_state = std::move(state);
    return true;
}

QByteArray NCTResampler::run(const qint16* samples, int frames)
{
    SwrContext* context = m_state->context.get();
    const int capacity = swr_get_out_samples(context, frames);
    if (capacity <= 0)
        return {};
    QByteArray out(static_cast<qsizetype>(capacity) * m_outChannels * 2, Qt::Uninitialized);
    uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(out.data())};
    const uint8_t* inPlanes[1] = {reinterpret_cast<const uint8_t*>(samples)};
    const int produced = swr_convert(context, outPlanes, capacity, samples ? inPlanes : nullptr, frames);
    out.resize(static_cast<qsizetype>(std::max(produced, 0)) * m_outChannels * 2);
    return out;
}

QByteArray NCTResampler::Convert(const NCTSampleBlock& block)
{
    if (!m_state)
        return QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size() * 2));
    if (block.empty() || m_inChannels <= 0)
        return {};
    return run(block.data(), static_cast<int>(block.size() / static_cast<size_t>(m_inChannels)));
}

QByteArray NCTResampler::Flush()
{
    if (!m_state)
        return {};
    return run(nullptr, 0);
}
