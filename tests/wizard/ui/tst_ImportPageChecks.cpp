#include "tests/support/TestEnvironment.h"
#include "tests/wizard/ui/WizardFixture.h"
#include "wizard/ui/AudioFormatPage.h"
#include "wizard/ui/CartAllocationPage.h"
#include "wizard/ui/ChooseSourcePage.h"
#include "wizard/ui/ImportFilesPage.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

namespace {
const QString kNoSource = QStringLiteral("You must select where to import the audio from");
const QString kLinkWav = QStringLiteral("You can only 'Link' carts to WAV Files, not other audio formats");
const QString kNoFile = QStringLiteral("You must select at least one file to be imported");
const QString kNoTrack = QStringLiteral("You must select at least one track to be 'ripped'");
const QString kNoCart = QStringLiteral("You must enter the first Cart Number to import into");
const QString kKeepWhenRipping = QStringLiteral("You cannot 'Import the audio in it's current format' when ripping from cd");
const QString kTransport = QStringLiteral("Audio imported from Transport Files cannot be converted and will be left in "
                                          "it's original format");
const QString kLinkConvert = QStringLiteral("You cannot convert the Audio if you are linking to the original file");
const QString kAreYouSure = QStringLiteral("Are you sure you want to import this audio");
} // namespace

// Leaving a page: which moves are refused, with which message, and where
// the accepted ones land. Plain moves between pages, with nothing to refuse,
// are walked in the window test; the run that Yes starts, in the importing
// page test.
class TestImportPageChecks : public QObject
{
    Q_OBJECT

    WizardFixture m_fixture;

    // `rows`: "+name" a ticked row, "-name" an unticked one; names that are
    // numbers are CD tracks. `options`: fields set on arrival at the page.
    void arrange(TestWizard& wizard, const QString& source, const QStringList& rows, const QStringList& options)
    {
        QRadioButton* sources[] = {wizard.fraChoose->optImportFiles, wizard.fraChoose->optRipCD,
                                   wizard.fraChoose->optCopyCartvault};
        sources[source == QLatin1String("cd") ? 1 : source == QLatin1String("copy") ? 2 : 0]->setChecked(true);
        for (const QString& row : rows) {
            const bool ticked = row.startsWith(QLatin1Char('+'));
            bool isTrack = false;
            const int track = row.mid(1).toInt(&isTrack);
            if (isTrack)
                wizard.cdTrackList().add(trackRow(track, ticked));
            else
                wizard.fileList().add(fileRow(row.mid(1), ticked));
        }
        wizard.fraImportFiles->chkFilesCreateLink->setChecked(options.contains(QLatin1String("link")));
    }

    static void applyPageOptions(TestWizard& wizard, const QStringList& options)
    {
        for (const QString& option : options) {
            if (option == QLatin1String("read"))
                wizard.fraHDRefs->optReadHDRefs->setChecked(true);
            else if (option.startsWith(QLatin1String("cart=")))
                wizard.fraHDRefs->txtInitialHDRef->setText(option.mid(5));
            else if (option == QLatin1String("leave"))
                wizard.fraAudioFormat->optAudioFormatLeave->setChecked(true);
            else if (option == QLatin1String("convert"))
                wizard.fraAudioFormat->optAudioFormatConvert->setChecked(true);
        }
    }

private slots:
    void init()
    {
        QVERIFY(m_fixture.openStore({{"AllowLinking", "true"}}));
        m_fixture.messenger.shown.clear();
        m_fixture.messenger.answers.clear();
    }

    void leavingAPage_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("move");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("landsOn");
        const QStringList none;

        QTest::newRow("1 next, no page for the source") << "copy" << 1 << "N" << none << none << QStringList{kNoSource} << 1;

        QTest::newRow("2 next, nothing ticked") << "files" << 2 << "N" << QStringList{"-a.wav"} << none << QStringList{kNoFile} << 2;
        QTest::newRow("2 next, linking a ticked mp3 after a wav")
            << "files" << 2 << "N" << QStringList{"+a.wav", "+b.mp3"} << QStringList{"link"} << QStringList{kLinkWav} << 2;
        QTest::newRow("2 next, linking with the mp3 unticked")
            << "files" << 2 << "N" << QStringList{"+a.wav", "-b.mp3"} << QStringList{"link"} << none << 4;
        QTest::newRow("2 next, linking a wav written in mixed case")
            << "files" << 2 << "N" << QStringList{"+A.Wav"} << QStringList{"link"} << none << 4;
        QTest::newRow("2 next, linking with nothing ticked")
            << "files" << 2 << "N" << QStringList{"-a.mp3"} << QStringList{"link"} << QStringList{kNoFile} << 2;

        QTest::newRow("3 next, ticked track") << "cd" << 3 << "N" << QStringList{"-1", "+2"} << none << none << 4;
        QTest::newRow("3 next, no track ticked") << "cd" << 3 << "N" << QStringList{"-1"} << none << QStringList{kNoTrack} << 3;

        QTest::newRow("4 next, blank start cart") << "files" << 4 << "N" << none << QStringList{"cart=   "} << QStringList{kNoCart} << 4;
        QTest::newRow("4 next, start cart given") << "files" << 4 << "N" << none << QStringList{"cart= 12 "} << none << 5;
        QTest::newRow("4 next, numbers from the names") << "files" << 4 << "N" << none << QStringList{"read", "cart="} << none << 5;
        QTest::newRow("4 back, other source") << "copy" << 4 << "B" << none << none << none << 3;

        QTest::newRow("5 next, keeping the format when ripping")
            << "cd" << 5 << "N" << QStringList{"+1"} << QStringList{"leave"} << QStringList{kKeepWhenRipping} << 5;
        QTest::newRow("5 next, ripping with linking left on")
            << "cd" << 5 << "N" << QStringList{"+1"} << QStringList{"link"} << QStringList{kKeepWhenRipping} << 5;
        QTest::newRow("5 next, an unticked transport file is noted")
            << "files" << 5 << "N" << QStringList{"+a.wav", "-b.zip", "+c.ZIP"} << QStringList{"convert"}
            << QStringList{kTransport} << 6;
        QTest::newRow("5 next, transport file kept as it is")
            << "files" << 5 << "N" << QStringList{"+b.zip"} << QStringList{"leave"} << none << 6;
        QTest::newRow("5 next, linking kept in its format")
            << "files" << 5 << "N" << QStringList{"+a.wav"} << QStringList{"link"} << none << 6;
        QTest::newRow("5 next, converting while linking")
            << "files" << 5 << "N" << QStringList{"+a.wav", "+b.zip"} << QStringList{"link", "convert"}
            << QStringList{kTransport, kLinkConvert} << 5;

        QTest::newRow("6 next, not sure") << "files" << 6 << "N" << QStringList{"+a.wav"} << none << QStringList{kAreYouSure} << 6;
    }

    void leavingAPage()
    {
        QFETCH(QString, source);
        QFETCH(int, page);
        QFETCH(QString, move);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, options);
        QFETCH(QStringList, messages);
        QFETCH(int, landsOn);

        auto wizard = m_fixture.openWizard();
        arrange(*wizard, source, rows, options);
        QVERIFY(wizard->MoveToPage(page, 0));
        applyPageOptions(*wizard, options);
        m_fixture.messenger.shown.clear();

        move == QLatin1String("N") ? wizard->next() : wizard->back();
        QCOMPARE(m_fixture.messenger.texts(), messages);
        QCOMPARE(wizard->page(), landsOn);
        for (const ScriptedMessenger::Shown& shown : m_fixture.messenger.shown) {
            const MessageIcon icon = shown.text == kTransport ? MessageIcon::Information
                : shown.text == kAreYouSure                   ? MessageIcon::Question
                                                              : MessageIcon::Exclamation;
            QCOMPARE(shown.icon, icon);
            QCOMPARE(shown.buttons, shown.text == kAreYouSure ? MessageButtons::YesNo : MessageButtons::Ok);
        }
    }

    void cdTimerIsStoppedOnlyWhileTheTrackMessageShows()
    {
        auto wizard = m_fixture.openWizard();
        wizard->driveCount = 1;
        arrange(*wizard, QStringLiteral("cd"), {}, {});
        wizard->MoveToPage(frmImportAudio::PageRipCD, 0);
        QVERIFY(wizard->tmrCD->isActive());
        bool activeDuringMessage = true;
        struct Watching : ScriptedMessenger {
            QTimer* timer;
            bool* active;
            MessageAnswer show(const QString& t, MessageIcon i, MessageButtons b) override
            {
                *active = timer->isActive();
                return ScriptedMessenger::show(t, i, b);
            }
        } watching;
        watching.timer = wizard->tmrCD;
        watching.active = &activeDuringMessage;
        Messenger::install(&watching);
        wizard->next();
        Messenger::install(&m_fixture.messenger);
        QCOMPARE(watching.texts(), QStringList{kNoTrack});
        QVERIFY(!activeDuringMessage);
        QVERIFY(wizard->tmrCD->isActive());
    }
};

ORVANE_WIDGET_TEST_MAIN(TestImportPageChecks)
#include "tst_ImportPageChecks.moc"
