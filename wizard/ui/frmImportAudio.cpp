#include "wizard/ui/frmImportAudio.h"

#include "audio/cCopyAudioFileNCT.h"
#include "frame/Messenger.h"
#include "frame/WriteLog.h"
#include "frame/library/AudioFormat.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/Directory.h"
#include "frame/library/DirectoryUser.h"
#include "frame/library/LibraryGlobals.h"
#include "frame/library/PlayoutAudio.h"
#include "platform/cdripper/CDRipper.h"
#include "platform/wizardframe/WizardFrame.h"
#include "platform/wizardframe/WizardPage.h"
#include "wizard/CDRipRun.h"
#include "wizard/CDTrackList.h"
#include "wizard/FileImportRun.h"
#include "wizard/FileListBuilder.h"
#include "wizard/ImportItemList.h"
#include "wizard/SummaryBuilder.h"
#include "wizard/TitleInterpreter.h"
#include "wizard/ui/FilesPageActions.h"
#include "wizard/ui/MatchSearchControls.h"
#include "wizard/ui/CDLookupActions.h"
#include "wizard/ui/WindowImportHandler.h"
#include "wizard/ImportListColumns.h"
#include "wizard/ImportOptionRules.h"
#include "wizard/ui/AudioFormatPage.h"
#include "wizard/ui/CDPageActions.h"
#include "wizard/ui/BusyPointer.h"
#include "wizard/ui/CartAllocationPage.h"
#include "wizard/ui/ChooseSourcePage.h"
#include "wizard/ui/ImportFilesPage.h"
#include "wizard/ui/ImportItemView.h"
#include "wizard/ui/ImportPageChecks.h"
#include "wizard/ui/ImportProgressDisplay.h"
#include "wizard/ui/ImportResultsPage.h"
#include "wizard/ui/ImportSummaryPage.h"
#include "wizard/ui/RipCDPage.h"
#include "wizard/ui/RunEndDisplay.h"
#include "wizard/ui/StoppableRun.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kSkipIntroKey = QStringLiteral("Software\\Tarnwick\\Orvane v3\\Audio\\ImportWizard\\SkipIntro");

struct PageHeader {
    int number;
    const char* title;
    const char* description;
};
constexpr PageHeader kPageHeaders[] = {
    {frmImportAudio::PageChoose, "Source Audio Location", "Where do you want to import the audio from?"},
    {frmImportAudio::PageImportFiles, "Import Audio files",
     "Import compatible files from one or more folders specified by you."},
    {frmImportAudio::PageRipCD, "Rip Audio tracks from CD", "Select the tracks that you want to 'rip'"},
    {frmImportAudio::PageHDRefs, "Cart number allocation", "Enter the area of the Cartvault to import to"},
    {frmImportAudio::PageAudioFormat, "Import Audio Format", "Select the Audio format to use for the imported audio"},
    {frmImportAudio::PageSummary, "Import Audio Summary", "Summary of what audio will be imported and to where"},
    {frmImportAudio::PageResults, "Importing Audio", "The audio is being imported"},
};

QString welcomeText()
{
    return QStringLiteral("This wizard allows you to import audio from a variety of sources including audio files or "
                          "individual Tracks from a CD.")
        + QStringLiteral("\n\n")
        + QStringLiteral("When importing tracks from a CD, this wizard can also look-up the title and artist information "
                         "from an online \"FreeDB\" database (sometimes also known as \"CDDB\"");
}
} // namespace

frmImportAudio::frmImportAudio(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmImportAudio"));
    setWindowTitle(QStringLiteral("Import Audio"));
    setWindowIcon(windowIconImage());
    buildWindow();
    m_checks = std::make_unique<ImportPageChecks>(*this);
    m_progress = std::make_unique<ImportProgressDisplay>(*this);
}

frmImportAudio::~frmImportAudio() = default;

void frmImportAudio::buildWindow()
{
    // The pages first, then the frame: the keyboard then goes through a
    // page's fields before it reaches Back, Next and Cancel.
    fraChoose = new ChooseSourcePage(this);
    fraImportFiles = new ImportFilesPage(this);
    fraRipCD = new RipCDPage(this);
    fraHDRefs = new CartAllocationPage(this);
    fraAudioFormat = new AudioFormatPage(this);
    fraSummary = new ImportSummaryPage(this);
    fraResults = new ImportResultsPage(this);
    for (QWidget* page : std::initializer_list<QWidget*>{fraChoose, fraImportFiles, fraRipCD, fraHDRefs, fraAudioFormat,
                                                         fraSummary, fraResults})
        page->hide(); // shown by the frame once attached

    ctlWizard = new WizardFrame(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ctlWizard);

    tmrCD = new QTimer(this);
    tmrCD->setObjectName(QStringLiteral("tmrCD"));
    tmrCD->setInterval(200);

    connect(ctlWizard, &WizardFrame::PageShown, this, &frmImportAudio::PageShown);
    connect(ctlWizard, &WizardFrame::PageLeaving, this, &frmImportAudio::pageLeaving);
    connect(ctlWizard, &WizardFrame::WizardClosed, this, &frmImportAudio::wizardClosed);
    connect(tmrCD, &QTimer::timeout, this, &frmImportAudio::cdTimerTick);
    connect(fraImportFiles, &ImportFilesPage::titlingChanged, this, &frmImportAudio::InterpretTitles);
    m_filesPage = new FilesPageActions(*this);
    m_matchSearch = new MatchSearchControls(*this);
    m_cdLookup = std::make_unique<CDLookupActions>(*this);
    m_cdPage = new CDPageActions(*this);
    connect(fraAudioFormat, &AudioFormatPage::formatChoiceRequested, this, &frmImportAudio::chooseConvertFormat);
    connect(fraResults->cmdStopImport, &QPushButton::clicked, this, &frmImportAudio::stopImport);
    connect(fraRipCD->cmdCDQueryCDDB, &QPushButton::clicked, this, &frmImportAudio::QueryCDDB);
    connect(fraRipCD->comboCDRelease, &QComboBox::activated, this, [this](int release) { m_cdLookup->chooseRelease(release); });
    connect(fraImportFiles->cmdSearchForMatches, &QPushButton::clicked, this, [this] { SearchForMatches(0); });
    connect(fraRipCD->cmdSearchForMatches, &QPushButton::clicked, this, [this] { SearchForMatches(1); });
}

ImportItemList& frmImportAudio::fileList() const { return *fraImportFiles->files(); }
ImportItemList& frmImportAudio::cdTrackList() const { return *fraRipCD->tracks(); }
ImportItemList& frmImportAudio::summaryList() const { return *fraSummary->summary(); }

// Once, on the window's first use. Without a Cartvault the wizard still
// shows, but its lists get no columns and its fields keep their first values.
void frmImportAudio::initialiseWindow()
{
    Closing = false;
    if (!gPlayoutAudio) {
        ShowMessage(QStringLiteral("The Cartvault Information has not been correctly initialised - Please contact "
                                   "Tarnwick for more information about any updates that are available for this software"),
                    MessageIcon::Critical, MessageButtons::Ok);
        return;
    }
    WriteLog(QStringLiteral("Audio Import Wizard Loaded"));
    fileList().setColumns(ImportListColumns::files());
    cdTrackList().setColumns(ImportListColumns::cdTracks());
    summaryList().setColumns(ImportListColumns::summary());
    setInitialValues();
    openCDDrive();
}

void frmImportAudio::setInitialValues()
{
    const CartvaultStore& store = gPlayoutAudio->Cartvault();

    // The list is still empty: there are no titles to interpret yet.
    QComboBox* titling = fraImportFiles->comboFilesTitleProcessing;
    {
        const QSignalBlocker quiet(titling);
        titling->clear();
        titling->addItems({QStringLiteral("Don't interpret the file's name"), QStringLiteral("Use embedded information"),
                           QStringLiteral("\"Line 1\"-\"Line 2\"-\"Line 3\""), QStringLiteral("\"Line 2\"-\"Line 1\"-\"Line 3\"")});
        titling->setCurrentIndex(1);
    }
    fraImportFiles->applyTitlingRule();

    fraHDRefs->optAssignHDRefs->setChecked(true);
    fraHDRefs->txtInitialHDRef->setText(gPlayoutAudio->FirstFreeCart(QString()));
    fraAudioFormat->optAudioFormatDefault->setChecked(true);
    fraRipCD->comboCDTitleOrder->setCurrentIndex(0);
    fraImportFiles->chkFilesCreateLink->setVisible(store.AllowLinking);

    // A store that levels by loudness levels every import unless told not to.
    fraAudioFormat->chkNormalise->setChecked(store.NormaliseDefault >= 1 || store.NormaliseLoudness);
    fraAudioFormat->txtNormalise->setText(QString::number(ImportOptionRules::offeredLevel(store.NormaliseDefault)));
    fraAudioFormat->chkNormaliseLoudness->setChecked(store.NormaliseLoudness);
    fraAudioFormat->spnLoudnessTarget->setValue(store.LoudnessTarget);
    fraAudioFormat->showTruePeakCeiling(store.TruePeakCeiling);

    fraRipCD->chkCDAutoTop->setChecked(store.AutoTopDefault);
    fraRipCD->cmdCDQueryCDDB->setVisible(store.FreeDBEnabled);
    fraRipCD->comboCDLookupService->setVisible(store.FreeDBEnabled);
}

void frmImportAudio::DisplayWizard(QWidget* OwnerForm, qint16 StartMode, const QString& InitialCart,
                                   const QString& FileList, ImportTargetHandler* ImportTarget)
{
    if (OwnerForm && parentWidget() != OwnerForm)
        setParent(OwnerForm, windowFlags());
    if (!PrepareWizard(StartMode, InitialCart, FileList, ImportTarget))
        return;
    setWindowModality(Qt::ApplicationModal);
    exec();
}

bool frmImportAudio::PrepareWizard(qint16 StartMode, const QString& InitialCart, const QString& FileList,
                                   ImportTargetHandler* ImportTarget)
{
    // The start-up has already said why when there is no directory or user.
    if (!gDirectory || !gDirectory->CurrentUser())
        return false;
    if (gDirectory->CurrentUser()->Rights().CartRights == 0) {
        ShowMessage(QStringLiteral("You do not have the correct permissions to add carts to the Cartvault - you will "
                                   "need to contact your System Administrator to have the correct permissions granted "
                                   "to you"),
                    MessageIcon::Exclamation, MessageButtons::Ok);
        return false;
    }

    m_context = ImportContext{gPlayoutAudio.get(), gAudioSettings.get(), gDirectory.get(), gProfileName, {}};
    BusyPointer busy;
    if (!m_initialised) {
        m_initialised = true;
        initialiseWindow();
    }
    Closing = false;
    ConvertFormat = std::make_shared<AudioFormat>();
    if (gAudioSettings) {
        AudioFormat houseFormat;
        gAudioSettings->GetDefaultFormat(houseFormat);
        ConvertFormat->setSettingsText(houseFormat.SettingsText());
    }
    fraAudioFormat->lblAudioFormatConvert->setText(ConvertFormat->Description());
    fraSummary->setStoreName(gProfileName);

    if (!InitialCart.isEmpty())
        fraHDRefs->txtInitialHDRef->setText(InitialCart);
    this->ImportTarget = ImportTarget;

    setUpFrame();
    applyStartMode(StartMode, FileList);
    resize(startSize());
    return true;
}

// The size the window opens at: roomy where the screen allows, never larger
// than the screen (a 1280x720 screen at twice the scale is 640x360).
QSize frmImportAudio::startSize() const
{
    const QSize wanted = sizeHint().expandedTo(QSize(780, 580));
    const QScreen* const where = screen();
    return where ? wanted.boundedTo(where->availableGeometry().size()).expandedTo(minimumSizeHint()) : wanted;
}

// The icon lives in the program's resources (the installed theme icon is the
// same picture), so a window started from the build folder has it too.
QIcon frmImportAudio::windowIconImage()
{
    Q_INIT_RESOURCE(WindowIcon);
    return QIcon(QStringLiteral(":/icons/orvane-import.svg"));
}

void frmImportAudio::setUpFrame()
{
    ctlWizard->setWelcomeHeadline(QStringLiteral("Import Audio Wizard"));
    ctlWizard->setWelcomeText(welcomeText());
    ctlWizard->setSkipIntroKey(kSkipIntroKey);
    ctlWizard->ClearPages();
    QWidget* const containers[] = {fraChoose, fraImportFiles, fraRipCD, fraHDRefs, fraAudioFormat, fraSummary, fraResults};
    for (int page = PageChoose; page <= PageResults; ++page)
        ctlWizard->AttachPage(containers[page - 1], page);
    for (const PageHeader& header : kPageHeaders)
        ctlWizard->AddPage(header.number, QString::fromUtf8(header.title), QString::fromUtf8(header.description));
    ctlWizard->StartWizard(1);
}

void frmImportAudio::applyStartMode(qint16 startMode, const QString& fileList)
{
    int startPage = 0;
    switch (startMode) {
    case StartOnCD:
        fraChoose->optRipCD->setChecked(true);
        startPage = PageRipCD;
        break;
    case StartWithFiles:
        fraChoose->optImportFiles->setChecked(true);
        startPage = PageImportFiles;
        if (!fileList.isEmpty()) {
            for (const QString& path : fileList.split(QLatin1Char('|')))
                AddImportFile(path);
            InterpretTitles();
        }
        break;
    default:
        fraChoose->optImportFiles->setChecked(true);
        break;
    }
    if (startPage != 0)
        MoveToPage(startPage, WizardFrame::DirectionNext);
}

bool frmImportAudio::MoveToPage(int pageNumber, int direction)
{
    WizardPage* page = ctlWizard->GetPage(pageNumber);
    if (!page)
        return false;
    ctlWizard->setCurrentPage(page);
    ctlWizard->RefreshPage();
    PageShown(direction);
    return true;
}

void frmImportAudio::PageShown(int direction)
{
    const WizardPage* page = ctlWizard->CurrentPage();
    if (!page)
        return;
    const int number = page->PageNumber();
    focusFirstField(page->container());
    // The drive is watched only while someone looks at its tracks.
    if (number == PageRipCD)
        tmrCD->start();
    else
        tmrCD->stop();

    switch (number) {
    case PageRipCD:
        showRipCDPage();
        break;
    case PageHDRefs:
        fraHDRefs->applySourceRule(fraChoose->optRipCD->isChecked());
        break;
    case PageAudioFormat:
        fraAudioFormat->applySourceRules(fraChoose->optRipCD->isChecked(),
                                         fraImportFiles->chkFilesCreateLink->isChecked());
        break;
    case PageSummary:
        ctlWizard->RefreshPage();
        BuildSummary();
        break;
    case PageResults:
        showImportingPage(direction);
        break;
    case PageFinish:
        ctlWizard->setNextEnabled(false);
        ctlWizard->setBackEnabled(false);
        break;
    default:
        break;
    }
}

// The frame looks for a page's first field after the page in the keyboard
// order, but our pages were made before the frame and sit ahead of it there;
// so the window puts the focus on the page's first field itself. When that
// field is an option of a group, the focus goes to the chosen option: on the
// first one, a Space would change the choice unseen.
void frmImportAudio::focusFirstField(QWidget* container)
{
    if (!container)
        return;
    for (QWidget* w = container->nextInFocusChain(); w && w != container && container->isAncestorOf(w);
         w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(container)) {
            chosenOption(w)->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

QWidget* frmImportAudio::chosenOption(QWidget* field)
{
    const auto* option = qobject_cast<QRadioButton*>(field);
    if (!option || option->isChecked() || !option->parentWidget())
        return field;
    for (QRadioButton* sibling : option->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
        if (sibling->isChecked() && sibling->isEnabled() && sibling->autoExclusive())
            return sibling;
    return field;
}

void frmImportAudio::showRipCDPage()
{
    if (TracksLoaded)
        return;
    EnableCDControls(false);
    if (cdDriveCount() < 1) {
        tmrCD->stop();
        EnableCDControls(false);
    } else {
        m_cdScanMarker = 1;
        tmrCD->start();
    }
}

// Arriving forwards starts the run; arriving any other way only shows what
// the last run left.
void frmImportAudio::showImportingPage(int direction)
{
    ctlWizard->RefreshPage();
    if (direction != WizardFrame::DirectionNext)
        return;
    ctlWizard->setCancelEnabled(false);
    ctlWizard->setNextEnabled(false);
    ctlWizard->setBackEnabled(false);
    fraResults->reset();
    RunTally = ImportTally{};

    bool succeeded = false;
    if (fraChoose->optImportFiles->isChecked())
        succeeded = RunFileImport();
    else if (fraChoose->optRipCD->isChecked())
        succeeded = RunCDRip();
    else
        return; // no source: the page stays locked
    finishRun(succeeded);
}

void frmImportAudio::finishRun(bool succeeded)
{
    if (!succeeded) {
        RunEndDisplay::showFailed(*fraResults, RunTally);
        // Let the user go back, change the choices and run again, or give up.
        ctlWizard->setNextEnabled(false);
        ctlWizard->setBackEnabled(true);
        ctlWizard->setCancelEnabled(true);
        return;
    }
    RunEndDisplay::showFinished(*ctlWizard, fraChoose->optImportFiles->isChecked(), RunTally,
                                fraResults->txtResults->toPlainText());
    if (WizardPage* finish = ctlWizard->FinishPage())
        ctlWizard->setCurrentPage(finish);
}

void frmImportAudio::pageLeaving(int direction, bool& cancel)
{
    if (const WizardPage* page = ctlWizard->CurrentPage())
        m_checks->leaving(page->PageNumber(), direction, cancel);
}

void frmImportAudio::wizardClosed()
{
    Closing = true;
    Searching = false; // a running search for matches stops at its next look
    close();
}

void frmImportAudio::setCopyJob(std::shared_ptr<cCopyAudioFileNCT> job)
{
    clsCompress = std::move(job);
    m_progress->attach(clsCompress.get());
}

void frmImportAudio::showCopyJob(cCopyAudioFileNCT* job) { m_progress->attach(job); }

FileImportOptions frmImportAudio::importOptions() const
{
    FileImportOptions options;
    options.titlingMode = fraImportFiles->comboFilesTitleProcessing->currentIndex();
    for (int i = 0; i < 2; ++i)
        options.separators[i] = fraImportFiles->comboFileNameSeparator[i]->currentText();
    options.sequential = fraHDRefs->optAssignHDRefs->isChecked();
    options.startCart = fraHDRefs->txtInitialHDRef->text();
    options.overwrite = fraHDRefs->chkOverwriteHDItems->isChecked();
    options.link = fraImportFiles->chkFilesCreateLink->isChecked();
    options.deleteSource = fraImportFiles->chkFilesDeleteOriginal->isChecked();
    options.format = fraAudioFormat->optAudioFormatConvert->isChecked() ? FileImportOptions::Format::Convert
        : fraAudioFormat->optAudioFormatLeave->isChecked()              ? FileImportOptions::Format::Leave
                                                                        : FileImportOptions::Format::StoreDefault;
    options.convertFormat = ConvertFormat ? ConvertFormat->SettingsText() : QString();
    options.normalise = fraAudioFormat->chkNormalise->isChecked();
    options.normalisePercent = fraAudioFormat->txtNormalise->text().toDouble();
    options.normaliseLoudness = fraAudioFormat->chkNormaliseLoudness->isChecked();
    options.loudnessTarget = fraAudioFormat->spnLoudnessTarget->value();
    if (gPlayoutAudio)
        options.truePeakCeiling = gPlayoutAudio->Cartvault().TruePeakCeiling;
    return options;
}

// The run switches linking off when it converts, and deleting when it
// links; the boxes show what it did.
void frmImportAudio::showRunOptions(const FileImportOptions& options)
{
    fraImportFiles->chkFilesCreateLink->setChecked(options.link);
    fraImportFiles->chkFilesDeleteOriginal->setChecked(options.deleteSource);
}

void frmImportAudio::setCurrentStatus(const QString& status) { fraResults->setStatus(status); }

void frmImportAudio::AddResultText(const QString& text, bool endOfLine) { fraResults->appendResult(text, endOfLine); }

void frmImportAudio::stopImport()
{
    if (Ripping)
        stopRipping();
    Ripping = false;
    StopRequested = true;
    fraResults->cmdStopImport->setEnabled(false);
}

void frmImportAudio::chooseConvertFormat()
{
    if (ConvertFormat && ConvertFormat->ShowFormatDialog(aftWAV, 13, QStringLiteral("Import Audio Format")))
        fraAudioFormat->lblAudioFormatConvert->setText(ConvertFormat->Description());
}

// However the window is asked to close, it closes; the flags tell a run
// that is still on the stack to wind up.
void frmImportAudio::closeEvent(QCloseEvent* event)
{
    unload();
    QDialog::closeEvent(event);
    event->accept();
}

void frmImportAudio::done(int result)
{
    unload();
    QDialog::done(result);
}

void frmImportAudio::unload()
{
    Closing = true;
    ImportTarget = nullptr;
    ConvertFormat.reset();
    // A run still holds its own reference to the job it is using. A file run
    // that this close interrupted is still on the stack: it ends at its next
    // look at the flags, and goes with the window or the next run.
    setCopyJob(nullptr);
    TracksLoaded = false;
    // Ends a ripping run waiting for its track; the track in hand is
    // stopped rather than left to finish into a closed window's run.
    if (Ripping && m_cdRun)
        m_cdRun->stop();
    Ripping = false;
    tmrCD->stop();
}

void frmImportAudio::keyPressEvent(QKeyEvent* event)
{
    // Escape is the Cancel button, and like it does nothing while a run
    // has Cancel switched off. A key is easily hit by mistake: with files
    // gathered in the list, it asks before they are thrown away.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (ctlWizard->CancelEnabled() && !discardAgreed())
            return;
        ctlWizard->cancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmImportAudio::discardAgreed()
{
    const int count = fileList().count();
    if (count == 0)
        return true;
    const QString text = QStringLiteral("Close the wizard and discard the %1 file(s) in the list?").arg(count);
    return ShowMessage(text, MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
}

// ---- Filled in by the parts that own them -------------------------------

void frmImportAudio::AddImportFile(const QString& path)
{
    FileListBuilder(fileList(), importOptions()).AddImportFile(path);
    QCoreApplication::processEvents();
}

void frmImportAudio::InterpretTitles()
{
    TitleInterpreter::InterpretTitles(fileList(), 0, importOptions());
    m_filesPage->UpdateFileButtons();
}

void frmImportAudio::BuildSummary()
{
    const bool files = fraChoose->optImportFiles->isChecked();
    if (!files && !fraChoose->optRipCD->isChecked()) {
        ctlWizard->setNextEnabled(false);
        return;
    }
    if (!m_context.audio)
        return;
    BusyPointer busy;
    SummaryBuilder::BuildSummary(files ? fileList() : cdTrackList(), files, summaryList(), importOptions(), *m_context.audio);
}

bool frmImportAudio::RunFileImport()
{
    StopRequested = false;
    StoppableRun running(fraResults->cmdStopImport);
    WindowImportHandler handler(*this);
    m_fileRun = std::make_unique<FileImportRun>(m_context, importOptions(), handler);
    const bool succeeded = m_fileRun->RunFileImport(summaryList(), &fileList(), ImportTarget);
    showRunOptions(m_fileRun->options());
    return succeeded;
}

bool frmImportAudio::RunCDRip()
{
    if (!CDRipperX1 || !m_context.audio)
        return false;
    StopRequested = false;
    StoppableRun running(fraResults->cmdStopImport);
    QCoreApplication::processEvents();
    m_cdRunHandler = std::make_unique<WindowImportHandler>(*this);
    m_cdRun = std::make_unique<CDRipRun>(m_context, importOptions(), CDRipOptions{fraRipCD->chkCDAutoTop->isChecked()},
                                         *CDRipperX1, *m_cdRunHandler);
    Ripping = true;
    const bool succeeded = m_cdRun->RunCDRip(cdTrackList(), summaryList(), ImportTarget);
    Ripping = false;
    return succeeded;
}

void frmImportAudio::EnableCDControls(bool enable) { m_cdPage->EnableCDControls(enable); }

void frmImportAudio::ApplyCDTitles() { m_cdPage->ApplyCDTitles(); }

int frmImportAudio::cdDriveCount() { return CDRipperX1 ? CDRipperX1->DriveCount() : 0; }

// The drive's answer does not matter here: the CD page's timer finds out
// what is in it.
void frmImportAudio::openCDDrive()
{
    if (!CDRipperX1)
        CDRipperX1 = new CDRipper(this);
    CDRipperX1->OpenDrive(0);
}

void frmImportAudio::stopRipping()
{
    if (m_cdRun)
        m_cdRun->stop();
}

// The first tick after the page is shown says it is looking at the disc;
// later ticks only react to a disc coming or going.
void frmImportAudio::cdTimerTick()
{
    RipCDPage* page = fraRipCD;
    if (m_cdScanMarker != 0) {
        page->imgFreeDB->hide();
        page->imgCD->show();
        page->lblCDQueryStatus->setText(QStringLiteral("Scanning CD..."));
        page->pnlCDQueryStatus->show();
        repaint();
    }
    if (CDRipperX1)
        CDTrackList::DriveStatusStep(
            CDRipperX1->DriveStatus(), cdTrackList(), TracksLoaded, [this] { ReadCDTracks(); },
            [this](bool enable) { EnableCDControls(enable); });
    if (m_cdScanMarker != 0) {
        page->pnlCDQueryStatus->hide();
        m_cdScanMarker = 0;
    }
}

void frmImportAudio::ReadCDTracks()
{
    tmrCD->stop();
    TracksLoaded = false;
    cdTrackList().clear();
    WriteLog(QStringLiteral("Accessing Drive"));
    bool failed = false;
    {
        BusyPointer busy;
        TracksLoaded = CDTrackList::ReadCDTracks(*CDRipperX1, cdTrackList(), &failed);
    }
    if (const auto proposal = TracksLoaded ? CDTrackList::applyDiscText(*CDRipperX1, cdTrackList()) : std::nullopt) {
        m_cdLookup->titlesFound(*proposal);
        ApplyCDTitles();
    }
    // After an error the timer stays stopped, as the error left it.
    if (!failed)
        tmrCD->start();
}

void frmImportAudio::QueryCDDB() { m_cdLookup->QueryCDDB(); }

void frmImportAudio::SearchForMatches(int index) { m_matchSearch->SearchForMatches(index); }
