#pragma once
#include "wizard/FileImportOptions.h"
#include "wizard/ImportContext.h"
#include "wizard/ImportTally.h"

#include <QDialog>
#include <QString>

#include <memory>

class AudioFormat;
class AudioFormatPage;
class CartAllocationPage;
class ChooseSourcePage;
class ImportFilesPage;
class ImportItemList;
class ImportPageChecks;
class ImportProgressDisplay;
class ImportResultsPage;
class ImportSummaryPage;
class ImportTargetHandler;
class QIcon;
class QSize;
class QTimer;
class RipCDPage;
class WindowImportHandler;
class WizardFrame;
class cCopyAudioFileNCT;
class CDPageActions;
class CDRipRun;
class CDRipper;
class FileImportRun;
class FilesPageActions;
class MatchSearchControls;
class CDLookupActions;

// The import wizard's window: seven pages in a wizard frame, from the
// choice of source to the import run. DisplayWizard is how callers use it;
// the rest is for the parts of the wizard that fill in its pages and runs.
class frmImportAudio : public QDialog
{
    Q_OBJECT
public:
    enum Page {
        PageChoose = 1,
        PageImportFiles = 2,
        PageRipCD = 3,
        PageHDRefs = 4,
        PageAudioFormat = 5,
        PageSummary = 6,
        PageResults = 7,
        PageFinish = 99,
    };
    enum StartMode : qint16 { StartNormal = 0, StartOnCD = 1, StartWithFiles = 2 };

    explicit frmImportAudio(QWidget* parent = nullptr);
    ~frmImportAudio() override;

    // Shows the wizard modally over OwnerForm and returns once it has closed.
    // StartMode 1 opens on the CD page, 2 on the files page with FileList
    // ("|"-separated paths) loaded; anything else at the beginning. A
    // non-empty InitialCart replaces the suggested first cart. ImportTarget
    // (not owned, may be null) is asked before a run and told of each item.
    // Shows nothing when nobody is logged in, and only a message when the
    // user may not add carts.
    void DisplayWizard(QWidget* OwnerForm, qint16 StartMode, const QString& InitialCart, const QString& FileList,
                       ImportTargetHandler* ImportTarget);
    // Everything DisplayWizard does before it shows the window; false when
    // there is nothing to show.
    bool PrepareWizard(qint16 StartMode, const QString& InitialCart, const QString& FileList,
                       ImportTargetHandler* ImportTarget);

    // The frame and the pages.
    WizardFrame* ctlWizard = nullptr;
    ChooseSourcePage* fraChoose = nullptr;
    ImportFilesPage* fraImportFiles = nullptr;
    RipCDPage* fraRipCD = nullptr;
    CartAllocationPage* fraHDRefs = nullptr;
    AudioFormatPage* fraAudioFormat = nullptr;
    ImportSummaryPage* fraSummary = nullptr;
    ImportResultsPage* fraResults = nullptr;
    QTimer* tmrCD = nullptr; // watches the CD drive while the CD page is shown
    // The CD drive; made when the window is first used (tests may put their
    // own in place before that).
    CDRipper* CDRipperX1 = nullptr;

    ImportItemList& fileList() const;
    ImportItemList& cdTrackList() const;
    ImportItemList& summaryList() const;

    // State shared with the runs, which let window events in while they
    // work: a stop or a close reaches them only through these flags.
    std::shared_ptr<AudioFormat> ConvertFormat; // target of "Convert the audio to a specified format"
    ImportTargetHandler* ImportTarget = nullptr;
    std::shared_ptr<cCopyAudioFileNCT> clsCompress; // the copy job whose events move the bars
    bool Closing = false;
    bool TracksLoaded = false;
    bool Ripping = false;
    bool StopRequested = false;
    bool Searching = false; // a search for matching carts is running
    int QueryCDDBBusy = 0;  // not 0 while a CD title lookup runs: titles are left alone meanwhile
    qint32 CurrentItem = 0; // 1-based item of the run in hand
    qint32 ItemCount = 0;
    ImportTally RunTally; // how the items of the run in hand ended

    // Makes `job` the run's copy job and shows its progress; null lets go of it.
    void setCopyJob(std::shared_ptr<cCopyAudioFileNCT> job);
    // Shows the progress of a copy job that a run owns (null: none).
    void showCopyJob(cCopyAudioFileNCT* job);

    // The library objects the lists and runs work with, taken from the
    // tool's connections when the wizard opens.
    const ImportContext& context() const { return m_context; }
    // The choices of pages 2, 4 and 5 as they stand.
    FileImportOptions importOptions() const;
    FilesPageActions& filesPage() const { return *m_filesPage; }
    CDPageActions& cdPage() const { return *m_cdPage; }
    void setCurrentStatus(const QString& status);
    void AddResultText(const QString& text, bool endOfLine);

    // Shows page `pageNumber` itself and runs PageShown for it; false when
    // the frame has no such page.
    bool MoveToPage(int pageNumber, int direction);
    // The window's step for the page the frame now shows.
    void PageShown(int direction);

    // The file list, titles, summary, runs, CD drive, title lookup and
    // match search; virtual so that tests can stand in for them. The title
    // lookup and the match search do nothing yet.
    virtual void AddImportFile(const QString& path);
    virtual void InterpretTitles();
    virtual void BuildSummary();
    virtual bool RunFileImport();
    virtual bool RunCDRip();
    virtual void EnableCDControls(bool enable);
    virtual int cdDriveCount();
    virtual void openCDDrive();
    virtual void stopRipping();
    virtual void cdTimerTick();
    virtual void QueryCDDB();
    virtual void SearchForMatches(int index);
    void ReadCDTracks();
    void ApplyCDTitles();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool discardAgreed();
    QSize startSize() const;
    static QIcon windowIconImage();
    void done(int result) override;

private:
    void buildWindow();
    void initialiseWindow();
    void setInitialValues();
    void setUpFrame();
    void applyStartMode(qint16 startMode, const QString& fileList);
    void pageLeaving(int direction, bool& cancel);
    void wizardClosed();
    void focusFirstField(QWidget* container);
    static QWidget* chosenOption(QWidget* field);
    void showRipCDPage();
    void showImportingPage(int direction);
    void finishRun(bool succeeded);
    void stopImport();
    void chooseConvertFormat();
    void unload();

    void showRunOptions(const FileImportOptions& options);

    std::unique_ptr<ImportPageChecks> m_checks;
    FilesPageActions* m_filesPage = nullptr;
    MatchSearchControls* m_matchSearch = nullptr;
    std::unique_ptr<CDLookupActions> m_cdLookup;
    CDPageActions* m_cdPage = nullptr;
    // Kept until the next run: the end of a rip that comes after a stop
    // still reaches them.
    std::unique_ptr<WindowImportHandler> m_cdRunHandler;
    std::unique_ptr<CDRipRun> m_cdRun;
    ImportContext m_context;
    std::unique_ptr<FileImportRun> m_fileRun; // kept, with its copy job, until the window closes
    std::unique_ptr<ImportProgressDisplay> m_progress;
    bool m_initialised = false;
    int m_cdScanMarker = 0; // 1: the next CD timer tick shows "Scanning CD..."
};
