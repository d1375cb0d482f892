#include "wizard/FileRowReader.h"

#include "audio/BextChunk.h"
#include "audio/CartChunk.h"
#include "audio/CartChunkFields.h"
#include "audio/WaveFormatReader.h"
#include "csv/cCSVFile.h"
#include "frame/library/CartRecord.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/TimeTools.h"
#include "platform/nct/NCTAudioInfo.h"

#include <QJsonDocument>

namespace {

// What a file and its description file say about the item, before it goes
// into the row.
struct Embedded {
    QString title;
    QString artist;
    QString album;
    double intro = 0;    // seconds
    double duration = 0; // seconds; 0 when the file's audio was not read
    // The cart's metadata and ISRC by source: the description file is
    // preferred to the cart chunk, the cart chunk to the tags.
    CartMetadata described, chunked, tagged;
    QString describedIsrc, taggedIsrc;
};

// The description file's own columns for the cart's metadata, by name.
struct DescribedField {
    const char* column;
    QString CartMetadata::*member;
};
const DescribedField kDescribedFields[] = {
    {"Category", &CartMetadata::category},   {"Classification", &CartMetadata::classification},
    {"ClientID", &CartMetadata::clientId},   {"CutID", &CartMetadata::cutId},
    {"OutCue", &CartMetadata::outCue},       {"UserDef", &CartMetadata::userDef},
    {"Composer", &CartMetadata::composer},   {"Publisher", &CartMetadata::publisher},
    {"Label", &CartMetadata::label},
};

void addParameter(QString& raw, const QString& name, const QString& value)
{
    raw = GeneralTools::SetParameter(raw, name, value);
}

void readWaveChunks(const QString& path, QString& raw, Embedded& embedded)
{
    CartChunk cart;
    QString unused;
    QString tagText;
    if (ReadCartChunk(path, cart, tagText)) {
        addParameter(raw, QStringLiteral("CartChunkTitle"), cart.Title.trimmed());
        addParameter(raw, QStringLiteral("CartChunkArtist"), cart.Artist.trimmed());
        embedded.chunked = CartChunkFields::metadataOf(cart, tagText);
    }
    BextChunk bext;
    if (ReadBextChunk(path, bext, unused)) {
        addParameter(raw, QStringLiteral("BextChunkDescription"), bext.Description.trimmed());
        addParameter(raw, QStringLiteral("BextChunkOriginator"), bext.Originator.trimmed());
    }
    embedded.duration = GetWaveDuration(path);
}

QString firstTag(const NCTAudioInfo& info, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (const QString value = info.TagProperty(QLatin1String(name)); !value.isEmpty())
            return value;
    return {};
}

// ID3's TPUB names "the label or publisher"; the tag library calls it
// LABEL, so without a tag of its own the publisher is the label.
void readTagMetadata(const NCTAudioInfo& info, Embedded& embedded)
{
    embedded.tagged.composer = firstTag(info, {"COMPOSER"});
    embedded.tagged.publisher = firstTag(info, {"PUBLISHER", "LABEL"});
    embedded.tagged.label = firstTag(info, {"LABEL", "ORGANIZATION", "PUBLISHER"});
    embedded.tagged.year = CartMetadata::yearFrom(firstTag(info, {"DATE", "YEAR", "ORIGINALDATE"}));
    embedded.taggedIsrc = CartRecord::isrcFrom(firstTag(info, {"ISRC"}));
}

// The exact count is what the copy job will deliver, so the length shown is
// the length the cart will get; for MPEG audio it walks the frame headers
// and costs no decoding. False when the file could not be opened: its
// length is then left empty rather than shown as 0.
bool readCompressed(const QString& path, Embedded& embedded)
{
    NCTAudioInfo info;
    info.setExactLength(true);
    if (!info.OpenFile(path))
        return false;
    embedded.title = info.TitleTag().trimmed();
    embedded.artist = info.ArtistTag().trimmed();
    embedded.album = info.AlbumTag().trimmed();
    readTagMetadata(info, embedded);
    if (info.SampleRate() > 0)
        embedded.duration = double(info.Samples()) / info.SampleRate();
    return true;
}

// A field in the first column has position 0, which is also the answer for
// "no such field": description files keep a leading column for that reason.
// A field the file names, in any column: a station's file that starts with
// its Title column must give that title.
bool hasField(const cCSVFile& csv, const QString& name) { return csv.Fields().contains(name, Qt::CaseInsensitive); }

// The reader answers the first column's value for a name it does not
// know; a missing field must not lend that value to anything.
QString fieldValue(const cCSVFile& csv, const QStringList& record, const char* name)
{
    const QString field = QString::fromLatin1(name);
    return hasField(csv, field) ? csv.GetFieldFromRecordData(field, record).trimmed() : QString();
}

// Columns any description file may have, whatever else it holds.
void takeDescribedMetadata(const cCSVFile& csv, const QStringList& record, Embedded& embedded)
{
    for (const DescribedField& field : kDescribedFields)
        embedded.described.*field.member = fieldValue(csv, record, field.column);
    embedded.described.startAir = CartMetadata::airTimeFrom(fieldValue(csv, record, "StartDate"), false).value_or(QDateTime());
    embedded.described.endAir = CartMetadata::airTimeFrom(fieldValue(csv, record, "EndDate"), true).value_or(QDateTime());
    embedded.described.year = CartMetadata::yearFrom(fieldValue(csv, record, "Year"));
    embedded.describedIsrc = CartRecord::isrcFrom(fieldValue(csv, record, "ISRC"));
}

void takeDescription(const cCSVFile& csv, const QStringList& record, Embedded& embedded)
{
    takeDescribedMetadata(csv, record, embedded);
    const auto value = [&](const char* name) { return fieldValue(csv, record, name); };
    if (!hasField(csv, QStringLiteral("Interpret"))) {
        const QString title = hasField(csv, QStringLiteral("ItemTitle")) ? value("ItemTitle") : value("Title");
        if (!title.isEmpty())
            embedded.title = title;
        return;
    }
    if (!value("Title").isEmpty())
        embedded.title = value("Title");
    if (!value("Interpret").isEmpty())
        embedded.artist = value("Interpret");
    const QString author = value("Author");
    const QString composer = value("Composer");
    if (!author.isEmpty() || !composer.isEmpty())
        embedded.album = author + (author.isEmpty() ? QString() : QStringLiteral(" / ")) + composer;
    const QString intro = value("Intro");
    if (!intro.isEmpty())
        embedded.intro = FileRowReader::introSeconds(intro);
}

// Names on this system are case-sensitive, while description files come
// from machines where ".CSV" and ".csv" were the same file.
QString descriptionFile(const QString& path)
{
    const QString stem = FileTools::GetPathWithoutExtension(path);
    for (const QString& extension : {QStringLiteral(".CSV"), QStringLiteral(".csv")})
        if (FileTools::GetFileLength(stem + extension) > 0)
            return stem + extension;
    return {};
}

void readDescriptionFile(const QString& path, Embedded& embedded)
{
    const QString csvPath = descriptionFile(path);
    if (csvPath.isEmpty())
        return;
    cCSVFile csv;
    QStringList record;
    if (csv.OpenFile(csvPath) == cCSVFile::NoError && csv.ReadRecord(record) == cCSVFile::NoError)
        takeDescription(csv, record, embedded);
    csv.CloseFile();
}

void setMetadataFields(ImportItem& item, const Embedded& embedded)
{
    CartMetadata metadata = embedded.described;
    metadata.fillFrom(embedded.chunked);
    metadata.fillFrom(embedded.tagged);
    if (metadata != CartMetadata())
        FileRowReader::setMetadata(item, metadata);
    const QString isrc = embedded.describedIsrc.isEmpty() ? embedded.taggedIsrc : embedded.describedIsrc;
    if (!isrc.isEmpty())
        item.setField(QStringLiteral("ISRC"), isrc);
}

} // namespace

CartMetadata FileRowReader::metadata(const ImportItem& row)
{
    return CartMetadata::fromJson(QJsonDocument::fromJson(row.field(QStringLiteral("META")).toUtf8()).object());
}

void FileRowReader::setMetadata(ImportItem& row, const CartMetadata& metadata)
{
    row.setField(QStringLiteral("META"), QString::fromUtf8(QJsonDocument(metadata.toJson()).toJson(QJsonDocument::Compact)));
}

QString FileRowReader::sourcePath(const ImportItem& row)
{
    return row.Key.startsWith(QLatin1Char('f')) ? row.Key.mid(1) : QString();
}

ImportItem FileRowReader::read(const QString& path)
{
    QString raw = GeneralTools::SetParameter(QString(), QStringLiteral("FileName"), path);
    ImportItem item(QStringLiteral("f") + path, raw);
    for (const char* key : {"FILENAME", "TITLE", "ARTIST", "DESC", "LENGTH", "INTROSTART", "INTROEND", "EXTRO"})
        item.setField(QString::fromLatin1(key), QString());
    item.setField(QStringLiteral("FILENAME"), FileTools::GetFileName(path));

    Embedded embedded;
    const QString extension = FileTools::GetExtension(path).toLower();
    if (extension == QLatin1String("zip")) {
        item.setField(QStringLiteral("LENGTH"), QStringLiteral("..."));
        item.setFieldToolTip(QStringLiteral("LENGTH"), QStringLiteral("This will be read when the file is imported"));
    } else if (extension == QLatin1String("wav")) {
        readWaveChunks(path, raw, embedded);
        item.setField(QStringLiteral("LENGTH"), TimeTools::FormatDuration(embedded.duration, 201));
    } else if (audioExtensions().contains(extension) && readCompressed(path, embedded)) {
        item.setField(QStringLiteral("LENGTH"), TimeTools::FormatDuration(embedded.duration, 201));
    }
    readDescriptionFile(path, embedded);

    if (!embedded.title.isEmpty())
        addParameter(raw, QStringLiteral("ItemTitle"), embedded.title);
    if (!embedded.artist.isEmpty())
        addParameter(raw, QStringLiteral("ItemArtist"), embedded.artist);
    if (!embedded.album.isEmpty())
        addParameter(raw, QStringLiteral("ItemAlbum"), embedded.album);
    if (embedded.intro > 0 && embedded.intro < embedded.duration)
        item.setField(QStringLiteral("INTROEND"), QString::number(embedded.intro));
    setMetadataFields(item, embedded);

    item.Text = raw;
    item.Checked = true;
    return item;
}

const QStringList& FileRowReader::audioExtensions()
{
    static const QStringList extensions{"wav", "mp2", "mp3", "ogg", "oga", "wma", "flac",
                                        "aif", "aiff", "aifc", "opus", "m4a", "aac"};
    return extensions;
}

bool FileRowReader::isAccepted(const QString& path)
{
    const QString extension = FileTools::GetExtension(path).toLower();
    return extension == QLatin1String("zip") || audioExtensions().contains(extension);
}

double FileRowReader::introSeconds(const QString& introText)
{
    // Intro times are typed by hand as m'ss.c, where the single digit after
    // the point means hundredths; the time reader wants h:mm:ss.cc.
    QString text = introText;
    text.replace(QLatin1Char('\''), QLatin1Char(':'));
    if (text.size() >= 2 && text.at(text.size() - 2) == QLatin1Char('.'))
        text.insert(text.size() - 1, QLatin1Char('0'));
    if (text.size() < 3 || text.at(text.size() - 3) != QLatin1Char('.'))
        text += QStringLiteral(".00");
    if (text.size() == 8)
        text.prepend(QStringLiteral("00:"));
    return GeneralTools::TimeTextToSeconds(text, 1);
}
