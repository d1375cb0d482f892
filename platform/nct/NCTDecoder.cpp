#include "platform/nct/NCTDecoder.h"

#include <algorithm>
#include <cstring>

namespace nct {

bool Decoder::open(const QString& path, QString* error)
{
    close();
    if (!m_input.open(path, error))
        return false;
    if (!openDecoder(error)) {
        close();
        return false;
    }
    m_path = path;
    return true;
}

bool Decoder::openDecoder(QString* error)
{
    const AVCodecParameters* parameters = m_input.stream()->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) {
        *error = QStringLiteral("No decoder for this audio coding");
        return false;
    }
    m_codec.reset(avcodec_alloc_context3(codec));
    if (!m_codec || avcodec_parameters_to_context(m_codec.get(), parameters) < 0) {
        *error = QStringLiteral("Out of memory");
        return false;
    }
    m_codec->pkt_timebase = m_input.stream()->time_base;
    const int result = avcodec_open2(m_codec.get(), codec, nullptr);
    if (result < 0) {
        *error = errorText(result);
        return false;
    }
    m_packet.reset(av_packet_alloc());
    m_frame.reset(av_frame_alloc());
    if (!m_packet || !m_frame) {
        *error = QStringLiteral("Out of memory");
        return false;
    }
    m_rate = parameters->sample_rate;
    m_channels = parameters->ch_layout.nb_channels;
    return true;
}

void Decoder::close()
{
    m_converter.reset();
    av_channel_layout_uninit(&m_converterLayout);
    m_converterRate = 0;
    m_converterFormat = -1;
    m_codec.reset();
    m_packet.reset();
    m_frame.reset();
    m_input.close();
    m_draining = false;
    m_finished = false;
    m_position = 0;
    m_pending.clear();
    m_pendingOffset = 0;
}

qint64 Decoder::pendingFrames() const
{
    return m_channels > 0 ? static_cast<qint64>(m_pending.size() - m_pendingOffset) / m_channels : 0;
}

NCTSampleBlock Decoder::read(qint64 frames)
{
    NCTSampleBlock block;
    if (!isOpen() || frames <= 0)
        return block;
    while (pendingFrames() < frames && decodeMore()) {
    }
    const qint64 take = std::min(frames, pendingFrames());
    const auto first = m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingOffset);
    block.assign(first, first + static_cast<std::ptrdiff_t>(take * m_channels));
    m_pendingOffset += static_cast<size_t>(take * m_channels);
    m_position += take;
    return block;
}

void Decoder::discard(qint64 frames)
{
    while (frames > 0) {
        if (pendingFrames() == 0 && !decodeMore())
            return;
        const qint64 take = std::min(frames, pendingFrames());
        m_pendingOffset += static_cast<size_t>(take * m_channels);
        m_position += take;
        frames -= take;
    }
}

bool Decoder::seek(qint64 frame)
{
    if (!isOpen())
        return false;
    frame = std::max<qint64>(frame, 0);
    if (frame == m_position)
        return true;
    if (frame > m_position) {
        discard(frame - m_position);
        return true;
    }
    // Linear PCM in a WAV file has exact timestamps, so a jump lands where it
    // should. Every other coding is decoded again from the start: estimated
    // seek points in compressed files (VBR MPEG above all) are not exact.
    if (m_input.container() == Container::Wave && isLinearPcm(m_input.codecId()) && seekByTimestamp(frame))
        return true;
    const QString path = m_path;
    QString error;
    if (!open(path, &error))
        return false;
    discard(frame);
    return true;
}

bool Decoder::seekByTimestamp(qint64 frame)
{
    AVStream* stream = m_input.stream();
    const qint64 timestamp = av_rescale_q(frame, AVRational{1, m_rate}, stream->time_base);
    if (av_seek_frame(m_input.context(), stream->index, timestamp, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_codec.get());
    m_pending.clear();
    m_pendingOffset = 0;
    m_draining = false;
    m_finished = false;
    if (!m_input.readAudioPacket(m_packet.get()))
        return false;
    const qint64 pts = m_packet->pts;
    const qint64 landed = pts == AV_NOPTS_VALUE ? -1 : av_rescale_q(pts, stream->time_base, AVRational{1, m_rate});
    if (landed < 0 || landed > frame) {
        av_packet_unref(m_packet.get());
        return false;
    }
    const int result = avcodec_send_packet(m_codec.get(), m_packet.get());
    av_packet_unref(m_packet.get());
    if (result < 0)
        return false;
    m_position = landed;
    discard(frame - landed);
    return true;
}

bool Decoder::decodeMore()
{
    while (!m_finished) {
        if (receiveFrames())
            return true;
        if (m_finished)
            break;
        if (m_draining) {
            m_finished = true;
            break;
        }
        if (!m_input.readAudioPacket(m_packet.get())) {
            avcodec_send_packet(m_codec.get(), nullptr);
            m_draining = true;
            continue;
        }
        // A damaged packet is dropped; the rest of the file still plays.
        avcodec_send_packet(m_codec.get(), m_packet.get());
        av_packet_unref(m_packet.get());
    }
    return false;
}

// Takes every frame the decoder has ready. True when audio was added.
bool Decoder::receiveFrames()
{
    bool added = false;
    for (;;) {
        const int result = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (result == AVERROR(EAGAIN))
            return added;
        if (result < 0) {
            m_finished = m_draining || result != AVERROR_INVALIDDATA;
            return added;
        }
        if (appendFrame(m_frame.get()))
            added = true;
        av_frame_unref(m_frame.get());
    }
}

bool Decoder::configureConverter(const AVFrame* frame)
{
    AVChannelLayout inLayout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0)
        av_channel_layout_default(&inLayout, frame->ch_layout.nb_channels ? frame->ch_layout.nb_channels : m_channels);
    else
        av_channel_layout_copy(&inLayout, &frame->ch_layout);
    const bool same = m_converter && m_converterRate == frame->sample_rate && m_converterFormat == frame->format
        && av_channel_layout_compare(&m_converterLayout, &inLayout) == 0;
    if (same) {
        av_channel_layout_uninit(&inLayout);
        return true;
    }
    ChannelLayout outLayout(m_channels);
    SwrContext* raw = nullptr;
    int result = swr_alloc_set_opts2(&raw, &outLayout.layout, AV_SAMPLE_FMT_S16, m_rate, &inLayout,
                                     static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    SwrPtr converter(raw);
    if (result >= 0 && inLayout.nb_channels == m_channels) {
        // Same channel count: pass channels through as they are, whatever the
        // layout says (a "dual mono" file must not be folded).
        std::vector<double> identity(static_cast<size_t>(m_channels * m_channels), 0.0);
        for (int c = 0; c < m_channels; ++c)
            identity[static_cast<size_t>(c * m_channels + c)] = 1.0;
        swr_set_matrix(converter.get(), identity.data(), m_channels);
    }
    if (result >= 0)
        result = swr_init(converter.get());
    av_channel_layout_uninit(&m_converterLayout);
    m_converterLayout = inLayout;
    if (result < 0) {
        m_converter.reset();
        return false;
    }
    m_converter = std::move(converter);
    m_converterRate = frame->sample_rate;
    m_converterFormat = frame->format;
    return true;
}

bool Decoder::appendFrame(const AVFrame* frame)
{
    if (frame->nb_samples <= 0 || !configureConverter(frame))
        return false;
    if (m_pendingOffset > 0) {
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingOffset));
        m_pendingOffset = 0;
    }
    const int capacity = swr_get_out_samples(m_converter.get(), frame->nb_samples);
    if (capacity <= 0)
        return false;
    const size_t before = m_pending.size();
    m_pending.resize(before + static_cast<size_t>(capacity) * m_channels);
    uint8_t* out = reinterpret_cast<uint8_t*>(m_pending.data() + before);
    const int produced = swr_convert(m_converter.get(), &out, capacity,
                                     const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    m_pending.resize(before + static_cast<size_t>(std::max(produced, 0)) * m_channels);
    return produced > 0;
}

} // namespace nct
