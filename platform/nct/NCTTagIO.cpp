#include "platform/nct/NCTTagIO.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>

#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

namespace nct {

namespace {

QString toQString(const TagLib::String& text) { return QString::fromStdWString(text.toWString()).trimmed(); }
TagLib::String toTagString(const QString& text) { return TagLib::String(text.toStdWString()); }

TagText fromTag(const TagLib::Tag* tag)
{
    if (!tag)
        return {};
    return {toQString(tag->title()), toQString(tag->artist()), toQString(tag->album()), {}};
}

// The tag library maps each format's own names to common ones: ID3's TSRC
// and Vorbis's ISRC both to ISRC, TPUB to LABEL, TDRC and TYER to DATE.
QMap<QString, QString> propertiesOf(const TagLib::File& file)
{
    QMap<QString, QString> properties;
    const TagLib::PropertyMap map = file.properties();
    for (auto it = map.begin(); it != map.end(); ++it)
        if (!it->second.isEmpty())
            properties.insert(toQString(it->first).toUpper(), toQString(it->second.front()));
    return properties;
}

void toTag(TagLib::Tag* tag, const TagText& tags)
{
    tag->setTitle(toTagString(tags.title));
    tag->setArtist(toTagString(tags.artist));
    tag->setAlbum(toTagString(tags.album));
}

// The tag library keeps a record of every chunk of a WAV file, so a file of a
// million empty chunks costs seconds and hundreds of megabytes to open. Real
// files hold a few dozen chunks side by side; the tags of a file with more
// than this are left unread.
constexpr int MaxWaveChunks = 1000;

// Walks the chunks after the form type as the tag library does: to the end of
// the file whatever the form claims, and no further than a chunk whose id is
// not text (the audio of an unfinished recording whose "data" size is 0).
bool hasFewChunks(const QString& path)
{
    QFile file(path);
    constexpr qint64 FormHeaderBytes = 12;
    if (!file.open(QIODevice::ReadOnly) || !file.seek(FormHeaderBytes))
        return false;
    for (int chunks = 0; chunks <= MaxWaveChunks; ++chunks) {
        char header[8];
        if (file.read(header, sizeof header) != qint64(sizeof header)
            || !std::all_of(header, header + 4, [](char c) { return c >= ' ' && c <= '~'; }))
            return true;
        const qint64 size = qFromLittleEndian<quint32>(header + 4);
        file.seek(file.pos() + size + (size & 1));
    }
    return false;
}

// A WAV file may carry an ID3v2 tag and a RIFF INFO list; the ID3v2 value of a
// field wins where it is not empty.
TagText readWaveTags(const QByteArray& name)
{
    TagLib::RIFF::WAV::File file(name.constData(), false);
    if (!file.isValid())
        return {};
    TagText tags = file.hasInfoTag() ? fromTag(file.InfoTag()) : TagText{};
    tags.properties = propertiesOf(file);
    if (file.hasID3v2Tag()) {
        const TagText id3 = fromTag(file.ID3v2Tag());
        if (!id3.title.isEmpty())
            tags.title = id3.title;
        if (!id3.artist.isEmpty())
            tags.artist = id3.artist;
        if (!id3.album.isEmpty())
            tags.album = id3.album;
    }
    return tags;
}

template <typename FileType> TagText readPlain(const QByteArray& name)
{
    FileType file(name.constData(), false);
    if (!file.isValid())
        return {};
    TagText tags = fromTag(file.tag());
    tags.properties = propertiesOf(file);
    return tags;
}

template <typename FileType> bool writePlain(const QByteArray& name, const TagText& tags)
{
    FileType file(name.constData(), false);
    if (!file.isValid() || !file.tag())
        return false;
    toTag(file.tag(), tags);
    return file.save();
}

} // namespace

TagText readTags(const QString& path, Container container, AVCodecID codec)
{
    const QByteArray name = QFile::encodeName(path);
    switch (container) {
    case Container::Wave: return hasFewChunks(path) ? readWaveTags(name) : TagText{};
    case Container::MpegAudio: return readPlain<TagLib::MPEG::File>(name);
    case Container::Ogg:
        return codec == AV_CODEC_ID_OPUS ? readPlain<TagLib::Ogg::Opus::File>(name)
                                         : readPlain<TagLib::Ogg::Vorbis::File>(name);
    case Container::WindowsMedia: return readPlain<TagLib::ASF::File>(name);
    case Container::Other:
        // FLAC in its own stream format; AAC in an MP4 file (a bare ADTS
        // stream has no tags the MP4 reader finds).
        if (codec == AV_CODEC_ID_FLAC)
            return readPlain<TagLib::FLAC::File>(name);
        if (codec == AV_CODEC_ID_AAC)
            return readPlain<TagLib::MP4::File>(name);
        return {};
    default: return {};
    }
}

bool writeTags(const QString& path, Container container, const TagText& tags)
{
    const QByteArray name = QFile::encodeName(path);
    switch (container) {
    case Container::Wave: {
        // Station software reads the INFO list of a WAV file, so that is where
        // the tags go.
        TagLib::RIFF::WAV::File file(name.constData(), false);
        if (!file.isValid())
            return false;
        toTag(file.InfoTag(), tags);
        return file.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripNone);
    }
    case Container::MpegAudio: {
        TagLib::MPEG::File file(name.constData(), false);
        if (!file.isValid())
            return false;
        toTag(file.ID3v2Tag(true), tags);
        return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone);
    }
    case Container::Ogg: return writePlain<TagLib::Ogg::Vorbis::File>(name, tags);
    case Container::WindowsMedia: return writePlain<TagLib::ASF::File>(name, tags);
    default: return false;
    }
}

} // namespace nct
