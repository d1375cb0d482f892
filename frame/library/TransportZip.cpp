#include "frame/library/TransportZip.h"

#include "frame/library/CartRecord.h"
#include "frame/library/FileTools.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFileInfo>
#include <QIODevice>
#include <QScopeGuard>
#include <memory>
#include <algorithm>
#include <unistd.h>
#include <zip.h>

namespace {
struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipCloser>;
using ZipEntry = std::unique_ptr<zip_file_t, ZipFileCloser>;

bool refuse(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

// The packed cart's fields; where its audio was and how long it is belong
// to the store it came from, not to the cart.
QByteArray fieldsJson(const CartRecord& cart)
{
    QJsonObject fields = cart.toJson();
    for (const char* storeOwn : {"audio_file", "linked", "length", "audio_length"})
        fields.remove(QLatin1String(storeOwn));
    fields.insert(QStringLiteral("format"), QStringLiteral("orvane-cart"));
    fields.insert(QStringLiteral("version"), 1);
    return QJsonDocument(fields).toJson();
}

bool readFields(const QByteArray& json, CartRecord& cart, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    const QJsonObject fields = document.object();
    if (parseError.error != QJsonParseError::NoError || fields.value(QStringLiteral("format")).toString() != QLatin1String("orvane-cart"))
        return refuse(error, QStringLiteral("The transport file's cart fields cannot be read"));
    cart.Title = fields.value(QStringLiteral("title")).toString();
    cart.setArtist(fields.value(QStringLiteral("artist")).toString());
    cart.setDescription(fields.value(QStringLiteral("description")).toString());
    cart.IntroStart = static_cast<float>(fields.value(QStringLiteral("intro_start")).toDouble());
    cart.IntroEnd = static_cast<float>(fields.value(QStringLiteral("intro_end")).toDouble());
    cart.Extro = static_cast<float>(fields.value(QStringLiteral("extro")).toDouble());
    cart.Isrc = CartRecord::isrcFrom(fields.value(QStringLiteral("isrc")).toString());
    cart.Mcn = CartRecord::mcnFrom(fields.value(QStringLiteral("mcn")).toString());
    cart.Metadata = CartMetadata::fromJson(fields);
    cart.Loudness = LoudnessValues::fromJson(fields.value(QStringLiteral("loudness")));
    return true;
}

bool unsafeName(const QString& name)
{
    return name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\')) || name.contains(QLatin1String(".."))
        || (name.size() > 1 && name.at(1) == QLatin1Char(':'));
}

// Copies an entry to `sink`, never more than `limit` bytes, whatever the
// zip's directory says.
bool copyEntry(zip_t* archive, zip_uint64_t index, qint64 limit, const TransportZip::AudioSink& sink, QString* error)
{
    ZipEntry entry(zip_fopen_index(archive, index, 0));
    if (!entry)
        return refuse(error, QStringLiteral("The transport file is damaged"));
    char buffer[64 * 1024];
    qint64 total = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(entry.get(), buffer, sizeof buffer);
        if (n < 0)
            return refuse(error, QStringLiteral("The transport file is damaged"));
        if (n == 0)
            return true;
        total += n;
        if (total > limit)
            return refuse(error, QStringLiteral("The transport file holds more data than it declares"));
        if (!sink(buffer, n, error))
            return false;
    }
}
} // namespace

bool TransportZip::write(const QString& zipPath, const CartRecord& cart, const QString& audioPath, bool overwrite, QString* error)
{
    const QFileInfo target(zipPath);
    QString temporary;
    const int fd = FileTools::createNewFile(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QLatin1Char('.'),
                                            &temporary, error);
    if (fd < 0)
        return false;
    ::close(fd); // libzip writes the file itself; the name is reserved until it goes
    const auto removeTemporary = qScopeGuard([&] { QFile::remove(temporary); });
    int code = 0;
    ZipArchive archive(zip_open(QFile::encodeName(temporary).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive)
        return refuse(error, QStringLiteral("Cannot create %1").arg(temporary));
    const QByteArray json = fieldsJson(cart);
    zip_source_t* fields = zip_source_buffer(archive.get(), json.constData(), static_cast<zip_uint64_t>(json.size()), 0);
    zip_source_t* audio = zip_source_file(archive.get(), QFile::encodeName(audioPath).constData(), 0, -1); // -1: to the end of the file
    const zip_int64_t fieldsIndex = fields ? zip_file_add(archive.get(), kFieldsEntry, fields, ZIP_FL_ENC_UTF_8) : -1;
    if (fieldsIndex < 0 && fields)
        zip_source_free(fields);
    const zip_int64_t audioIndex = audio ? zip_file_add(archive.get(), kAudioEntry, audio, ZIP_FL_ENC_UTF_8) : -1;
    if (audioIndex < 0 && audio)
        zip_source_free(audio);
    if (fieldsIndex < 0 || audioIndex < 0)
        return refuse(error, QStringLiteral("Cannot pack the cart's audio %1").arg(audioPath));
    zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(audioIndex), ZIP_CM_STORE, 0);
    // zip_close writes the archive; on success it also frees the handle.
    if (zip_close(archive.get()) != 0)
        return refuse(error, QStringLiteral("Cannot write %1: %2").arg(zipPath, QString::fromUtf8(zip_strerror(archive.get()))));
    archive.release();
    return FileTools::placeFile(temporary, target.absoluteFilePath(), overwrite, error);
}

bool TransportZip::read(const QString& zipPath, CartRecord& cart, const AudioSink& audio, QString* error)
{
    int code = 0;
    ZipArchive archive(zip_open(QFile::encodeName(zipPath).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!archive)
        return refuse(error, QStringLiteral("%1 is not a readable zip file").arg(zipPath));
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0 || count > kMaxEntries)
        return refuse(error, QStringLiteral("The transport file holds more entries than a packed cart can have"));

    zip_int64_t fieldsIndex = -1, audioIndex = -1;
    qint64 fieldsSize = 0, audioSize = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
            return refuse(error, QStringLiteral("The transport file is damaged"));
        const QString name = QString::fromUtf8(stat.name);
        if (unsafeName(name))
            return refuse(error, QStringLiteral("The transport file holds an entry with an unsafe name: %1").arg(name));
        if (!(stat.valid & ZIP_STAT_SIZE))
            return refuse(error, QStringLiteral("The transport file does not declare the size of %1").arg(name));
        const qint64 size = static_cast<qint64>(std::min<zip_uint64_t>(stat.size, zip_uint64_t(kMaxAudioBytes) + 1));
        if (name == QLatin1String(kFieldsEntry) && size <= kMaxFieldsBytes) {
            fieldsIndex = i;
            fieldsSize = size;
        } else if (name == QLatin1String(kAudioEntry) && size <= kMaxAudioBytes) {
            audioIndex = i;
            audioSize = size;
        } else {
            return refuse(error, QStringLiteral("The transport file holds an unexpected or oversized entry: %1").arg(name));
        }
    }
    if (fieldsIndex < 0 || audioIndex < 0)
        return refuse(error, QStringLiteral("The transport file is not a packed cart (it needs %1 and %2)")
                                 .arg(QLatin1String(kFieldsEntry), QLatin1String(kAudioEntry)));

    QByteArray fields;
    const AudioSink collect = [&fields](const char* data, qint64 size, QString*) {
        fields.append(data, size);
        return true;
    };
    if (!copyEntry(archive.get(), static_cast<zip_uint64_t>(fieldsIndex), fieldsSize, collect, error)
        || !readFields(fields, cart, error))
        return false;
    return copyEntry(archive.get(), static_cast<zip_uint64_t>(audioIndex), audioSize, audio, error);
}
