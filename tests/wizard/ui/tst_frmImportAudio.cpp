#include "frame/library/AudioFormat.h"
#include "tests/support/TestEnvironment.h"
#include "tests/wizard/ui/WizardFixture.h"
#include "wizard/ImportTargetHandler.h"
#include "wizard/ui/AudioFormatPage.h"
#include "wizard/ui/CartAllocationPage.h"
#include "wizard/ui/ChooseSourcePage.h"
#include "wizard/ui/ImportFilesPage.h"
#include "wizard/ui/ImportItemView.h"
#include "wizard/ui/ImportResultsPage.h"
#include "wizard/ui/ImportSummaryPage.h"
#include "wizard/ui/BusyPointer.h"
#include "wizard/ui/QtMessenger.h"
#include "frame/ReportError.h"
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>
#include <QProgressBar>
#include "frame/library/CartRecord.h"
#include "frame/library/LibraryGlobals.h"
#include "frame/library/PlayoutAudio.h"
#include "tests/support/TestWav.h"
#include "tests/support/Tunes.h"
#include "wizard/ui/RipCDPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

using Settings = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(Settings)

namespace {
struct NullTarget : ImportTargetHandler {
    bool BeginImport() override { return true; }
    bool ItemImported(const QString&, const QString&) override { return true; }
};
} // namespace

// Opening the wizard: who may, what it starts with, where it starts.
class TestFrmImportAudio : public QObject
{
    Q_OBJECT

    WizardFixture m_fixture;

private slots:
    void init()
    {
        m_fixture.messenger.shown.clear();
        m_fixture.messenger.answers.clear();
    }

    void showsNothingToThoseWhoMayNotAddCarts_data()
    {
        QTest::addColumn<bool>("withDirectory");
        QTest::addColumn<int>("cartRights");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("message");
        QTest::newRow("no directory") << false << 1 << false << QString();
        QTest::newRow("rights 0") << true << 0 << false
                                  << QStringLiteral("You do not have the correct permissions to add carts to the "
                                                    "Cartvault - you will need to contact your System Administrator to "
                                                    "have the correct permissions granted to you");
        QTest::newRow("rights 1") << true << 1 << true << QString();
        QTest::newRow("rights -1 goes on") << true << -1 << true << QString();
    }

    void showsNothingToThoseWhoMayNotAddCarts()
    {
        QFETCH(bool, withDirectory);
        QFETCH(int, cartRights);
        QFETCH(bool, shown);
        QFETCH(QString, message);
        QVERIFY(m_fixture.openStore({}, cartRights));
        if (!withDirectory)
            gDirectory.reset();
        m_fixture.messenger.shown.clear();

        TestWizard wizard;
        if (!shown) {
            // Returns at once; a modal loop here would hang the test.
            wizard.DisplayWizard(nullptr, 0, QString(), QString(), nullptr);
            QVERIFY(!wizard.isVisible());
        }
        QCOMPARE(wizard.PrepareWizard(0, QString(), QString(), nullptr), shown);
        if (message.isEmpty()) {
            QVERIFY(m_fixture.messenger.shown.isEmpty());
        } else {
            QCOMPARE(m_fixture.messenger.texts(), QStringList({message, message}));
            QCOMPARE(m_fixture.messenger.shown.first().icon, MessageIcon::Exclamation);
        }
    }

    void startsWithTheStoreDefaults_data()
    {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<bool>("linkOffered");
        QTest::addColumn<bool>("normalise");
        QTest::addColumn<QString>("percentage");
        QTest::addColumn<bool>("autoTop");
        QTest::addColumn<bool>("lookupOffered");
        QTest::newRow("store defaults") << Settings{} << false << false << "63" << false << false;
        QTest::newRow("everything on")
            << Settings{{"AllowLinking", "true"}, {"NormaliseDefault", "80"}, {"AutoTopDefault", "true"}, {"FreeDBEnabled", "true"}}
            << true << true << "80" << true << true;
        QTest::newRow("normalise below 1 %") << Settings{{"NormaliseDefault", "0.5"}} << false << false << "63" << false << false;
        QTest::newRow("normalise at 1 %") << Settings{{"NormaliseDefault", "1"}} << false << true << "1" << false << false;
    }

    void startsWithTheStoreDefaults()
    {
        QFETCH(Settings, settings);
        QFETCH(bool, linkOffered);
        QFETCH(bool, normalise);
        QFETCH(QString, percentage);
        QFETCH(bool, autoTop);
        QFETCH(bool, lookupOffered);
        QVERIFY(m_fixture.openStore(settings));
        auto wizard = m_fixture.openWizard();
        QVERIFY(wizard);

        QCOMPARE(wizard->fraImportFiles->chkFilesCreateLink->isHidden(), !linkOffered);
        QCOMPARE(wizard->fraAudioFormat->chkNormalise->isChecked(), normalise);
        QCOMPARE(wizard->fraAudioFormat->txtNormalise->text(), percentage);
        QCOMPARE(wizard->fraRipCD->chkCDAutoTop->isChecked(), autoTop);
        QCOMPARE(wizard->fraRipCD->cmdCDQueryCDDB->isHidden(), !lookupOffered);
        QCOMPARE(wizard->fraRipCD->comboCDLookupService->isHidden(), !lookupOffered);

        QCOMPARE(wizard->fraImportFiles->comboFilesTitleProcessing->currentText(),
                 QStringLiteral("Use embedded information"));
        QVERIFY(wizard->fraHDRefs->optAssignHDRefs->isChecked());
        QCOMPARE(wizard->fraHDRefs->txtInitialHDRef->text(), gPlayoutAudio->FirstFreeCart(QString()));
        QVERIFY(!wizard->fraHDRefs->txtInitialHDRef->text().isEmpty());
        QVERIFY(wizard->fraAudioFormat->optAudioFormatDefault->isChecked());
        AudioFormat house;
        gAudioSettings->GetDefaultFormat(house);
        QCOMPARE(wizard->fraAudioFormat->lblAudioFormatConvert->text(), house.Description());
        QCOMPARE(*wizard->ConvertFormat, house);
        QCOMPARE(wizard->fraRipCD->comboCDTitleOrder->currentText(), QStringLiteral("Normal"));
    }

    void listsGetTheirColumns()
    {
        QVERIFY(m_fixture.openStore());
        auto wizard = m_fixture.openWizard();
        // Title and Artist share the room the fixed columns leave; Desc is hidden.
        wizard->next();
        wizard->next();
        QCOMPARE(wizard->page(), 2);
        QApplication::processEvents();
        ImportItemView* view = wizard->fraImportFiles->lvwFiles;
        QVERIFY(view->isColumnHidden(4));
        QCOMPARE(view->header()->sectionResizeMode(2), QHeaderView::Stretch);
        QCOMPARE(view->header()->sectionResizeMode(3), QHeaderView::Stretch);
        QVERIFY(qAbs(view->columnWidth(2) - view->columnWidth(3)) <= 1);
        const int before = view->columnWidth(2);
        wizard->resize(wizard->width() + 200, wizard->height());
        QApplication::processEvents();
        QVERIFY(view->columnWidth(2) > before);
    }

    void withoutACartvaultTheListsHaveNoColumns()
    {
        QVERIFY(m_fixture.openStore());
        gPlayoutAudio.reset();
        m_fixture.messenger.shown.clear();
        auto wizard = m_fixture.openWizard();
        QVERIFY(wizard);
        QCOMPARE(m_fixture.messenger.texts(),
                 QStringList(QStringLiteral("The Cartvault Information has not been correctly initialised - Please "
                                            "contact Tarnwick for more information about any updates that are "
                                            "available for this software")));
        QCOMPARE(m_fixture.messenger.shown.first().icon, MessageIcon::Critical);
        QCOMPARE(wizard->fileList().columnCount(), 0);
        QCOMPARE(wizard->fraImportFiles->comboFilesTitleProcessing->count(), 0);
    }

    void callerChoicesAreApplied_data()
    {
        QTest::addColumn<int>("startMode");
        QTest::addColumn<QString>("fileList");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("ripping");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<int>("interpretations");
        QTest::newRow("normal") << 0 << "/in/a.wav" << 0 << false << QStringList() << 0;
        QTest::newRow("unknown mode") << 7 << QString() << 0 << false << QStringList() << 0;
        QTest::newRow("cd") << 1 << QString() << 3 << true << QStringList() << 0;
        QTest::newRow("files, none") << 2 << QString() << 2 << false << QStringList() << 0;
        QTest::newRow("files, doubled separator") << 2 << "/in/a.wav||/in/b.mp3" << 2 << false
                                                  << QStringList({"/in/a.wav", "", "/in/b.mp3"}) << 1;
    }

    void callerChoicesAreApplied()
    {
        QFETCH(int, startMode);
        QFETCH(QString, fileList);
        QFETCH(int, page);
        QFETCH(bool, ripping);
        QFETCH(QStringList, added);
        QFETCH(int, interpretations);
        QVERIFY(m_fixture.openStore());
        NullTarget target;
        TestWizard wizard;
        QVERIFY(wizard.PrepareWizard(qint16(startMode), QStringLiteral("4711"), fileList, &target));
        QCOMPARE(wizard.page(), page);
        QCOMPARE(wizard.fraChoose->optRipCD->isChecked(), ripping);
        QCOMPARE(wizard.fraChoose->optImportFiles->isChecked(), !ripping);
        QCOMPARE(wizard.addedFiles, added);
        QCOMPARE(wizard.titleInterpretations, interpretations);
        QCOMPARE(wizard.fraHDRefs->txtInitialHDRef->text(), QStringLiteral("4711"));
        QCOMPARE(wizard.ImportTarget, &target);
    }

    void cdPageWithoutADriveStaysDisabled()
    {
        QVERIFY(m_fixture.openStore());
        TestWizard wizard;
        QVERIFY(wizard.PrepareWizard(1, QString(), QString(), nullptr));
        QVERIFY(!wizard.tmrCD->isActive());
        QVERIFY(!wizard.fraRipCD->lvwCDTracks->isEnabled());
        QVERIFY(!wizard.fraRipCD->cmdCDSelectAll->isEnabled());

        // With a drive the timer watches it while the page is shown, and only then.
        wizard.driveCount = 1;
        wizard.MoveToPage(frmImportAudio::PageRipCD, 0);
        QVERIFY(wizard.tmrCD->isActive());
        wizard.MoveToPage(frmImportAudio::PageHDRefs, 0);
        QVERIFY(!wizard.tmrCD->isActive());
    }

    void pagesFollowTheSource_data()
    {
        QTest::addColumn<bool>("cd");
        QTest::addColumn<QString>("moves");
        QTest::addColumn<QList<int>>("pages");
        QTest::addColumn<int>("summaries");
        // N = Next, B = Back; the page shown after each move.
        // The summary is built on each arrival at its page.
        QTest::newRow("files") << false << "NBNNNBBNNNNBBBBB"
                               << QList<int>{1, 0, 1, 2, 4, 2, 1, 2, 4, 5, 6, 5, 4, 2, 1, 0} << 1;
        QTest::newRow("cd") << true << "NNNBBNNNNBNBBB" << QList<int>{1, 3, 4, 3, 1, 3, 4, 5, 6, 5, 6, 5, 4, 3} << 2;
    }

    void pagesFollowTheSource()
    {
        QFETCH(bool, cd);
        QFETCH(QString, moves);
        QFETCH(QList<int>, pages);
        QFETCH(int, summaries);
        QVERIFY(m_fixture.openStore());
        auto wizard = m_fixture.openWizard();
        (cd ? wizard->fraChoose->optRipCD : wizard->fraChoose->optImportFiles)->setChecked(true);
        wizard->fileList().add(fileRow(QStringLiteral("a.wav")));
        wizard->cdTrackList().add(trackRow(1, true));

        QList<int> shown;
        for (const QChar move : moves) {
            move == QLatin1Char('N') ? wizard->next() : wizard->back();
            shown << wizard->page();
        }
        QCOMPARE(shown, pages);
        QVERIFY(m_fixture.messenger.shown.isEmpty());
        QCOMPARE(wizard->summaries, summaries);
        QCOMPARE(wizard->fraSummary->lblStoreName->text(), "Importing into: " + gProfileName);
    }

    void closingByAnyRouteReleasesTheWindowState_data()
    {
        QTest::addColumn<QString>("route");
        QTest::newRow("cancel button") << "cancel";
        QTest::newRow("close box") << "close";
        QTest::newRow("escape") << "escape";
    }

    void closingByAnyRouteReleasesTheWindowState()
    {
        QFETCH(QString, route);
        QVERIFY(m_fixture.openStore());
        NullTarget target;
        auto wizard = std::make_unique<TestWizard>();
        QVERIFY(wizard->PrepareWizard(0, QString(), QString(), &target));
        wizard->show();
        wizard->TracksLoaded = true;
        wizard->Searching = true;
        if (route == QLatin1String("cancel"))
            wizard->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        else if (route == QLatin1String("close"))
            wizard->close();
        else
            QTest::keyClick(wizard.get(), Qt::Key_Escape);
        QVERIFY(wizard->Closing);
        QVERIFY(!wizard->isVisible());
        QVERIFY(!wizard->ImportTarget);
        QVERIFY(!wizard->ConvertFormat);
        QVERIFY(!wizard->TracksLoaded);
        if (route != QLatin1String("close"))
            QVERIFY(!wizard->Searching);
    }

    // Bug: Escape, hit by mistake, throwing away a list of gathered files
    // without asking; or asking when there is nothing to lose.
    void escapeAsksBeforeDiscardingFiles()
    {
        QVERIFY(m_fixture.openStore());
        QTemporaryDir folder;
        const auto wizard = m_fixture.openWizardOnFiles(writeWavFiles(folder, {"a.wav", "b.wav"}));
        QVERIFY(wizard);
        m_fixture.messenger.answers = {MessageAnswer::No};
        QTest::keyClick(wizard.get(), Qt::Key_Escape);
        QVERIFY(wizard->isVisible());
        QCOMPARE(m_fixture.messenger.texts(), QStringList{"Close the wizard and discard the 2 file(s) in the list?"});
        m_fixture.messenger.answers = {MessageAnswer::Yes};
        QTest::keyClick(wizard.get(), Qt::Key_Escape);
        QVERIFY(!wizard->isVisible());

        const auto empty = m_fixture.openWizard();
        QVERIFY(empty);
        QTest::keyClick(empty.get(), Qt::Key_Escape);
        QVERIFY(!empty->isVisible());
        QCOMPARE(m_fixture.messenger.texts().size(), 2);
    }

    // Bug: a window that cannot be made small enough for a 1280x720 screen
    // at twice the scale (640x360 in the window's own units), one that opens
    // larger than the screen, or one without its icon in the task bar.
    void windowFitsASmallScreenAndHasItsIcon()
    {
        QVERIFY(m_fixture.openStore());
        const auto wizard = m_fixture.openWizard();
        QVERIFY(wizard);
        const QSize least = wizard->minimumSizeHint();
        QVERIFY2(least.width() <= 640 && least.height() <= 360,
                 qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
        const QSize screen = wizard->screen()->availableGeometry().size();
        QVERIFY(wizard->width() <= screen.width() && wizard->height() <= screen.height());
        QVERIFY(!wizard->windowIcon().isNull());
        QVERIFY(!wizard->windowIcon().pixmap(32).isNull());
    }

    // Bug: a choice on the cart or format page, or the CD page's select
    // buttons, out of reach from the keyboard; or two controls of one page
    // (the frame's buttons included) on the same access key.
    void everyPageHasItsOwnAccessKeys()
    {
        QVERIFY(m_fixture.openStore());
        const auto wizard = m_fixture.openWizard();
        QVERIFY(wizard);
        auto key = [](const QString& text) {
            const int at = text.indexOf(QRegularExpression("&[^&]"));
            return at < 0 ? QChar() : text.at(at + 1).toLower();
        };
        const QList<QWidget*> pages{wizard->fraChoose,      wizard->fraImportFiles, wizard->fraRipCD,
                                    wizard->fraHDRefs,      wizard->fraAudioFormat, wizard->fraSummary,
                                    wizard->fraResults};
        for (QWidget* page : pages) {
            QStringList texts{"< &Back", "&Next >"};
            for (auto* button : page->findChildren<QAbstractButton*>())
                texts << button->text();
            for (auto* label : page->findChildren<QLabel*>())
                if (label->buddy())
                    texts << label->text();
            QSet<QChar> seen;
            for (const QString& text : texts) {
                const QChar letter = key(text);
                QVERIFY2(letter.isNull() || !seen.contains(letter), qPrintable(page->objectName() + ": " + text));
                seen << letter;
            }
        }
        for (QWidget* page : {static_cast<QWidget*>(wizard->fraHDRefs), static_cast<QWidget*>(wizard->fraAudioFormat)})
            for (auto* button : page->findChildren<QAbstractButton*>())
                QVERIFY2(!key(button->text()).isNull(), qPrintable(button->text()));
        QVERIFY(!key(wizard->fraRipCD->cmdCDSelectAll->text()).isNull());
        QVERIFY(!key(wizard->fraRipCD->cmdCDDeselectAll->text()).isNull());
        QVERIFY(!key(wizard->fraImportFiles->lblItemTitling->text()).isNull());
    }

    // The search button fills its page's tree from the store and gives the
    // wizard's buttons back; with nothing ticked it only says so.
    void searchShowsMatchesInItsPagesTree()
    {
        QVERIFY(m_fixture.openStore());
        TestWav tone;
        tone.seconds = 0.05;
        const QString file = TestEnvironment::instance()->root() + "/match.wav";
        QVERIFY(tone.write(file));
        QString message;
        QVERIFY(gPlayoutAudio->ImportAudioFile("7", file, false, 0, message));
        CartRecord cart = *gPlayoutAudio->GetCart("7");
        cart.Title = "Blue Moon";
        QVERIFY(gPlayoutAudio->SaveCart("7", cart));

        auto wizard = m_fixture.openWizard();
        wizard->MoveToPage(frmImportAudio::PageImportFiles, 1);
        ImportItem row = fileRow("blue.wav", false);
        row.setField("TITLE", "Blue Moon (Live)");
        wizard->fileList().add(row);
        wizard->fraImportFiles->cmdSearchForMatches->click();
        QCOMPARE(m_fixture.messenger.shown.size(), 1); // nothing ticked yet
        wizard->fileList().setChecked(0, true);
        wizard->fraImportFiles->cmdSearchForMatches->click();
        QTreeWidget* tree = wizard->fraImportFiles->treeMatches;
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->text(0), QString("Blue Moon (Live)"));
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QString("7 : Blue Moon"));
        QVERIFY(!wizard->Searching);
        QVERIFY(!wizard->fraImportFiles->progScanForMatch->isVisible());
        QVERIFY(wizard->ctlWizard->findChild<QPushButton*>("cmdNext")->isEnabled());

        // Bug: a page that grew (the tree opened) made every page scroll at
        // a size where each fits.
        wizard->resize(780, 580);
        QApplication::processEvents();
        auto* pages = wizard->findChild<QScrollArea*>("scrWizardPages");
        QVERIFY(!pages->verticalScrollBar()->isVisible());
        wizard->MoveToPage(frmImportAudio::PageAudioFormat, 1);
        QApplication::processEvents();
        QVERIFY(!pages->verticalScrollBar()->isVisible());
    }

    // A song imported through the wizard, then a re-encoded copy of it under
    // another name: the search lists the song's cart under the copy's row,
    // with how it matched, and a file the list holds twice under its second
    // copy. Bugs: the import keeping no fingerprint, the search looking at
    // titles only, unrelated audio listed, the list's own copies missed.
    void searchShowsTheSameAudioUnderAnotherTitle()
    {
        if (!fixtures::toolsPresent())
            QSKIP("the ffmpeg tools are not installed");
        QVERIFY(m_fixture.openStore());
        QTemporaryDir folder;
        const QString song = folder.filePath("Evening Tide - Harbour Lights.wav");
        const QString copy = folder.filePath("Track 07 - Unknown.mp3");
        const QString other = folder.filePath("Slow Ferry - Quay Sisters.wav");
        const QString otherAgain = folder.filePath("Slow Ferry (again).mp3");
        QVERIFY(fixtures::tune(song, 3, 30) && fixtures::tune(other, 8, 30));
        QVERIFY(fixtures::ffmpeg({"-i", song, "-b:a", "128k", copy}) && fixtures::ffmpeg({"-i", other, otherAgain}));
        {
            const auto first = m_fixture.openWizardOnFiles({song});
            QVERIFY(first);
            m_fixture.messenger.answers << MessageAnswer::Yes;
            QVERIFY(WizardFixture::pressNextUntil(*first, frmImportAudio::PageFinish));
        }
        const auto wizard = m_fixture.openWizardOnFiles({copy, other, otherAgain});
        QVERIFY(wizard);
        wizard->fraImportFiles->cmdSearchForMatches->click();
        QTreeWidget* tree = wizard->fraImportFiles->treeMatches;
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), QString("Track 07 - Unknown"));
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
        const QString child = tree->topLevelItem(0)->child(0)->text(0);
        QVERIFY2(QRegularExpression(R"(^\d+ : Evening Tide - Harbour Lights \(same audio (0\.9\d\d|1\.000)\)$)").match(child).hasMatch(),
                 qPrintable(child));
        QCOMPARE(tree->topLevelItem(1)->text(0), QString("Slow Ferry (again)"));
        QVERIFY2(tree->topLevelItem(1)->child(0)->text(0).startsWith("also in this list: Slow Ferry - Quay Sisters.wav (same audio"),
                 qPrintable(tree->topLevelItem(1)->child(0)->text(0)));
        QVERIFY(!wizard->Searching);
    }

    // Coming back to a page puts the focus on the chosen option, so that a
    // Space cannot change the choice unseen.
    void returningFocusesTheChosenOption()
    {
        QVERIFY(m_fixture.openStore());
        auto wizard = m_fixture.openWizard();
        wizard->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(wizard.get()));
        wizard->fraChoose->optRipCD->setChecked(true);
        wizard->fraAudioFormat->optAudioFormatConvert->setChecked(true);
        wizard->MoveToPage(frmImportAudio::PageChoose, -1);
        QCOMPARE(QApplication::focusWidget(), wizard->fraChoose->optRipCD);
        wizard->MoveToPage(frmImportAudio::PageAudioFormat, -1);
        QCOMPARE(QApplication::focusWidget(), wizard->fraAudioFormat->optAudioFormatConvert);
    }

    // Shown on the files page: its own fields in order, then the frame's buttons.
    void keyboardGoesThroughThePageFirst()
    {
        const QString order = QStringLiteral(
            "lvwFiles cmdFilesAddFiles cmdFilesAddFolder cmdFileRemove cmdSearchForMatches comboFilesTitleProcessing "
            "chkFilesDeleteOriginal cmdBack cmdNext cmdCancel lvwFiles");
        QVERIFY(m_fixture.openStore());
        auto wizard = m_fixture.openWizard();
        wizard->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(wizard.get()));
        wizard->MoveToPage(frmImportAudio::PageImportFiles, 0);
        QStringList visited;
        for (qsizetype i = 0; i < order.count(QLatin1Char(' ')) + 1; ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            visited << focus->objectName();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(visited.join(QLatin1Char(' ')), order);
    }

    void accessKeysActOnTheShownPageOnly()
    {
        QVERIFY(m_fixture.openStore());
        auto wizard = m_fixture.openWizard();
        wizard->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(wizard.get()));
        // A button pressed by its access key shows itself pressed for a
        // moment before it acts; the checks wait for the outcome.
        auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier); };
        wizard->next();
        press(Qt::Key_R);
        QTRY_VERIFY(wizard->fraChoose->optRipCD->isChecked());
        press(Qt::Key_I);
        QTRY_VERIFY(wizard->fraChoose->optImportFiles->isChecked());
        press(Qt::Key_N);
        QTRY_COMPARE(wizard->page(), 2);
        // Page 1 has an option on Alt+D as well; only the page shown answers.
        press(Qt::Key_D);
        QTRY_VERIFY(wizard->fraImportFiles->chkFilesDeleteOriginal->isChecked());
        QVERIFY(!wizard->fraChoose->optDownloadAudio->isChecked());
        press(Qt::Key_B);
        QTRY_COMPARE(wizard->page(), 1);
    }

    // Bug: Add Files leaving the buttons as the emptied list left them, so
    // the files just added cannot be searched for.
    void addingFilesUpdatesTheButtons()
    {
        QVERIFY(m_fixture.openStore());
        QTemporaryDir folder;
        const QStringList paths = writeWavFiles(folder, {"first.wav", "second.wav"});
        const auto wizard = m_fixture.openWizardOnFiles({paths.at(0)});
        QVERIFY(wizard);
        ImportFilesPage* page = wizard->fraImportFiles;
        ImportItemView* files = page->lvwFiles;
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualRect(files->model()->index(0, 1)).center());
        QTest::mouseClick(page->cmdFileRemove, Qt::LeftButton);
        QVERIFY(wizard->fileList().isEmpty());
        QVERIFY(!page->cmdSearchForMatches->isEnabled());

        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->selectFile(paths.at(1));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QTest::mouseClick(page->cmdFilesAddFiles, Qt::LeftButton);
        QCOMPARE(wizard->fileList().count(), 1);
        QVERIFY(page->cmdSearchForMatches->isEnabled());
    }

    // Bug: a click on a summary header sorting nothing, or a second click
    // on it not turning the order round.
    void summarySortsByTheClickedHeader()
    {
        QVERIFY(m_fixture.openStore());
        QTemporaryDir folder;
        const auto wizard = m_fixture.openWizardOnFiles(writeWavFiles(folder, {"b.wav", "c.wav", "a.wav"}));
        QVERIFY(wizard);
        QVERIFY(WizardFixture::pressNextUntil(*wizard, frmImportAudio::PageSummary));
        QHeaderView* header = wizard->fraSummary->lvwSummary->header();
        auto click = [header](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
        };
        auto column = [&wizard](int field) {
            QStringList texts;
            for (const ImportItem& row : wizard->summaryList().items())
                texts << row.subItem(field);
            return texts;
        };
        QStringList titles = column(2);
        QStringList sources = column(0);
        std::sort(titles.begin(), titles.end());
        std::sort(sources.begin(), sources.end(), std::greater<QString>());
        QVERIFY(column(2) != titles);

        click(2); // Title
        QCOMPARE(column(2), titles);
        click(2);
        std::reverse(titles.begin(), titles.end());
        QCOMPARE(column(2), titles);
        click(1); // "Dest." sorts by the source, in the order last used
        QCOMPARE(column(0), sources);
    }

    void displayWizardReturnsOnceClosed()
    {
        QVERIFY(m_fixture.openStore());
        TestWizard wizard;
        QTimer::singleShot(0, &wizard, [&] {
            QVERIFY(wizard.isVisible());
            QVERIFY(wizard.isModal());
            wizard.ctlWizard->cancel();
        });
        wizard.DisplayWizard(nullptr, 0, QString(), QString(), nullptr);
        QVERIFY(wizard.Closing);
        QVERIFY(!wizard.isVisible());
    }

    // A message over a busy window shows the normal pointer, and the busy
    // pointer returns once it is answered.
    void messagesShowTheNormalPointerWhileUp()
    {
        QtMessenger messenger;
        Messenger::install(&messenger);
        BusyPointer busy;
        Qt::CursorShape whileUp = Qt::BlankCursor;
        QTimer::singleShot(0, [&] {
            whileUp = QGuiApplication::overrideCursor()->shape();
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->accept();
        });
        ReportProblem("reading the test", "a reason", false);
        Messenger::install(&m_fixture.messenger);
        QCOMPARE(whileUp, Qt::ArrowCursor);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
};

ORVANE_WIDGET_TEST_MAIN(TestFrmImportAudio)
#include "tst_frmImportAudio.moc"
