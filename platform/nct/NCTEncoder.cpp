#include "platform/nct/NCTEncoder.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace nct {

namespace {

struct Target {
    const char* muxer;
    const char* encoder;
};

Target targetFor(const EncoderSetup& setup)
{
    using Coding = EncoderSetup::Coding;
    switch (setup.coding) {
    case Coding::Pcm:
        switch (setup.bitsPerSample) {
        case 8: return {"wav", "pcm_u8"};
        case 16: return {"wav", "pcm_s16le"};
        case 24: return {"wav", "pcm_s24le"};
        case 32: return {"wav", "pcm_s32le"};
        default: return {nullptr, nullptr};
        }
    case Coding::WaveTemplate: {
        const AVCodec* codec = avcodec_find_encoder(setup.waveCodec);
        return {"wav", codec ? codec->name : nullptr};
    }
    case Coding::Mp2: return {"mp2", "mp2"};
    case Coding::Wma: return {"asf", "wmav2"};
    case Coding::Vorbis: return {"ogg", "libvorbis"};
    case Coding::Mp3: return {"mp3", "libmp3lame"};
    default: return {nullptr, nullptr};
    }
}

// 16-bit is what we are handed, so an encoder that takes it is fed without
// conversion; otherwise the encoder's first choice.
AVSampleFormat sampleFormatFor(const AVCodec* codec)
{
    if (!codec->sample_fmts)
        return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* format = codec->sample_fmts; *format != AV_SAMPLE_FMT_NONE; ++format)
        if (*format == AV_SAMPLE_FMT_S16)
            return *format;
    for (const AVSampleFormat* format = codec->sample_fmts; *format != AV_SAMPLE_FMT_NONE; ++format)
        if (*format == AV_SAMPLE_FMT_S16P)
            return *format;
    return codec->sample_fmts[0];
}

bool supportsRate(const AVCodec* codec, int rate)
{
    if (!codec->supported_samplerates)
        return true;
    for (const int* supported = codec->supported_samplerates; *supported; ++supported)
        if (*supported == rate)
            return true;
    return false;
}

// Read rather than set-and-restored, since umask() would change it for every
// thread for a moment.
mode_t processUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:"))
                return static_cast<mode_t>(line.mid(6).trimmed().toUInt(nullptr, 8));
    }
    return 022;
}

// A hidden file beside the destination, so the final rename cannot cross
// file systems.
QString temporaryNameBeside(const QString& path)
{
    const QFileInfo info(path);
    QTemporaryFile file(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX.part"));
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    // A temporary file is private to its owner; the finished audio file gets
    // the permissions any new file of this user would get.
    ::fchmod(file.handle(), 0666 & ~processUmask());
    return file.fileName();
}

} // namespace

Encoder::~Encoder() { abandon(); }

bool Encoder::fail(const QString& message)
{
    m_error = message;
    abandon();
    return false;
}

bool Encoder::open(const QString& path, const EncoderSetup& setup, int inputRate, int inputChannels, QString* error)
{
    abandon();
    m_error.clear();
    m_nextPts = 0;
    m_outputFrames = 0;
    m_inputChannels = inputChannels;
    const Target target = targetFor(setup);
    if (!target.muxer || !target.encoder) {
        *error = QStringLiteral("No output coding was chosen");
        return false;
    }
    m_path = path;
    m_inPlace = setup.inPlace;
    m_temporaryPath = m_inPlace ? path : temporaryNameBeside(path);
    if (m_temporaryPath.isEmpty()) {
        *error = QStringLiteral("The folder cannot be written to");
        return false;
    }
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, target.muxer, nullptr) < 0 || !raw) {
        fail(QStringLiteral("No writer for this file type"));
        *error = m_error;
        return false;
    }
    m_context.reset(raw);
    // No program name or version in the file: the same audio gives the same bytes.
    m_context->flags |= AVFMT_FLAG_BITEXACT;
    // 32-bit sizes end at 4 GiB. Room for the 64-bit ones is kept in every WAV,
    // and a file that outgrows them is finished as RF64 instead of a RIFF whose
    // sizes are wrong.
    if (std::strcmp(target.muxer, "wav") == 0)
        av_opt_set(m_context->priv_data, "rf64", "auto", 0);

    const AVCodec* codec = avcodec_find_encoder_by_name(target.encoder);
    if (!codec || !openCodec(codec, setup, error)) {
        fail(codec ? *error : QStringLiteral("No encoder for this coding"));
        *error = m_error;
        return false;
    }
    m_stream = avformat_new_stream(m_context.get(), nullptr);
    if (!m_stream || avcodec_parameters_from_context(m_stream->codecpar, m_codec.get()) < 0) {
        fail(QStringLiteral("Out of memory"));
        *error = m_error;
        return false;
    }
    m_stream->time_base = m_codec->time_base;

    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const QByteArray url = QByteArrayLiteral("file:") + pathBytes(m_temporaryPath);
    int result = avio_open2(&m_context->pb, url.constData(), AVIO_FLAG_WRITE, nullptr, &options);
    av_dict_free(&options);
    if (result >= 0)
        result = avformat_write_header(m_context.get(), nullptr);
    if (result < 0 || !openConverter(inputRate, inputChannels)) {
        fail(result < 0 ? errorText(result) : QStringLiteral("Out of memory"));
        *error = m_error;
        return false;
    }
    return true;
}

bool Encoder::openCodec(const AVCodec* codec, const EncoderSetup& setup, QString* error)
{
    if (!supportsRate(codec, setup.sampleRate)) {
        *error = QStringLiteral("The encoder does not support %1 samples per second").arg(setup.sampleRate);
        return false;
    }
    m_codec.reset(avcodec_alloc_context3(codec));
    if (!m_codec) {
        *error = QStringLiteral("Out of memory");
        return false;
    }
    AVCodecContext* context = m_codec.get();
    context->sample_rate = setup.sampleRate;
    context->sample_fmt = sampleFormatFor(codec);
    av_channel_layout_default(&context->ch_layout, setup.channels);
    context->time_base = AVRational{1, setup.sampleRate};
    if (setup.bitRateKbps > 0)
        context->bit_rate = static_cast<int64_t>(setup.bitRateKbps) * 1000;
    if (setup.coding == EncoderSetup::Coding::Vorbis) {
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = std::clamp(setup.quality, 0, 10) * FF_QP2LAMBDA;
    }
    if (setup.coding == EncoderSetup::Coding::WaveTemplate && setup.blockAlign > 0)
        av_opt_set_int(context->priv_data, "block_size", setup.blockAlign, 0);
    if (m_context->oformat->flags & AVFMT_GLOBALHEADER)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int result = avcodec_open2(context, codec, nullptr);
    if (result < 0) {
        *error = errorText(result);
        return false;
    }
    m_frameSize = context->frame_size > 0 ? context->frame_size : 4096;
    m_frame.reset(av_frame_alloc());
    m_converted.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    return m_frame && m_converted && m_packet;
}

bool Encoder::openConverter(int inputRate, int inputChannels)
{
    const AVCodecContext* context = m_codec.get();
    m_fifo.reset(av_audio_fifo_alloc(context->sample_fmt, context->ch_layout.nb_channels, m_frameSize * 2));
    if (!m_fifo)
        return false;
    if (inputRate == context->sample_rate && inputChannels == context->ch_layout.nb_channels
        && context->sample_fmt == AV_SAMPLE_FMT_S16)
        return true;
    ChannelLayout inLayout(inputChannels);
    AVChannelLayout outLayout{};
    av_channel_layout_copy(&outLayout, &context->ch_layout);
    SwrContext* raw = nullptr;
    const int result = swr_alloc_set_opts2(&raw, &outLayout, context->sample_fmt, context->sample_rate, &inLayout.layout,
                            AV_SAMPLE_FMT_S16, inputRate, 0, nullptr);
    av_channel_layout_uninit(&outLayout);
    if (result < 0)
        return false;
    m_converter.reset(raw);
    return swr_init(m_converter.get()) >= 0;
}

bool Encoder::write(const qint16* samples, qint64 frames)
{
    if (!isOpen())
        return false;
    while (frames > 0) {
        // Large blocks are handed on in pieces the converter's int counts can take.
        const int piece = static_cast<int>(std::min<qint64>(frames, 1 << 20));
        const uint8_t* input[1] = {reinterpret_cast<const uint8_t*>(samples)};
        if (!convertIntoFifo(input, piece) || !encodeFromFifo(false))
            return false;
        samples += static_cast<qint64>(piece) * m_inputChannels;
        frames -= piece;
    }
    return true;
}

bool Encoder::convertIntoFifo(const uint8_t* const* input, int frames)
{
    if (!m_converter) {
        if (frames > 0 && av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(input)), frames) < frames)
            return fail(QStringLiteral("Out of memory"));
        m_outputFrames += frames;
        return true;
    }
    const int capacity = swr_get_out_samples(m_converter.get(), frames);
    if (capacity <= 0)
        return true;
    if (m_converted->nb_samples < capacity) {
        av_frame_unref(m_converted.get());
        m_converted->format = m_codec->sample_fmt;
        av_channel_layout_copy(&m_converted->ch_layout, &m_codec->ch_layout);
        m_converted->nb_samples = capacity;
        if (av_frame_get_buffer(m_converted.get(), 0) < 0)
            return fail(QStringLiteral("Out of memory"));
    }
    const int produced = swr_convert(m_converter.get(), m_converted->data, capacity,
                                     const_cast<const uint8_t**>(input), input ? frames : 0);
    if (produced < 0)
        return fail(errorText(produced));
    if (produced > 0
        && av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void**>(m_converted->data), produced) < produced)
        return fail(QStringLiteral("Out of memory"));
    m_outputFrames += produced;
    return true;
}

bool Encoder::encodeFromFifo(bool final)
{
    while (av_audio_fifo_size(m_fifo.get()) >= m_frameSize || (final && av_audio_fifo_size(m_fifo.get()) > 0)) {
        const int frames = std::min(m_frameSize, av_audio_fifo_size(m_fifo.get()));
        AVFrame* frame = m_frame.get();
        av_frame_unref(frame);
        frame->nb_samples = frames;
        frame->format = m_codec->sample_fmt;
        frame->sample_rate = m_codec->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &m_codec->ch_layout);
        if (av_frame_get_buffer(frame, 0) < 0)
            return fail(QStringLiteral("Out of memory"));
        if (av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void**>(frame->data), frames) < frames)
            return fail(QStringLiteral("Out of memory"));
        frame->pts = m_nextPts;
        m_nextPts += frames;
        // A short last frame is sent as it is; the encoder pads it if it must.
        if (!sendFrame(frame))
            return false;
    }
    return true;
}

bool Encoder::sendFrame(const AVFrame* frame)
{
    const int result = avcodec_send_frame(m_codec.get(), frame);
    if (result < 0)
        return fail(errorText(result));
    return receivePackets();
}

bool Encoder::receivePackets()
{
    for (;;) {
        const int result = avcodec_receive_packet(m_codec.get(), m_packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return fail(errorText(result));
        av_packet_rescale_ts(m_packet.get(), m_codec->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        const int written = av_write_frame(m_context.get(), m_packet.get());
        av_packet_unref(m_packet.get());
        if (written < 0)
            return fail(errorText(written));
    }
}

bool Encoder::finish(QString* error)
{
    if (!isOpen()) {
        *error = QStringLiteral("No file is being written");
        return false;
    }
    bool ok = (!m_converter || convertIntoFifo(nullptr, 0)) && encodeFromFifo(true) && sendFrame(nullptr);
    if (ok) {
        const int result = av_write_trailer(m_context.get());
        if (result < 0)
            ok = fail(errorText(result));
    }
    if (ok) {
        avio_closep(&m_context->pb);
        if (m_context->pb == nullptr && !m_inPlace && std::rename(QFile::encodeName(m_temporaryPath).constData(),
                                                    QFile::encodeName(m_path).constData())
                != 0)
            ok = fail(QStringLiteral("The finished file could not be moved into place"));
    }
    if (!ok) {
        *error = m_error;
        return false;
    }
    m_temporaryPath.clear();
    abandon(); // releases the handles; nothing is left to delete
    return true;
}

void Encoder::abandon()
{
    m_converter.reset();
    m_fifo.reset();
    m_codec.reset();
    m_context.reset(); // closes the temporary file if it is still open
    m_stream = nullptr;
    if (!m_temporaryPath.isEmpty() && !m_inPlace) {
        QFile::remove(m_temporaryPath);
        m_temporaryPath.clear();
    }
}

} // namespace nct
