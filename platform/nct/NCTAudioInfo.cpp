#include "platform/nct/NCTAudioInfo.h"

#include "platform/nct/NCTLengthCounter.h"
#include "platform/nct/NCTMediaInput.h"
#include "platform/nct/NCTTagIO.h"

#include <limits>

struct NCTAudioInfo::Kind {
    nct::Container container = nct::Container::None;
    AVCodecID codec = AV_CODEC_ID_NONE;
};

NCTAudioInfo::NCTAudioInfo() = default;
NCTAudioInfo::~NCTAudioInfo() = default;

bool NCTAudioInfo::OpenFile(const QString& fileName)
{
    CloseFile();
    auto input = std::make_unique<nct::MediaInput>();
    QString error;
    if (!input->open(fileName, &error)) {
        m_lastError = error;
        return false;
    }
    m_input = std::move(input);
    m_fileName = fileName;
    m_lastError.clear();
    return true;
}

void NCTAudioInfo::CloseFile()
{
    m_input.reset();
    m_fileName.clear();
    m_samples = -1;
    m_bitRate = -1;
    m_tagsLoaded = false;
    m_title.clear();
    m_artist.clear();
    m_album.clear();
    m_properties.clear();
}

bool NCTAudioInfo::isOpen() const { return m_input && m_input->isOpen(); }

qint16 NCTAudioInfo::FileType() const
{
    if (!isOpen())
        return FileTypeUnknown;
    switch (m_input->container()) {
    case nct::Container::Wave: return FileTypeWave;
    case nct::Container::MpegAudio: return FileTypeMpeg;
    case nct::Container::WindowsMedia: return FileTypeWindowsMedia;
    case nct::Container::Ogg: return FileTypeOgg;
    case nct::Container::Aiff:
    case nct::Container::Other: return FileTypeOther;
    default: return FileTypeUnknown;
    }
}

qint32 NCTAudioInfo::SampleRate() const { return isOpen() ? m_input->sampleRate() : 0; }
qint32 NCTAudioInfo::Channels() const { return isOpen() ? m_input->channels() : 0; }

qint32 NCTAudioInfo::FormatTag() const
{
    return isOpen() ? static_cast<qint32>(m_input->stream()->codecpar->codec_tag & 0xFFFF) : 0;
}

qint32 NCTAudioInfo::BitsPerSample() const
{
    return isOpen() ? m_input->stream()->codecpar->bits_per_coded_sample : 0;
}

qint64 NCTAudioInfo::Samples() const
{
    if (!isOpen())
        return 0;
    if (m_samples < 0) {
        if (m_exactLength) {
            // Only the stream's parameters are read from this input otherwise,
            // so the count may read its packets.
            const nct::LengthCount count = nct::countLength(m_fileName, m_input.get());
            m_samples = count.frames;
            if (count.codedBytes > 0 && count.codedFrames > 0)
                m_bitRate = av_rescale(count.codedBytes * 8, m_input->sampleRate(), count.codedFrames);
        }
        if (m_samples < 0)
            m_samples = std::max<qint64>(nct::headerLength(*m_input), 0);
    }
    return m_samples;
}

qint32 NCTAudioInfo::BitRate() const
{
    if (!isOpen())
        return 0;
    const AVCodecParameters* parameters = m_input->stream()->codecpar;
    if (!nct::isLinearPcm(parameters->codec_id)) {
        Samples(); // an exact count also measures the real average bit rate
        if (m_bitRate > 0)
            return static_cast<qint32>(std::min<qint64>(m_bitRate, std::numeric_limits<qint32>::max()));
    }
    const qint64 rate = parameters->bit_rate > 0 ? parameters->bit_rate : m_input->context()->bit_rate;
    return static_cast<qint32>(std::clamp<qint64>(rate, 0, std::numeric_limits<qint32>::max()));
}

QString NCTAudioInfo::CodecData() const
{
    if (!isOpen())
        return {};
    const nct::Container container = m_input->container();
    if (container != nct::Container::Wave && container != nct::Container::WindowsMedia)
        return {};
    const AVCodecParameters* parameters = m_input->stream()->codecpar;
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(parameters->extradata), parameters->extradata_size).toHex());
}

void NCTAudioInfo::loadTags() const
{
    if (m_tagsLoaded || !isOpen())
        return;
    const nct::TagText tags = nct::readTags(m_fileName, m_input->container(), m_input->codecId());
    m_title = tags.title;
    m_artist = tags.artist;
    m_album = tags.album;
    m_properties = tags.properties;
    m_tagsLoaded = true;
}

QString NCTAudioInfo::TitleTag() const
{
    loadTags();
    return m_title;
}

QString NCTAudioInfo::ArtistTag() const
{
    loadTags();
    return m_artist;
}

QString NCTAudioInfo::AlbumTag() const
{
    loadTags();
    return m_album;
}

QString NCTAudioInfo::TagProperty(const QString& name) const
{
    loadTags();
    return m_properties.value(name.toUpper());
}

bool NCTAudioInfo::WriteTags(const QString& destinationFile)
{
    if (!isOpen()) {
        m_lastError = QStringLiteral("No file is open");
        return false;
    }
    loadTags();
    nct::MediaInput destination;
    QString error;
    if (!destination.open(destinationFile, &error)) {
        m_lastError = error;
        return false;
    }
    const nct::Container container = destination.container();
    destination.close();
    if (!nct::writeTags(destinationFile, container, {m_title, m_artist, m_album, {}})) {
        m_lastError = QStringLiteral("The tags could not be written");
        return false;
    }
    return true;
}

NCTAudioInfo::Kind NCTAudioInfo::kindOf(const QString& fileName)
{
    if (isOpen() && fileName == m_fileName)
        return {m_input->container(), m_input->codecId()};
    nct::MediaInput input;
    QString error;
    if (!input.open(fileName, &error)) {
        m_lastError = error;
        return {};
    }
    return {input.container(), input.codecId()};
}

bool NCTAudioInfo::IsWave(const QString& fileName) { return kindOf(fileName).container == nct::Container::Wave; }

// MPEG audio counts in its own stream format and inside a WAV file.
bool NCTAudioInfo::IsMpegLayer2(const QString& fileName) { return kindOf(fileName).codec == AV_CODEC_ID_MP2; }
bool NCTAudioInfo::IsMpegLayer3(const QString& fileName) { return kindOf(fileName).codec == AV_CODEC_ID_MP3; }
bool NCTAudioInfo::IsMpegOther(const QString& fileName) { return kindOf(fileName).codec == AV_CODEC_ID_MP1; }

bool NCTAudioInfo::IsOgg(const QString& fileName)
{
    const Kind kind = kindOf(fileName);
    return kind.container == nct::Container::Ogg && kind.codec == AV_CODEC_ID_VORBIS;
}

bool NCTAudioInfo::IsWma(const QString& fileName)
{
    const Kind kind = kindOf(fileName);
    return kind.container == nct::Container::WindowsMedia
        && (kind.codec == AV_CODEC_ID_WMAV1 || kind.codec == AV_CODEC_ID_WMAV2 || kind.codec == AV_CODEC_ID_WMAPRO
            || kind.codec == AV_CODEC_ID_WMALOSSLESS || kind.codec == AV_CODEC_ID_WMAVOICE);
}

bool NCTAudioInfo::IsFlac(const QString& fileName) { return kindOf(fileName).codec == AV_CODEC_ID_FLAC; }
bool NCTAudioInfo::IsAiff(const QString& fileName) { return kindOf(fileName).container == nct::Container::Aiff; }
bool NCTAudioInfo::IsOpus(const QString& fileName) { return kindOf(fileName).codec == AV_CODEC_ID_OPUS; }
bool NCTAudioInfo::IsAac(const QString& fileName) { return kindOf(fileName).codec == AV_CODEC_ID_AAC; }
