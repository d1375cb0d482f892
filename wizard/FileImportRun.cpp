#include "wizard/FileImportRun.h"

#include "audio/GetAudioFileFormatNCT.h"
#include "audio/cCopyAudioFileNCT.h"
#include "frame/Messenger.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/CartImport.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/PlayoutAudio.h"
#include "wizard/FileRowReader.h"
#include "wizard/ImportItemList.h"
#include "wizard/ImportAnalysis.h"
#include "wizard/ImportTargetHandler.h"

#include <QFile>

namespace {

const QString kOk = QStringLiteral("OK");
const QString kFailed = QStringLiteral("Failed!");

// The store says why it refused; people see it after the "Failed!" they
// know, the way a failed delete shows its reason.
QString failedBecause(const QString& error) { return error.isEmpty() ? kFailed : kFailed + QStringLiteral(" - ") + error; }

QString quotedName(const QString& path)
{
    return QLatin1Char('\'') + FileTools::GetFileName(path) + QLatin1Char('\'');
}

// Titles, then the timing points: each point must lie inside the one set
// before it, so they are tested in this order against the record as it is
// by then.
void writeCartFields(CartRecord& cart, const ImportItem& row)
{
    cart.Title = row.field(QStringLiteral("TITLE"));
    cart.setArtist(row.field(QStringLiteral("ARTIST")), 1);
    cart.setDescription(row.field(QStringLiteral("DESC")), 1);
    cart.Isrc = CartRecord::isrcFrom(row.field(QStringLiteral("ISRC")));
    cart.Metadata = FileRowReader::metadata(row);
    auto value = [&row](const char* key) { return GeneralTools::LeadingNumber(row.field(QLatin1String(key))); };
    if (const double v = value("EXTRO"); v > 0 && v < cart.Length)
        cart.Extro = static_cast<float>(v);
    if (const double v = value("INTROEND"); v > 0 && v < cart.Extro)
        cart.IntroEnd = static_cast<float>(v);
    if (const double v = value("INTROSTART"); v > 0 && v < cart.IntroEnd)
        cart.IntroStart = static_cast<float>(v);
}

} // namespace

FileImportRun::FileImportRun(const ImportContext& context, const FileImportOptions& options, FileImportHandler& handler)
    : m_context(context), m_options(options), m_handler(handler)
{
}

FileImportRun::~FileImportRun() = default;

bool FileImportRun::RunFileImport(const ImportItemList& summary, ImportItemList* files, ImportTargetHandler* target)
{
    m_handler.status(QString());
    if (!startChecks(summary, target))
        return false;
    const int itemCount = summary.count();
    // A linked file is the cart's audio from now on.
    if (m_options.link)
        m_options.deleteSource = false;
    prepareConverters(summary);
    m_handler.copyJob(m_copyJob.get());

    QStringList failedFiles;
    int overall = 0;
    for (int currentItem = 1; currentItem <= itemCount; ++currentItem) {
        if (m_handler.stopRequested())
            break;
        const ImportItem& row = summary.item(currentItem - 1);
        m_handler.progress(0, overall);
        m_handler.itemStarted(currentItem, itemCount);
        const QString path = row.Key.mid(1).trimmed();
        m_handler.status(QStringLiteral("Importing ") + FileTools::GetFileName(path));
        const ItemEnd end = importItem(row, path, target);
        m_handler.itemDone(row.Key, row.field(QStringLiteral("DEST")), end.outcome, end.error);
        if (end.outcome == Outcome::Failed)
            failedFiles << path;
        if (end.outcome == Outcome::Failed && !m_options.continuePastFailure)
            break;
        // Going on past a failure, the failed row is done with too: a later
        // pass over the list does not try it again.
        if (files)
            if (const int fileRow = files->indexOf(row.Key); fileRow >= 0)
                files->setChecked(fileRow, false);
        overall = GeneralTools::LimitLong(GeneralTools::RoundHalfEven(100.0 * currentItem / itemCount), 0, 100);
        m_handler.progress(100, overall);
    }

    m_handler.status(QStringLiteral("Finished!"));
    m_handler.result(QStringLiteral("Finished!"), true);
    if (!failedFiles.isEmpty()) {
        ShowMessage(notImportedMessage(failedFiles), MessageIcon::Exclamation);
        return false;
    }
    m_handler.progress(100, 100);
    return true;
}

// The known text, then the files it is about, as the person chose them: a
// long list is cut so the message still fits on the screen.
QString FileImportRun::notImportedMessage(const QStringList& files)
{
    constexpr int kShown = 10;
    QString text = QStringLiteral("Some files were not imported");
    text += QStringLiteral("\n\n") + files.mid(0, kShown).join(QLatin1Char('\n'));
    if (files.size() > kShown)
        text += QStringLiteral("\n(and %1 more)").arg(files.size() - kShown);
    return text;
}

bool FileImportRun::startChecks(const ImportItemList& summary, ImportTargetHandler* target)
{
    if (summary.isEmpty()) {
        ShowMessage(QStringLiteral("There are no Files to import!"), MessageIcon::Information);
        return false;
    }
    if (m_options.sequential && !m_context.audio->IsValidCartNumber(m_options.startCart)) {
        ShowMessage(QStringLiteral("You must set the initial Cart number to start importing to."),
                    MessageIcon::Exclamation);
        return false;
    }
    return !target || target->BeginImport();
}

// Anything but WAV files handed over as they are goes through the copy job,
// and what the copy job made is always copied into the store, never linked.
void FileImportRun::prepareConverters(const ImportItemList& summary)
{
    bool needed = m_options.format != FileImportOptions::Format::Leave || m_options.normalise;
    for (const ImportItem& row : summary.items())
        needed = needed || FileTools::GetExtension(row.Key.mid(1)).toUpper() != QLatin1String("WAV");
    if (!needed) {
        m_copyJob.reset();
        return;
    }
    m_handler.status(QStringLiteral("Creating Converters"));
    m_options.link = false;
    m_copyJob = std::make_shared<cCopyAudioFileNCT>();
    m_copyJob->setWriteInPlace(true);
    m_context.settings->GetDefaultFormat(m_convertFormat);
    if (m_options.format != FileImportOptions::Format::StoreDefault && !m_options.convertFormat.isEmpty())
        m_convertFormat.setSettingsText(m_options.convertFormat);
    m_analysis.configure(*m_copyJob, m_options);
}

FileImportRun::ItemEnd FileImportRun::importItem(const ImportItem& row, const QString& path,
                                                 ImportTargetHandler* target)
{
    const QString cart = row.field(QStringLiteral("DEST"));
    const auto record = m_context.audio->GetCart(cart);
    if (!record) {
        // A store that cannot be read is not the same as a missing number.
        const QString error = m_context.audio->lastError();
        m_handler.result(
            QStringLiteral("Couldn't import ") + path +
                (error.isEmpty() ? QStringLiteral(" because no cart number") : QStringLiteral(" - ") + error),
            true);
        return {Outcome::Failed, error.isEmpty() ? QStringLiteral("no cart number") : error};
    }
    if (record->holdsAudio() && !m_options.overwrite)
        return cartInUse(path, cart);

    const QString extension = FileTools::GetExtension(path).toLower();
    if (extension == QLatin1String("zip"))
        return importTransportFile(row, path, cart, target);
    // A cart's own file imported again (converted, say) is its audio until the commit.
    const bool cartsOwnFile = record->holdsAudio() && !record->Linked && path.compare(record->AudioFile, Qt::CaseInsensitive) == 0;
    if (FileRowReader::audioExtensions().contains(extension))
        return importAudio(row, path, cart, cartsOwnFile, target);
    return {Outcome::SkippedType, QString()};
}

FileImportRun::ItemEnd FileImportRun::cartInUse(const QString& path, const QString& cart)
{
    m_handler.result(QStringLiteral("Couldn't import '") + path + QStringLiteral("' into cart ") + cart +
                         QStringLiteral(" because the cart is in use"),
                     true);
    return {Outcome::SkippedInUse, QString()};
}

// The store refused the audio announced on the open line. A cart that
// another workstation filled since it was checked is skipped like one found
// in use, the open line saying so; anything else fails the item.
FileImportRun::ItemEnd FileImportRun::storeRefused(const QString& path, const QString& cart, const QString& error)
{
    if (!m_options.overwrite)
        if (const auto record = m_context.audio->GetCart(cart); record && record->holdsAudio()) {
            m_handler.result(QStringLiteral("Skipped"), true);
            return cartInUse(path, cart);
        }
    m_handler.result(failedBecause(error), true);
    return {Outcome::Failed, error};
}

// The store refused the cart before anything was read. A cart that another
// workstation filled since the summary is skipped like one found in use.
FileImportRun::ItemEnd FileImportRun::refusedAtStart(const QString& path, const QString& cart, const QString& error)
{
    if (!m_options.overwrite)
        if (const auto record = m_context.audio->GetCart(cart); record && record->holdsAudio())
            return cartInUse(path, cart);
    m_handler.result(QStringLiteral("Couldn't import '") + path + QStringLiteral("' into cart ") + cart +
                         QStringLiteral(" - ") + error,
                     true);
    return {Outcome::Failed, error};
}

int FileImportRun::storeOptions() const
{
    return m_options.overwrite ? 0 : PlayoutAudio::kOnlyIntoEmptyCart;
}

// The transport zip's own fields come with its audio, in the same commit.
FileImportRun::ItemEnd FileImportRun::importTransportFile(const ImportItem& row, const QString& path, const QString& cart,
                                                          ImportTargetHandler* target)
{
    m_handler.status(QStringLiteral("Unpacking Transport File ") + quotedName(path) + QStringLiteral("..."));
    m_handler.result(QStringLiteral("Unpacking Transport File '") + path + QStringLiteral("'..."), false);
    CartImport import(*m_context.audio, cart, storeOptions());
    if (!import.begin() || !import.unpackTransportFile(path))
        return storeRefused(path, cart, import.error());
    m_analysis.analyse(import, nullptr);
    // The description file beside it and the run's air times and category
    // come before the packed cart's own.
    if (row.hasField(QStringLiteral("META"))) {
        CartMetadata metadata = FileRowReader::metadata(row);
        metadata.fillFrom(import.record().Metadata);
        import.record().Metadata = metadata;
    }
    if (!commit(import, path, cart))
        return storeRefused(path, cart, import.error());
    m_handler.result(kOk, true);
    if (target && !target->ItemImported(path, cart))
        return {Outcome::Failed, QString()};
    return {Outcome::Imported, QString()};
}

bool FileImportRun::commit(CartImport& import, const QString& path, const QString& cart)
{
    if (m_context.alsoCommit)
        import.alsoCommit([this, path, cart] { return m_context.alsoCommit(path, cart); });
    return import.commit();
}

// Whether the file goes through the copy job, and into which format
// (`format`: none when the probe cannot read the file).
bool FileImportRun::needsConversion(const QString& path, std::shared_ptr<AudioFormat>& format) const
{
    if (!m_copyJob)
        return false;
    // Only the format is needed here; the copy job counts the length itself.
    format = GetAudioFileFormatFromHeaders(path);
    bool needed = false;
    if (format) {
        needed = format->FormatType != aftWAV;
        if (m_options.format != FileImportOptions::Format::Leave || needed) {
            needed = needed || !format->storesAs(m_convertFormat);
            if (needed)
                *format = m_convertFormat;
        }
    }
    return needed || m_options.normalise;
}

// The copy job writes straight into the import's incoming file: the cart
// keeps its old audio until the store takes the new one in whole, and the
// converted audio is written once.
qint32 FileImportRun::convert(const ImportItem& row, const QString& path, CartImport& import,
                              std::shared_ptr<AudioFormat>& format)
{
    if (!format)
        return cCopyAudioFileNCT::InvalidSource;
    format->FormatType = aftWAV;
    m_copyJob->setDescription(row.field(QStringLiteral("TITLE")));
    return m_copyJob->CopyAudioFile(path, import.incomingPath(), format, nullptr, nullptr, false);
}

FileImportRun::ItemEnd FileImportRun::importAudio(const ImportItem& row, const QString& path, const QString& cart,
                                                  bool cartsOwnFile, ImportTargetHandler* target)
{
    CartImport import(*m_context.audio, cart, storeOptions());
    if (!import.begin())
        return refusedAtStart(path, cart, import.error());
    bool converted = false;
    if (std::shared_ptr<AudioFormat> format; needsConversion(path, format)) {
        const QString verb = m_options.format == FileImportOptions::Format::Leave ? QStringLiteral("Normalising ")
                                                                                  : QStringLiteral("Converting ");
        m_handler.status(verb + quotedName(path));
        m_handler.result(verb + QLatin1Char('\'') + path + QStringLiteral("'..."), false);
        if (!import.noteSource(path))
            return storeRefused(path, cart, import.error());
        if (const qint32 code = convert(row, path, import, format); code != 0) {
            const QString error = cCopyAudioFileNCT::errorDescription(code);
            m_handler.result(kFailed + QLatin1Char(' ') + error, true);
            return {Outcome::Failed, error};
        }
        const QString gain = ImportAnalysis::gainText(*m_copyJob, m_options);
        m_handler.result(gain.isEmpty() ? kOk : kOk + QStringLiteral(" - ") + gain, true);
        converted = true;
    }

    m_handler.status(QStringLiteral("Importing ") + quotedName(path));
    m_handler.result(QStringLiteral("Importing '") + path + QStringLiteral("'..."), false);
    const bool audioTaken = converted || (m_options.link ? import.linkTo(path) : import.copyFrom(path));
    if (!audioTaken || !import.finishAudio())
        return storeRefused(path, cart, import.error());
    m_analysis.analyse(import, converted ? m_copyJob.get() : nullptr);
    writeCartFields(import.record(), row);
    // Audio and fields land together; the source goes only once they have.
    if (!commit(import, path, cart))
        return storeRefused(path, cart, import.error());
    if (target && !target->ItemImported(path, cart))
        return {Outcome::Failed, QString()};
    m_handler.result(kOk, true);
    if (m_options.deleteSource && !cartsOwnFile)
        deleteSource(path);
    return {Outcome::Imported, QString()};
}

void FileImportRun::deleteSource(const QString& path)
{
    m_handler.status(QStringLiteral("Deleting ") + quotedName(path));
    m_handler.result(QStringLiteral("Deleting ") + quotedName(path) + QStringLiteral("..."), false);
    // Another cart's audio imported again, the store's own file: it stays.
    if (QString why; m_context.audio->ownsFile(path, &why)) {
        m_handler.result(QStringLiteral("Kept - it ") + why, true);
        return;
    }
    QFile source(path);
    if (source.remove())
        m_handler.result(kOk, true);
    else
        m_handler.result(QStringLiteral("Failed! - ") + source.errorString(), true);
}
