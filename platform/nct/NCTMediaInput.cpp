#include "platform/nct/NCTMediaInput.h"

#include <cstring>

namespace nct {

namespace {

// Only local files: a name that happens to contain "http:" must not reach
// the network.
AVDictionary* fileOnlyOptions()
{
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    return options;
}

QByteArray fileUrl(const QString& path) { return QByteArrayLiteral("file:") + pathBytes(path); }

// Chooses the demuxer from the first bytes of the file, then rewinds to them.
// The probe is given no file name, so an extension cannot win over the content.
const AVInputFormat* probeContent(AVIOContext* io, QString* error)
{
    const AVInputFormat* format = nullptr;
    const int result = av_probe_input_buffer2(io, &format, "", nullptr, 0, 0);
    if (result < 0 || !format) {
        *error = result < 0 ? errorText(result) : QStringLiteral("Unknown file format");
        return nullptr;
    }
    return format;
}

Container containerOf(const AVInputFormat* format)
{
    const char* name = format->name;
    if (std::strcmp(name, "wav") == 0)
        return Container::Wave;
    if (std::strcmp(name, "mp3") == 0)
        return Container::MpegAudio;
    if (std::strcmp(name, "asf") == 0)
        return Container::WindowsMedia;
    if (std::strcmp(name, "ogg") == 0)
        return Container::Ogg;
    return Container::Other;
}

} // namespace

bool MediaInput::open(const QString& path, QString* error)
{
    // Failures reach our callers as results and descriptions; FFmpeg's own
    // console messages would only clutter the output of the tools.
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    Q_UNUSED(quiet);
    close();
    const QByteArray url = fileUrl(path);
    // The file is opened once: the demuxer reads on from the probed bytes.
    AVIOContext* io = nullptr;
    AVDictionary* options = fileOnlyOptions();
    int result = avio_open2(&io, url.constData(), AVIO_FLAG_READ, nullptr, &options);
    av_dict_free(&options);
    if (result < 0) {
        *error = errorText(result);
        return false;
    }
    const AVInputFormat* format = probeContent(io, error);
    AVFormatContext* raw = format ? avformat_alloc_context() : nullptr;
    if (!raw) {
        if (format)
            *error = QStringLiteral("Out of memory");
        avio_closep(&io);
        return false;
    }
    raw->pb = io;
    options = fileOnlyOptions(); // for whatever the demuxer opens itself
    result = avformat_open_input(&raw, url.constData(), format, &options);
    av_dict_free(&options);
    if (result < 0) {
        avio_closep(&io); // a context of our own is not closed by a failed open
        *error = errorText(result);
        return false;
    }
    InputContextPtr context(raw);
    result = avformat_find_stream_info(context.get(), nullptr);
    if (result < 0) {
        *error = errorText(result);
        return false;
    }
    result = av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (result < 0) {
        *error = QStringLiteral("The file holds no audio");
        return false;
    }
    AVStream* stream = context->streams[result];
    // A header claiming a rate no recording has (1 Hz, say) would turn a few
    // kilobytes into hours of audio at any other rate.
    if (stream->codecpar->sample_rate < MinimumSampleRate || stream->codecpar->sample_rate > MaximumSampleRate
        || stream->codecpar->ch_layout.nb_channels <= 0) {
        *error = QStringLiteral("The audio format could not be read");
        return false;
    }
    // Only the audio stream is read; cover pictures and other streams are skipped
    // by the demuxer rather than handed to us.
    for (unsigned i = 0; i < context->nb_streams; ++i)
        if (context->streams[i] != stream)
            context->streams[i]->discard = AVDISCARD_ALL;
    m_container = containerOf(format);
    m_stream = stream;
    m_context = std::move(context);
    return true;
}

void MediaInput::close()
{
    m_stream = nullptr;
    m_context.reset();
    m_container = Container::None;
}

qint64 MediaInput::fileSize() const { return m_context && m_context->pb ? avio_size(m_context->pb) : -1; }

bool MediaInput::readAudioPacket(AVPacket* packet)
{
    while (av_read_frame(m_context.get(), packet) >= 0) {
        if (packet->stream_index == m_stream->index)
            return true;
        av_packet_unref(packet);
    }
    return false;
}

bool isLinearPcm(AVCodecID codec)
{
    return codec >= AV_CODEC_ID_FIRST_AUDIO && codec < AV_CODEC_ID_ADPCM_IMA_QT && av_get_exact_bits_per_sample(codec) > 0;
}

bool isMpegAudio(AVCodecID codec)
{
    return codec == AV_CODEC_ID_MP1 || codec == AV_CODEC_ID_MP2 || codec == AV_CODEC_ID_MP3;
}

} // namespace nct
