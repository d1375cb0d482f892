#include "wizard/CDRipRun.h"

#include "audio/cCopyAudioFileNCT.h"
#include "frame/GetParameter.h"
#include "frame/Messenger.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/AuditLog.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/CartImport.h"
#include "frame/library/Directory.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/TimeTools.h"
#include "platform/cdripper/CDRipper.h"
#include "wizard/FileRowReader.h"
#include "wizard/ImportItemList.h"
#include "wizard/ImportAnalysis.h"
#include "wizard/ImportProgress.h"
#include "wizard/ImportTargetHandler.h"

#include <QEventLoop>
#include <QFile>

namespace {

constexpr int kBarMaximum = 100;

QString twoDigits(int number) { return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0')); }

QString trackKey(int track) { return QStringLiteral("CD%1").arg(track); }

// What the ripper's problem codes say on the status line; progress (7) is
// shown as a position instead.
QString statusText(int code, qint32 value)
{
    switch (code) {
    case CDRipper::JitterNotCorrected:
        return QStringLiteral("Jitter Could Not Be Corrected.  ") + QString::number(value);
    case CDRipper::SpeedAdjusted:
        return QStringLiteral("Speed Adjusted to Correct Error.");
    case CDRipper::ReadFailed:
        return QStringLiteral("Read Failed.");
    case CDRipper::RetryingRead:
        return QStringLiteral("Retrying Read.");
    case CDRipper::RetryFailed:
        return QStringLiteral("Retry Failed.");
    case CDRipper::FileAborted:
        return QStringLiteral("File Aborted.");
    case CDRipper::BufferNotInitialised:
        return QStringLiteral("Buffer Could Not Be Initialized.");
    case CDRipper::ErrorCreatingFile:
        return QStringLiteral("Error Creating File.");
    case CDRipper::ErrorWritingFile:
        return QStringLiteral("Error Writing File.");
    case CDRipper::ErrorClosingFile:
        return QStringLiteral("Error Closing File.");
    case CDRipper::DriveNotInitialised:
        return QStringLiteral("Drive Could Not Be Initialized.");
    case CDRipper::RipCancelled:
        return QStringLiteral("Ripping Cancelled.");
    default:
        return {};
    }
}

} // namespace

CDRipRun::CDRipRun(const ImportContext& context, const FileImportOptions& options, const CDRipOptions& cdOptions,
                   CDRipper& ripper, FileImportHandler& handler)
    : m_context(context), m_options(options), m_cdOptions(cdOptions), m_ripper(ripper), m_handler(handler)
{
    connect(&ripper, &CDRipper::RipStarted, this, &CDRipRun::ripStarted);
    connect(&ripper, &CDRipper::RipStatus, this, &CDRipRun::ripStatus);
    connect(&ripper, &CDRipper::RipFinished, this, &CDRipRun::ripFinished);
}

// A rip still under way must not finish into a file nobody will take.
CDRipRun::~CDRipRun()
{
    if (m_ripper.IsRipping())
        m_ripper.StopRip();
    removeRipFiles();
}

bool CDRipRun::RunCDRip(const ImportItemList& tracks, const ImportItemList& summary, ImportTargetHandler* target)
{
    m_tracks = &tracks;
    m_summary = &summary;
    m_target = target;
    m_ripQueue.clear();
    for (const ImportItem& row : tracks.items())
        if (row.Checked)
            m_ripQueue << static_cast<qint16>(row.Key.mid(2).toInt());
    m_itemCount = static_cast<qint32>(m_ripQueue.size());
    if (m_itemCount == 0) {
        ShowMessage(QStringLiteral("You must select a CD Track to Rip first"), MessageIcon::Exclamation);
        return false;
    }
    if (target && !target->BeginImport())
        return false;

    m_stopRequested = false;
    m_failed = false;
    m_overall = 0;
    showProgress(0, m_overall);
    m_ripper.RipperOption = false;
    prepareConverters();
    m_handler.copyJob(m_copyJob.get());
    if (!prepareVerification())
        return false;
    setStatus(QStringLiteral("Queueing first track to rip..."));
    showProgress(0, m_overall);

    // Until the first track has begun, a refusal counts as a stop.
    m_stopRequested = true;
    if (RipNextTrack(1)) {
        m_ripping = true;
        m_stopRequested = false;
        QEventLoop wait;
        m_wait = &wait;
        if (m_ripping && !m_stopRequested)
            wait.exec();
    }

    setStatus(QStringLiteral("Finished!"));
    m_handler.result(QStringLiteral("Finished!"), true);
    if (m_stopRequested || m_failed) {
        ShowMessage(QStringLiteral("Some files were not ripped"), MessageIcon::Exclamation);
        return false;
    }
    showProgress(kBarMaximum, kBarMaximum);
    return true;
}

void CDRipRun::stop()
{
    m_ripper.StopRip();
    m_ripping = false;
    m_stopRequested = true;
    endWait();
}

void CDRipRun::endWait()
{
    if (m_wait)
        m_wait->quit();
}

// The copy job is made for a run that normalises or converts; topping
// alone rides along with it.
void CDRipRun::prepareConverters()
{
    m_context.settings->GetDefaultFormat(m_convertFormat);
    if (m_options.format != FileImportOptions::Format::StoreDefault && !m_options.convertFormat.isEmpty())
        m_convertFormat.setSettingsText(m_options.convertFormat);
    if (!m_options.normalise && m_options.format == FileImportOptions::Format::Leave) {
        m_copyJob.reset();
        return;
    }
    setStatus(QStringLiteral("Creating Converters"));
    m_copyJob = std::make_shared<cCopyAudioFileNCT>();
    m_copyJob->setWriteInPlace(true);
    m_analysis.configure(*m_copyJob, m_options);
    if (m_cdOptions.autoTop) {
        m_copyJob->setAutoTop(true);
        m_copyJob->setAutoTopThreshold(0);
    }
}

// The disc's record is fetched before anything is ripped: a server that
// cannot be asked ends the run with its reason, never with a verdict.
bool CDRipRun::prepareVerification()
{
    const CartvaultStore& store = m_context.audio->Cartvault();
    m_ripper.setReadOffset(store.CDReadOffset);
    const bool verify = m_cdOptions.verify || store.AccurateRipVerify;
    m_ripper.setChecksums(verify);
    m_verification.reset();
    if (!verify)
        return true;
    setStatus(QStringLiteral("Asking ") + store.AccurateRipServer + QStringLiteral(" for the disc's AccurateRip record..."));
    m_verification.emplace();
    if (m_verification->fetch(m_ripper, store.AccurateRipServer))
        return true;
    m_handler.result(m_verification->error(), true);
    ShowMessage(m_verification->error(), MessageIcon::Exclamation);
    return false;
}

bool CDRipRun::RipNextTrack(int position)
{
    if (position > m_itemCount)
        return false;
    m_ripper.PrepareRip();
    m_ripper.setWriteInPlace(true); // into the import's own files
    m_ripCart = m_summary->item(position - 1).field(QStringLiteral("DEST")).trimmed();
    if (m_ripCart.isEmpty())
        return false;
    m_ripTrackNumber = m_ripQueue.at(position - 1);
    m_currentItem = position;
    m_started = false;
    m_ripProblem.clear();
    m_handler.itemStarted(m_currentItem, m_itemCount);

    const QString track = QStringLiteral("Track #") + twoDigits(m_ripTrackNumber);
    auto refuse = [&](const QString& text, MessageIcon icon) {
        ShowMessage(text, icon);
        m_handler.itemDone(trackKey(m_ripTrackNumber), m_ripCart, FileImportHandler::Outcome::Failed, text);
        return false;
    };
    if (!m_ripper.IsAudioTrack(m_ripTrackNumber))
        return refuse(track + QStringLiteral(" is a data track and cannot be Ripped!"), MessageIcon::Exclamation);
    if (!ripDestination() || !m_ripper.RipTrack(m_ripTrackNumber, m_ripFileName, m_currentItem)) {
        m_ripFileName.clear();
        return refuse(track + QStringLiteral(" could not be Ripped!"), MessageIcon::Exclamation);
    }
    if (!m_ripper.IsRipping()) {
        m_ripping = false;
        m_stopRequested = true;
        return refuse(QStringLiteral("The Ripping could not start."), MessageIcon::Information);
    }
    return true;
}

// The track is one import of the store: ripped straight into its incoming
// file, or, when it is to be processed, into a file of the import that the
// copy job then reads. The cart keeps what it has until the import commits.
bool CDRipRun::ripDestination()
{
    const int storeOptions = m_options.overwrite ? 0 : PlayoutAudio::kOnlyIntoEmptyCart;
    m_import = std::make_unique<CartImport>(*m_context.audio, m_ripCart, storeOptions);
    if (!m_import->begin())
        return false;
    m_ripFileName = processing() ? m_import->scratchFile() : m_import->incomingPath();
    return !m_ripFileName.isEmpty();
}

// A ripped track is 44.1 kHz 16-bit stereo PCM; any other store format
// (rate, channels, sample size or tag) goes through the copy job.
bool CDRipRun::converting() const
{
    AudioFormat ripped;
    ripped.SampleRate = 44100;
    return !ripped.storesAs(m_convertFormat);
}

bool CDRipRun::processing() const
{
    return m_copyJob && (m_cdOptions.autoTop || m_options.normalise || converting());
}

void CDRipRun::ripStarted(const QString&, qint32 start, qint32 end, qint32)
{
    showProgress(0, m_overall);
    const QString text = QStringLiteral("Ripping ") + twoDigits(m_ripTrackNumber) + QStringLiteral(" - '") +
                         trackTitle(m_ripTrackNumber) + QStringLiteral("'...");
    setStatus(text);
    m_handler.result(text, false);
    m_ripStart = start;
    m_ripEnd = end;
    m_started = true;
}

void CDRipRun::ripStatus(int code, qint32 value)
{
    if (code == CDRipper::Progress) {
        const qint32 done = value - m_ripStart;
        const qint32 length = m_ripEnd - m_ripStart;
        setStatus(QStringLiteral("Ripping ") + m_ripper.LengthText(done) + QStringLiteral(" / ") +
                  m_ripper.LengthText(length));
        // A track reported without length shows no progress until it ends.
        const qint64 percent = length > 0 ? GeneralTools::RoundHalfEven(done * 100.0 / length) : 0;
        const qint32 limited = GeneralTools::LimitLong(percent, -1000, 1000);
        m_overall = ImportProgress::overallWhileReading(kBarMaximum, m_currentItem, m_itemCount, limited);
        showProgress(ImportProgress::current(limited), m_overall);
    } else if (const QString text = statusText(code, value); !text.isEmpty()) {
        setStatus(text);
        if (code == CDRipper::FileAborted)
            return ripAborted();
        m_ripProblem = text;
    }
    // Lets the window breathe between events, but never inside itself.
    if (!m_waiting) {
        m_waiting = true;
        TimeTools::BriefWait(0.00005);
        m_waiting = false;
    }
}

void CDRipRun::ripFinished()
{
    // A ripper shared with an earlier run may still report to this one.
    if (!m_summary || m_currentItem < 1 || m_currentItem > m_itemCount)
        return;
    showProgress(kBarMaximum, m_overall);
    setStatus(m_status + QStringLiteral("Finished"));
    m_handler.result(QStringLiteral("Finished"), !m_verification);
    if (!trackVerified()) {
        removeRipFiles();
        return nextTrack();
    }

    const bool process = processing() && m_ripping;
    m_copyWroteTrack = false;
    if (process) {
        m_overall = ImportProgress::overallWhileReading(kBarMaximum, m_currentItem, m_itemCount, 100);
        showProgress(kBarMaximum, m_overall);
        QString words = (m_options.normalise ? QStringLiteral(", Normalising") : QString()) +
                        (m_cdOptions.autoTop ? QStringLiteral(", 'Topping'") : QString()) +
                        (m_convertFormat.FormatTag > 1 ? QStringLiteral(", Compressing")
                         : converting()                 ? QStringLiteral(", Converting")
                                                        : QString());
        setStatus(words.mid(2) + QStringLiteral(" CD Track..."));
        processTrack(summaryField(QStringLiteral("TITLE")));
    } else if (m_import && m_ripFileName != m_import->incomingPath()) {
        m_import->copyFrom(m_ripFileName);
    }
    showProgress(kBarMaximum, m_overall);
    storeTrack();
    removeRipFiles();
    nextTrack();
}

// The track's verdict ends its results line; one that differs from the
// database fails and goes to no cart.
bool CDRipRun::trackVerified()
{
    m_verdict.clear();
    if (!m_verification)
        return true;
    const AccurateRipVerdict verdict =
        m_verification->judge(m_ripTrackNumber, m_ripper.lastChecksums().value_or(AccurateRipChecksum::Sums{}));
    m_verdict = QStringLiteral("AccurateRip: ") + verdict.text();
    m_handler.result(QStringLiteral(" - ") + m_verdict, true);
    m_handler.trackVerified(trackKey(m_ripTrackNumber), verdict);
    if (verdict.kind != AccurateRipVerdict::Differs)
        return true;
    trackFailed(QStringLiteral("Couldn't import track ") + twoDigits(m_ripTrackNumber) + QStringLiteral(" into cart ") +
                    m_ripCart,
                QStringLiteral("it ") + verdict.text());
    return false;
}

// The ripper's end of a track that failed after it began: the code before
// it says why. The cart keeps what it had, and the run goes on.
void CDRipRun::ripAborted()
{
    if (!m_import) // not a track of this run
        return;
    if (m_started)
        m_handler.result(QStringLiteral("Failed"), true);
    trackFailed(QStringLiteral("Couldn't rip track ") + twoDigits(m_ripTrackNumber) + QStringLiteral(" into cart ") +
                    m_ripCart,
                m_ripProblem);
    removeRipFiles();
    nextTrack();
}

void CDRipRun::trackFailed(const QString& text, const QString& reason)
{
    m_failed = true;
    m_handler.result(text + QStringLiteral(" - ") + reason, true);
    m_handler.itemDone(trackKey(m_ripTrackNumber), m_ripCart, FileImportHandler::Outcome::Failed, reason);
}

void CDRipRun::nextTrack()
{
    m_overall = ImportProgress::overallWhileReading(kBarMaximum, m_currentItem + 1, m_itemCount, 0);
    showProgress(kBarMaximum, m_overall);
    ++m_currentItem;
    if (!m_ripping) {
        showProgress(0, 0);
        setStatus(QString());
        return;
    }
    if (!RipNextTrack(m_currentItem)) {
        TimeTools::Pause(0.5);
        showProgress(0, 0);
        setStatus(QString());
        m_ripping = false;
        endWait();
    }
}

// The processed audio goes into the import's incoming file; when processing
// fails, the ripped audio as it is.
void CDRipRun::processTrack(const QString& title)
{
    m_copyJob->setDescription(title);
    auto format = std::make_shared<AudioFormat>(m_convertFormat);
    format->FormatType = aftWAV; // the store keeps WAV files
    float start = -1;
    float end = -1;
    const qint32 code = m_copyJob->CopyAudioFile(m_ripFileName, m_import->incomingPath(), format, &start, &end, false);
    m_copyWroteTrack = code == 0;
    if (code == 0)
        return;
    ShowMessage(QStringLiteral("There was a problem compressing the Ripped Track, and the problem was reported as \n\n") +
                    cCopyAudioFileNCT::errorDescription(code),
                MessageIcon::Exclamation);
    m_import->copyFrom(m_ripFileName);
}

// A cart the store refuses (another workstation filled it meanwhile, a
// file that is not audio) keeps its audio and its titles.
void CDRipRun::storeTrack()
{
    PlayoutAudio& audio = *m_context.audio;
    const QString key = trackKey(m_ripTrackNumber);
    const QString title = summaryField(QStringLiteral("TITLE"));
    bool stored = m_import && m_import->finishAudio();
    if (stored) {
        m_analysis.analyse(*m_import, m_copyWroteTrack ? m_copyJob.get() : nullptr);
        CartRecord& record = m_import->record();
        record.Title = title;
        record.setArtist(summaryField(QStringLiteral("ARTIST")), 1);
        record.setDescription(summaryField(QStringLiteral("DESC")), 1);
        record.Isrc = trackIsrc(m_ripTrackNumber);
        record.Mcn = CartRecord::mcnFrom(m_ripper.discText().mcn);
        record.Metadata = FileRowReader::metadata(m_summary->item(m_currentItem - 1));
        stored = m_import->commit();
    }
    if (!stored) {
        trackFailed(QStringLiteral("Couldn't import track ") + twoDigits(m_ripTrackNumber) + QStringLiteral(" into cart ") +
                        m_ripCart,
                    m_import ? m_import->error() : QString());
        return;
    }
    if (m_context.directory)
        m_context.directory->AuditLog().LogEvent(
            2, 7, QStringLiteral("Import CD Track"),
            QStringLiteral("CD Track : ") + m_summary->item(m_currentItem - 1).Text + QStringLiteral(" '(") + title +
                QStringLiteral("')") + QStringLiteral(" into Cart ") + m_ripCart +
                (m_verdict.isEmpty() ? QString() : QStringLiteral(", ") + m_verdict),
            1, 0);
    if (m_target)
        m_target->ItemImported(audio.CartAudioFile(m_ripCart), m_ripCart);
    m_handler.itemDone(key, m_ripCart, FileImportHandler::Outcome::Imported, QString());
}

// Ending the import removes whatever of its files the store did not take.
void CDRipRun::removeRipFiles()
{
    m_import.reset();
    m_ripFileName.clear();
}

void CDRipRun::setStatus(const QString& text)
{
    m_status = text;
    m_handler.status(text);
}

void CDRipRun::showProgress(int current, int overall) { m_handler.progress(current, overall); }

QString CDRipRun::summaryField(const QString& key) const { return m_summary->item(m_currentItem - 1).field(key); }

// A lookup's ISRC (in the row's tag text) before the one on the disc.
QString CDRipRun::trackIsrc(int track) const
{
    const int row = m_tracks->indexOf(trackKey(track));
    const QString looked = row < 0 ? QString() : CartRecord::isrcFrom(GetParameter(m_tracks->item(row).Text, QStringLiteral("ISRC")));
    return looked.isEmpty() ? CartRecord::isrcFrom(m_ripper.discText().isrcs.value(track - 1)) : looked;
}

QString CDRipRun::trackTitle(int track) const
{
    const int row = m_tracks->indexOf(trackKey(track));
    return row < 0 ? QString() : m_tracks->item(row).field(QStringLiteral("TITLE"));
}
