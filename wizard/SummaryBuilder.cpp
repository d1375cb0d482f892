#include "wizard/SummaryBuilder.h"

#include "frame/GetParameter.h"
#include "frame/library/CartMetadata.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/PlayoutAudio.h"
#include "wizard/FileRowReader.h"
#include "wizard/ImportItemList.h"

#include <QLocale>

namespace {

// Cart numbers read from file names are digits only: "0042 Jingle" is cart 42.
constexpr qint32 kDigitsOnlyNames = 0x1000;

const QStringList kCopiedFields{QStringLiteral("TITLE"),  QStringLiteral("ARTIST"),     QStringLiteral("DESC"),
                                QStringLiteral("LENGTH"), QStringLiteral("INTROSTART"), QStringLiteral("INTROEND"),
                                QStringLiteral("EXTRO")};

QString digitsOnly(const QString& name)
{
    QString blanked = name;
    for (QChar& c : blanked)
        if (!GeneralTools::IsCharKind(c, 1))
            c = QLatin1Char(' ');
    // A name such as "Jingle 42" blanks to leading blanks; the number after
    // them is still the one meant.
    const QString word = GeneralTools::FirstPiece(blanked.trimmed());
    return QString::number(word.toLongLong());
}

// The cart a file's name asks for; empty when that cart holds audio and may
// not be overwritten, so the run stops there instead of replacing it.
QString cartFromName(const ImportItem& row, const FileImportOptions& options, PlayoutAudio& audio)
{
    QString name = FileTools::GetBaseName(GetParameter(row.Text, QStringLiteral("Filename")));
    if (audio.CartNumberFlags() & kDigitsOnlyNames)
        name = digitsOnly(name);
    if (!name.isEmpty() && !options.overwrite)
        if (const auto cart = audio.GetCart(name); cart && cart->holdsAudio())
            return {};
    return name;
}

// The item's metadata, the options' air times and category over the file's,
// and the end date where the summary shows it.
void takeMetadata(const ImportItem& row, const FileImportOptions& options, ImportItem& summary)
{
    if (row.hasField(QStringLiteral("ISRC")))
        summary.setField(QStringLiteral("ISRC"), row.field(QStringLiteral("ISRC")));
    if (!row.hasField(QStringLiteral("META")) && !options.startAir.isValid() && !options.endAir.isValid() && options.category.isEmpty())
        return;
    CartMetadata metadata = FileRowReader::metadata(row);
    if (options.startAir.isValid())
        metadata.startAir = options.startAir;
    if (options.endAir.isValid())
        metadata.endAir = options.endAir;
    if (!options.category.isEmpty())
        metadata.category = options.category;
    FileRowReader::setMetadata(summary, metadata);
    if (metadata.endAir.isValid())
        summary.setField(QStringLiteral("ENDS"), QLocale::system().toString(metadata.endAir, QLocale::ShortFormat));
}

ImportItem summaryRow(const ImportItem& row, bool filesSource, const QString& destination, const FileImportOptions& options)
{
    ImportItem summary(row.Key, row.field(filesSource ? QStringLiteral("FILENAME") : QStringLiteral("TRACK")));
    summary.setField(QStringLiteral("DEST"), destination);
    summary.setFieldEmphasised(QStringLiteral("DEST"), destination.isEmpty());
    for (const QString& key : kCopiedFields)
        summary.setField(key, row.field(key));
    takeMetadata(row, options, summary);
    return summary;
}

} // namespace

void SummaryBuilder::BuildSummary(const ImportItemList& source, bool filesSource, ImportItemList& summary,
                                  const FileImportOptions& options, PlayoutAudio& audio)
{
    // CD tracks have no file names to read numbers from.
    const bool sequential = options.sequential || !filesSource;
    summary.clear();
    QString current = options.startCart;
    for (const ImportItem& row : source.items()) {
        if (!row.Checked)
            continue;
        QString destination;
        if (sequential) {
            // Past the end of the range there is no cart; the store would
            // read an empty number as "from the first cart" and start over.
            if (!current.isEmpty())
                current = options.overwrite ? audio.FirstValidCart(current) : audio.FirstFreeCart(current);
            destination = current;
        } else {
            destination = cartFromName(row, options, audio);
        }
        summary.add(summaryRow(row, filesSource, destination, options));
        if (sequential)
            current = audio.NextCartNumber(current);
    }
}
