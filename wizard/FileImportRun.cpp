#include "wizard/FileImportRun.h"

#include "audio/GetAudioFileFormatNCT.h"
#include "audio/cCopyAudioFileNCT.h"
#include "frame/GetTempFile.h"
#include "frame/Messenger.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/PlayoutAudio.h"
#include "wizard/ImportItemList.h"
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

// A conversion's output beside the cart's audio: the store copies it into a
// file of its own, so this one goes whatever became of the item.
struct ConvertedFile {
    QString path;
    ~ConvertedFile()
    {
        if (!path.isEmpty())
            QFile::remove(path);
    }
};

bool sameFormat(const AudioFormat& a, const AudioFormat& b)
{
    return a.FormatType == b.FormatType && a.FormatTag == b.FormatTag && a.SampleRate == b.SampleRate &&
           a.Channels == b.Channels;
}

// Titles, then the timing points: each point must lie inside the one set
// before it, so they are tested in this order against the record as it is
// by then.
void writeCartFields(CartRecord& cart, const ImportItem& row)
{
    cart.Title = row.field(QStringLiteral("TITLE"));
    cart.setArtist(row.field(QStringLiteral("ARTIST")), 1);
    cart.setDescription(row.field(QStringLiteral("DESC")), 1);
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

    bool failed = false;
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
        if (end.outcome == Outcome::Failed) {
            failed = true;
            break;
        }
        if (files)
            if (const int fileRow = files->indexOf(row.Key); fileRow >= 0)
                files->setChecked(fileRow, false);
        overall = GeneralTools::LimitLong(GeneralTools::RoundHalfEven(100.0 * currentItem / itemCount), 0, 100);
        m_handler.progress(100, overall);
    }

    m_handler.status(QStringLiteral("Finished!"));
    m_handler.result(QStringLiteral("Finished!"), true);
    if (failed) {
        ShowMessage(QStringLiteral("Some files were not imported"), MessageIcon::Exclamation);
        return false;
    }
    m_handler.progress(100, 100);
    return true;
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
    m_context.settings->GetDefaultFormat(m_convertFormat);
    if (m_options.format != FileImportOptions::Format::StoreDefault && !m_options.convertFormat.isEmpty())
        m_convertFormat.setSettingsText(m_options.convertFormat);
    if (m_options.normalise) {
        m_copyJob->setNormalise(true);
        m_copyJob->setNormalisePercentage(static_cast<float>(m_options.normalisePercent));
    }
}

FileImportRun::ItemEnd FileImportRun::importItem(const ImportItem& row, const QString& path,
                                                 ImportTargetHandler* target)
{
    const QString cart = row.field(QStringLiteral("DEST"));
    const auto record = m_context.audio->GetCart(cart, 1);
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
        return importTransportFile(path, cart, target);
    static const QStringList audioTypes{QStringLiteral("wav"), QStringLiteral("mp2"), QStringLiteral("mp3"),
                                        QStringLiteral("ogg"), QStringLiteral("wma")};
    if (audioTypes.contains(extension))
        return importAudio(row, path, cart, target);
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
// in use; anything else fails the item.
FileImportRun::ItemEnd FileImportRun::storeRefused(const QString& path, const QString& cart, const QString& error)
{
    if (!m_options.overwrite)
        if (const auto record = m_context.audio->GetCart(cart, 1); record && record->holdsAudio()) {
            m_handler.result(QString(), true);
            return cartInUse(path, cart);
        }
    m_handler.result(failedBecause(error), true);
    return {Outcome::Failed, error};
}

int FileImportRun::storeOptions() const
{
    return m_options.overwrite ? 0 : PlayoutAudio::kOnlyIntoEmptyCart;
}

FileImportRun::ItemEnd FileImportRun::importTransportFile(const QString& path, const QString& cart,
                                                          ImportTargetHandler* target)
{
    m_handler.status(QStringLiteral("Unpacking Transport File ") + quotedName(path) + QStringLiteral("..."));
    m_handler.result(QStringLiteral("Unpacking Transport File '") + path + QStringLiteral("'..."), false);
    if (!m_context.audio->ImportTransportFile(nullptr, cart, path, nullptr, storeOptions(), 0, QString(), -1))
        return storeRefused(path, cart, m_context.audio->lastImportError());
    m_handler.result(kOk, true);
    if (target && !target->ItemImported(path, cart))
        return {Outcome::Failed, QString()};
    return {Outcome::Imported, QString()};
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
            needed = needed || !sameFormat(*format, m_convertFormat);
            if (needed)
                *format = m_convertFormat;
        }
    }
    return needed || m_options.normalise;
}

// Converts into a new file beside the cart's audio, never over it: the cart
// keeps its old audio until the store takes the new one in whole.
qint32 FileImportRun::convert(const ImportItem& row, const QString& path, const QString& cartFile,
                              std::shared_ptr<AudioFormat>& format, QString& destination)
{
    if (!format)
        return cCopyAudioFileNCT::InvalidSource;
    // An empty cart's folder may not have been made yet.
    const QString folder = FileTools::GetFolder(cartFile, 0);
    if (FileTools::makeFolder(folder, nullptr))
        destination = GetTempFile(folder, QStringLiteral("WAV"));
    if (destination.isEmpty())
        return cCopyAudioFileNCT::InvalidDestination;
    format->FormatType = aftWAV;
    m_copyJob->setDescription(row.field(QStringLiteral("TITLE")));
    return m_copyJob->CopyAudioFile(path, destination, format, nullptr, nullptr, false);
}

FileImportRun::ItemEnd FileImportRun::importAudio(const ImportItem& row, const QString& path, const QString& cart,
                                                  ImportTargetHandler* target)
{
    PlayoutAudio& audio = *m_context.audio;
    const QString cartFile = audio.CartAudioFile(cart, -1);
    const bool usedTempFile = path.compare(cartFile, Qt::CaseInsensitive) == 0;
    ConvertedFile converted;
    QString importFile = path;
    if (std::shared_ptr<AudioFormat> format; needsConversion(path, format)) {
        const QString verb = m_options.format == FileImportOptions::Format::Leave ? QStringLiteral("Normalising ")
                                                                                  : QStringLiteral("Converting ");
        m_handler.status(verb + quotedName(path));
        m_handler.result(verb + QLatin1Char('\'') + path + QStringLiteral("'..."), false);
        if (const qint32 code = convert(row, path, cartFile, format, converted.path); code != 0) {
            const QString error = cCopyAudioFileNCT::errorDescription(code);
            m_handler.result(kFailed + QLatin1Char(' ') + error, true);
            return {Outcome::Failed, error};
        }
        m_handler.result(kOk, true);
        importFile = converted.path;
    }

    m_handler.status(QStringLiteral("Importing ") + quotedName(importFile));
    m_handler.result(QStringLiteral("Importing '") + importFile + QStringLiteral("'..."), false);
    QString message;
    if (!audio.ImportAudioFile(nullptr, cart, importFile, m_options.link, storeOptions(), message, path, -1))
        return storeRefused(path, cart, message);
    auto record = audio.GetCart(cart, 1);
    if (!record) {
        m_handler.result(failedBecause(audio.lastError()), true);
        return {Outcome::Failed, audio.lastError()};
    }
    writeCartFields(*record, row);
    // The source goes only once its cart is saved.
    if (!audio.SaveCart(cart, *record, 1, 0, -1)) {
        m_handler.result(failedBecause(audio.lastError()), true);
        return {Outcome::Failed, audio.lastError()};
    }
    if (target && !target->ItemImported(path, cart))
        return {Outcome::Failed, QString()};
    m_handler.result(kOk, true);
    if (m_options.deleteSource && !usedTempFile)
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
