#pragma once
#include "wizard/CDRipOptions.h"
#include "wizard/CDRipVerification.h"
#include "wizard/FileImportHandler.h"
#include "wizard/FileImportOptions.h"
#include "wizard/ImportAnalysis.h"
#include "wizard/ImportContext.h"

#include "frame/library/AudioFormat.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class CDRipper;
class ImportItemList;
class ImportTargetHandler;
class QEventLoop;
class CartImport;
class cCopyAudioFileNCT;

// The CD ripping run: rips the ticked tracks one after another, each into a
// new file beside its cart's audio, has the copy job normalise, top or
// convert it when asked, and hands the result to the store, which publishes
// it once the cart's record is committed. It is driven by the ripper's
// events: the end of one track starts the next, while RunCDRip waits in an
// event loop so that the window, the stop button and the close box go on
// working. A stopped, failed or refused rip leaves the cart as it was; a
// failed or refused one does not stop the tracks after it.
class CDRipRun : public QObject
{
    Q_OBJECT
public:
    CDRipRun(const ImportContext& context, const FileImportOptions& options, const CDRipOptions& cdOptions,
             CDRipper& ripper, FileImportHandler& handler);
    ~CDRipRun() override;

    // Rips the ticked rows of `tracks`; row k of `summary` holds the cart
    // and titles of the k-th ticked track. Both lists must outlive the run.
    // target (may be null) is asked first and told of each track. True when
    // the run was not stopped and every ripped track reached its cart.
    bool RunCDRip(const ImportItemList& tracks, const ImportItemList& summary, ImportTargetHandler* target);

    // The user's stop: the ripper stops, the track in hand goes nowhere and
    // no further track starts.
    void stop();
    bool isRipping() const { return m_ripping; }

private:
    bool RipNextTrack(int position);
    void ripStarted(const QString& text, qint32 start, qint32 end, qint32 other);
    void ripStatus(int code, qint32 value);
    void ripFinished();
    void ripAborted();
    void trackFailed(const QString& text, const QString& reason);
    void nextTrack();

    void prepareConverters();
    bool prepareVerification();
    bool trackVerified();
    void processTrack(const QString& title);
    void storeTrack();
    bool ripDestination();
    bool converting() const;
    bool processing() const;
    void endWait();
    void setStatus(const QString& text);
    void showProgress(int current, int overall);
    QString summaryField(const QString& key) const;
    QString trackTitle(int track) const;
    QString trackIsrc(int track) const;
    void removeRipFiles();

    ImportContext m_context;
    FileImportOptions m_options;
    CDRipOptions m_cdOptions;
    CDRipper& m_ripper;
    FileImportHandler& m_handler;
    const ImportItemList* m_tracks = nullptr;
    const ImportItemList* m_summary = nullptr;
    ImportTargetHandler* m_target = nullptr;
    ImportAnalysis m_analysis; // before the copy job, which shows it what it writes
    std::shared_ptr<cCopyAudioFileNCT> m_copyJob;
    bool m_copyWroteTrack = false; // the copy job made the current track's audio (and measured it)
    AudioFormat m_convertFormat;
    std::optional<CDRipVerification> m_verification; // when verifying
    QString m_verdict;                               // of the track in hand, for its audit entry

    QList<qint16> m_ripQueue; // track numbers, in the list's order
    qint32 m_itemCount = 0;
    qint32 m_currentItem = 0;
    qint16 m_ripTrackNumber = 0;
    QString m_ripCart;
    std::unique_ptr<CartImport> m_import; // the track in hand
    QString m_ripFileName;                // the file of the import the track is ripped into
    qint32 m_ripStart = 0;
    qint32 m_ripEnd = 0;
    bool m_ripping = false;
    bool m_stopRequested = false;
    bool m_failed = false;  // a track of this run did not reach its cart
    bool m_started = false; // the track in hand has begun to rip
    QString m_ripProblem;   // the last problem the ripper reported for it
    bool m_waiting = false; // a status event's brief wait is running
    QString m_status;
    int m_overall = 0;
    QPointer<QEventLoop> m_wait;
};
