#include "wizard/TitleInterpreter.h"

#include "frame/GetParameter.h"
#include "frame/library/FileTools.h"
#include "wizard/ImportItem.h"
#include "wizard/ImportItemList.h"

namespace {

enum TitlingMode { NameAsItIs = 0, Embedded = 1, TitleArtist = 2, ArtistTitle = 3 };

// Where TITLE, ARTIST and DESC sit among a file row's fields.
enum FieldPosition { TitlePosition = 2, ArtistPosition = 3, DescPosition = 4 };

struct Titles {
    QString title;
    QString artist;
    QString description;
};

QString separatorText(const QString& typed)
{
    return typed.compare(QLatin1String("{space}"), Qt::CaseInsensitive) == 0 ? QStringLiteral(" ") : typed;
}

void splitName(const QString& name, const FileImportOptions& options, Titles& titles)
{
    for (const QString& typed : options.separators) {
        const QString separator = separatorText(typed);
        if (separator.isEmpty() || !name.contains(separator))
            continue;
        const QStringList parts = name.split(separator);
        const bool titleFirst = options.titlingMode == TitleArtist;
        (titleFirst ? titles.title : titles.artist) = parts.at(0).trimmed();
        if (parts.size() > 1)
            (titleFirst ? titles.artist : titles.title) = parts.at(1).trimmed();
        if (parts.size() > 2)
            titles.description = parts.at(2).trimmed();
        return;
    }
}

// Underscores stand for blanks in names that could not hold them, and a
// double quote would end a value in the tag text early.
QString withoutNameMarks(QString text)
{
    text.remove(QLatin1Char('_'));
    text.remove(QLatin1Char('"'));
    return text;
}

// Tags, then the cart chunk, then the bext chunk: the first that names a
// title gives the artist (and the album) too.
void takeEmbedded(const QString& raw, Titles& titles)
{
    const struct {
        const char* title;
        const char* artist;
        const char* description;
    } sources[] = {{"ItemTitle", "ItemArtist", "ItemAlbum"},
                   {"CartChunkTitle", "CartChunkArtist", nullptr},
                   {"BextChunkDescription", "BextChunkOriginator", nullptr}};
    for (const auto& source : sources) {
        const QString title = GetParameter(raw, QString::fromLatin1(source.title));
        if (title.isEmpty())
            continue;
        titles.title = title;
        const QString artist = GetParameter(raw, QString::fromLatin1(source.artist));
        if (!artist.isEmpty())
            titles.artist = artist;
        if (source.description) {
            const QString description = GetParameter(raw, QString::fromLatin1(source.description));
            if (!description.isEmpty())
                titles.description = description;
        }
        return;
    }
}

// The titles of one row; an empty title means the row keeps what it has.
Titles titlesOf(const QString& raw, const FileImportOptions& options)
{
    const QString name = FileTools::GetBaseName(GetParameter(raw, QStringLiteral("FileName")));
    if (name.isEmpty())
        return {};
    Titles titles{name, {}, {}};
    if (options.titlingMode == TitleArtist || options.titlingMode == ArtistTitle)
        splitName(name, options, titles);
    titles.title = withoutNameMarks(titles.title);
    titles.artist = withoutNameMarks(titles.artist);
    titles.description = withoutNameMarks(titles.description);
    if (options.titlingMode == Embedded)
        takeEmbedded(raw, titles);
    return titles;
}

} // namespace

void TitleInterpreter::InterpretTitles(ImportItemList& files, int row, const FileImportOptions& options)
{
    const int first = row < 1 ? 0 : row - 1;
    const int last = row < 1 ? files.count() - 1 : std::min(row - 1, files.count() - 1);
    for (int index = first; index <= last; ++index) {
        ImportItem item = files.item(index);
        interpret(item, options);
        files.replace(index, item);
    }
}

void TitleInterpreter::interpret(ImportItem& item, const FileImportOptions& options)
{
    const Titles titles = titlesOf(item.Text, options);
    if (titles.title.isEmpty())
        return;
    item.setSubItem(TitlePosition, titles.title);
    item.setSubItem(ArtistPosition, titles.artist);
    item.setSubItem(DescPosition, titles.description);
}
