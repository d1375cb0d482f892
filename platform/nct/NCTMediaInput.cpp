#include "platform/nct/NCTMediaInput.h"

#include <QFile>

#include <cstring>

namespace nct {

// Feeds the demuxer from the file. The WAV demuxer asks for the file's size
// after every chunk, and FFmpeg's own file reader asks the system each time:
// most of the cost of opening a WAV of a million empty chunks. The size is
// taken once here, when the file is opened.
class FileReader
{
public:
    bool open(const QString& path, QString* error)
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            *error = m_file.errorString();
            return false;
        }
        m_size = m_file.size();
        return true;
    }

    ReaderContextPtr makeContext()
    {
        constexpr int BufferBytes = 64 * 1024;
        auto* buffer = static_cast<unsigned char*>(av_malloc(BufferBytes));
        AVIOContext* io = buffer ? avio_alloc_context(buffer, BufferBytes, 0, this, &read, nullptr, &seek) : nullptr;
        if (!io)
            av_free(buffer);
        return ReaderContextPtr(io);
    }

private:
    static int read(void* opaque, uint8_t* buffer, int size)
    {
        const qint64 got = static_cast<FileReader*>(opaque)->m_file.read(reinterpret_cast<char*>(buffer), size);
        return got > 0 ? int(got) : got == 0 ? AVERROR_EOF : AVERROR(EIO);
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto* reader = static_cast<FileReader*>(opaque);
        if (whence & AVSEEK_SIZE)
            return reader->m_size;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_CUR: offset += reader->m_file.pos(); break;
        case SEEK_END: offset += reader->m_size; break;
        case SEEK_SET: break;
        default: return AVERROR(EINVAL);
        }
        return offset >= 0 && reader->m_file.seek(offset) ? offset : AVERROR(EINVAL);
    }

    QFile m_file;
    qint64 m_size = 0;
};

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
    if (std::strcmp(name, "aiff") == 0)
        return Container::Aiff;
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
    // The file is opened once: the demuxer reads on from the probed bytes.
    auto reader = std::make_unique<FileReader>();
    if (!reader->open(path, error))
        return false;
    ReaderContextPtr io = reader->makeContext();
    if (!io) {
        *error = QStringLiteral("Out of memory");
        return false;
    }
    const AVInputFormat* format = probeContent(io.get(), error);
    if (!format)
        return false;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) {
        *error = QStringLiteral("Out of memory");
        return false;
    }
    raw->pb = io.get();
    AVDictionary* options = fileOnlyOptions(); // for whatever the demuxer opens itself
    // A failed open frees `raw` but leaves the reader to us.
    const int opened = avformat_open_input(&raw, fileUrl(path).constData(), format, &options);
    av_dict_free(&options);
    if (opened < 0) {
        *error = errorText(opened);
        return false;
    }
    InputContextPtr context(raw);
    io.release(); // freed with the context from here on
    int result = avformat_find_stream_info(context.get(), nullptr);
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
    m_reader = std::move(reader);
    m_context = std::move(context);
    return true;
}

MediaInput::MediaInput() = default;
MediaInput::~MediaInput() = default;

void MediaInput::close()
{
    m_stream = nullptr;
    m_context.reset();
    m_reader.reset();
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
