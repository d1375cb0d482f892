#include "platform/nct/NCTResampler.h"

#include "platform/nct/FFmpegPointers.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <vector>

namespace nct {
struct ResamplerState {
    SwrPtr context;
};
} // namespace nct

namespace {

// Our own mix for every change of channel count towards mono or stereo, so
// that it does not depend on whether FFmpeg knows a layout for the count
// (poly-WAVs of 9, 12 or 32 tracks have none) and no channel is left out (its
// default mix drops the LFE of 2.1 and 5.1). Mono takes the average of all
// channels, so a level measured before conversion still holds after it. Mono
// to stereo puts the full signal on both sides (the default mix would lower it
// by 3 dB). From three or more channels, the first two are left and right and
// every further one goes to both sides at half weight; each side's weights add
// up to 1, so the mix cannot clip. Empty when FFmpeg's own mapping applies.
std::vector<double> mixMatrix(int inChannels, int outChannels)
{
    if (inChannels == outChannels || outChannels > 2)
        return {};
    std::vector<double> matrix(static_cast<size_t>(inChannels * outChannels), 0.0);
    if (outChannels == 1) {
        std::fill(matrix.begin(), matrix.end(), 1.0 / inChannels);
    } else if (inChannels == 1) {
        matrix = {1.0, 1.0};
    } else {
        const double share = 1.0 / (1.0 + 0.5 * (inChannels - 2));
        for (int side = 0; side < 2; ++side)
            for (int in = 0; in < inChannels; ++in)
                matrix[static_cast<size_t>(side * inChannels + in)] = in == side ? share : in < 2 ? 0.0 : share / 2;
    }
    return matrix;
}

} // namespace

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
    m_framesIn = 0;
    m_framesOut = 0;
    m_lastFrame.clear();
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
    const std::vector<double> matrix = mixMatrix(m_inChannels, m_outChannels);
    if (!matrix.empty() && swr_set_matrix(raw, matrix.data(), m_inChannels) < 0)
        return false;
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
    const int frames = static_cast<int>(block.size() / static_cast<size_t>(m_inChannels));
    const QByteArray out = run(block.data(), frames);
    m_lastFrame.assign(block.end() - m_inChannels, block.end());
    m_framesIn += frames;
    m_framesOut += out.size() / (m_outChannels * 2);
    return out;
}

qint64 NCTResampler::convertedFrames(qint64 inFrames, qint32 inRate, qint32 outRate)
{
    if (inFrames <= 0 || inRate <= 0 || outRate <= 0)
        return 0;
    const qint64 product = inFrames * outRate;
    qint64 frames = product / inRate;
    const qint64 twiceRest = 2 * (product % inRate);
    if (twiceRest > inRate || (twiceRest == inRate && frames % 2 != 0))
        ++frames;
    return std::max<qint64>(frames, 1);
}

// FFmpeg's own flush gives nothing for a stream shorter than the filter (a
// few dozen frames) and a frame or so too many for longer ones. The last
// frame held on after the end pushes the last real samples through the
// filter instead (silence would ring where a loud end drops to it), and the
// stream is cut at its length.
QByteArray NCTResampler::Flush()
{
    if (!m_state || m_lastFrame.empty())
        return {};
    const qint64 wanted = convertedFrames(m_framesIn, m_inRate, m_outRate) - m_framesOut;
    const int frameBytes = m_outChannels * 2;
    const int paddingFrames = std::max(m_inRate / 10, 1024);
    NCTSampleBlock padding;
    padding.reserve(static_cast<size_t>(paddingFrames) * m_inChannels);
    for (int frame = 0; frame < paddingFrames; ++frame)
        padding.insert(padding.end(), m_lastFrame.begin(), m_lastFrame.end());
    QByteArray out;
    // A tenth of a second outlasts the longest filter; the bound only guards
    // against a resampler that never answers.
    for (int round = 0; out.size() / frameBytes < wanted && round < 20; ++round)
        out += run(padding.data(), paddingFrames);
    out.truncate(static_cast<qsizetype>(std::clamp<qint64>(wanted, 0, out.size() / frameBytes)) * frameBytes);
    m_framesOut += out.size() / frameBytes;
    return out;
}
