#include "frame/library/RegistryTools.h"
#include "platform/wizardframe/WizardFrame.h"
#include "platform/wizardframe/WizardPage.h"
#include "tests/support/TestEnvironment.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {
const QString kKey = QStringLiteral("Software\\Tarnwick\\Orvane v3\\Audio\\ImportWizard");
const QString kSkipIntroPath = kKey + QStringLiteral("\\SkipIntro");

// A window like the one the wizard lives in: seven page containers of its
// own, attached to a frame, with one header per page.
struct WizardWindow {
    QWidget window;
    WizardFrame* frame = nullptr;
    QList<QWidget*> containers;
    QList<int> shown;      // page number at each PageShown
    QList<int> directions; // its direction
    int closed = 0;

    explicit WizardWindow(const QString& skipIntroKey = kSkipIntroPath)
    {
        window.setWindowTitle(QStringLiteral("Import Audio"));
        frame = new WizardFrame(&window);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(frame);
        frame->setSkipIntroKey(skipIntroKey);
        frame->ClearPages();
        for (int page = 1; page <= 7; ++page) {
            auto* container = new QLabel(QStringLiteral("Contents of page %1").arg(page), &window);
            container->setObjectName(QStringLiteral("fraPage%1").arg(page));
            containers << container;
            frame->AttachPage(container, page);
        }
        for (int page = 1; page <= 7; ++page)
            frame->AddPage(page, QStringLiteral("Title %1").arg(page), QStringLiteral("Description %1").arg(page));
        QObject::connect(frame, &WizardFrame::PageShown, [this](int direction) {
            shown << frame->CurrentPage()->PageNumber();
            directions << direction;
        });
        QObject::connect(frame, &WizardFrame::WizardClosed, [this] { ++closed; });
    }

    void start()
    {
        window.show();
        frame->StartWizard(1);
        shown.clear();
        directions.clear();
    }

    QPushButton* button(const char* name) const { return frame->findChild<QPushButton*>(name); }
    int page() const { return frame->CurrentPage() ? frame->CurrentPage()->PageNumber() : -1; }

    // 'N' Next, 'B' Back, 'C' Cancel, 'F' Finish: pressed as a person would.
    void press(const QString& keys)
    {
        for (QChar key : keys) {
            const char* name = key == u'N' ? "cmdNext" : key == u'B' ? "cmdBack" : key == u'C' ? "cmdCancel" : "cmdFinish";
            QTest::mouseClick(button(name), Qt::LeftButton);
        }
    }
};

int storedSkipIntro() { return RegistryTools::GetRegLong(RegistryTools::CurrentUser, kKey, QStringLiteral("SkipIntro"), -1); }
} // namespace

using IntList = QList<int>;

class TestWizardFrame : public QObject
{
    Q_OBJECT

private slots:
    void init() { RegistryTools::SetRegLong(RegistryTools::CurrentUser, kKey, QStringLiteral("SkipIntro"), 0); }

    void startsOnTheWelcomePage()
    {
        WizardWindow w;
        w.window.show();
        w.frame->StartWizard(1);
        QCOMPARE(w.page(), WizardFrame::WelcomePageNumber);
        QCOMPARE(w.shown, IntList{0});
        QCOMPARE(w.directions, IntList{WizardFrame::DirectionNext});
        QCOMPARE(w.frame->findChild<QLabel*>("lblWelcomeHeadline")->text(), QStringLiteral("Import Audio Wizard"));
    }

    // Where a run of button presses leads, the PageShown events on the way,
    // and which buttons the page it ends on allows.
    void pagesFollowInOrder_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<IntList>("shownPages");
        QTest::addColumn<IntList>("directions");
        QTest::addColumn<int>("finalPage");
        QTest::addColumn<bool>("back");
        QTest::addColumn<bool>("next");
        const IntList forward{1, 2, 3, 4, 5, 6, 7, 99};
        const IntList eightNexts{0, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("no Next beyond the finish page") << "NNNNNNNNN" << forward << eightNexts << 99 << true << false;
        QTest::newRow("back from the first page to the welcome page")
            << "NB" << IntList{1, 0} << IntList{0, 1} << 0 << false << true;
        QTest::newRow("no Back from the welcome page") << "B" << IntList{} << IntList{} << 0 << false << true;
        QTest::newRow("back from the finish page to the last page")
            << "NNNNNNNNB" << forward + IntList{7} << eightNexts + IntList{1} << 7 << true << true;
    }

    void pagesFollowInOrder()
    {
        QFETCH(QString, keys);
        QFETCH(IntList, shownPages);
        QFETCH(IntList, directions);
        QFETCH(int, finalPage);
        QFETCH(bool, back);
        QFETCH(bool, next);
        WizardWindow w;
        w.start();
        w.press(keys);
        QCOMPARE(w.shown, shownPages);
        QCOMPARE(w.directions, directions);
        QCOMPARE(w.page(), finalPage);
        if (finalPage >= 1 && finalPage <= 7) {
            QVERIFY(w.containers[finalPage - 1]->isVisible());
            const auto* title = w.frame->CurrentPage()->host()->findChild<QLabel*>("lblPageTitle");
            QVERIFY(title->isVisible());
            QCOMPARE(title->text(), QStringLiteral("Title %1").arg(finalPage));
        }
        QCOMPARE(w.button("cmdBack")->isEnabled(), back);
        QCOMPARE(w.button("cmdNext")->isEnabled(), next);
        QCOMPARE(w.button("cmdNext")->isVisible(), finalPage != 99);
        QCOMPARE(w.button("cmdFinish")->isVisible(), finalPage == 99);
        QVERIFY(w.button("cmdCancel")->isEnabled());
    }

    // The run on page 7 locks the buttons; after success the window shows
    // the finish page itself, and only Finish may be used there.
    void lockedButtonsStayLockedOnTheWindowsOwnMove()
    {
        WizardWindow w;
        w.start();
        w.press(QStringLiteral("NNNNNNN"));
        QCOMPARE(w.page(), 7);
        w.frame->setNextEnabled(false);
        w.frame->setBackEnabled(false);
        w.frame->setCancelEnabled(false);
        w.frame->setCurrentPage(w.frame->FinishPage());

        QCOMPARE(w.page(), 99);
        QVERIFY(!w.button("cmdBack")->isEnabled());
        QVERIFY(!w.button("cmdCancel")->isEnabled());
        QVERIFY(!w.button("cmdNext")->isVisible());
        w.press(QStringLiteral("BC"));
        QCOMPARE(w.page(), 99);
        QCOMPARE(w.closed, 0);
        w.press(QStringLiteral("F"));
        QCOMPARE(w.closed, 1);
    }

    // A failed run leaves Back and Cancel; going back allows Next again.
    void movingBackAllowsEveryButtonAgain()
    {
        WizardWindow w;
        w.start();
        w.press(QStringLiteral("NNNNNNN"));
        w.frame->setNextEnabled(false);
        w.frame->setBackEnabled(true);
        w.frame->setCancelEnabled(true);
        QVERIFY(!w.button("cmdNext")->isEnabled());
        w.press(QStringLiteral("N"));
        QCOMPARE(w.page(), 7);

        w.press(QStringLiteral("B"));
        QCOMPARE(w.page(), 6);
        QVERIFY(w.button("cmdNext")->isEnabled());
        QVERIFY(w.frame->NextEnabled());
    }

    void leavingCanBeRefused_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("direction");
        QTest::newRow("next") << "N" << WizardFrame::DirectionNext;
        QTest::newRow("back") << "B" << WizardFrame::DirectionBack;
    }

    void leavingCanBeRefused()
    {
        QFETCH(QString, key);
        QFETCH(int, direction);
        WizardWindow w;
        w.start();
        w.press(QStringLiteral("NNN"));
        w.shown.clear();
        QList<QPair<int, int>> leaving; // page, direction
        QObject::connect(w.frame, &WizardFrame::PageLeaving, [&](int dir, bool& cancel) {
            leaving.append({w.page(), dir});
            cancel = true;
        });

        w.press(key);

        QCOMPARE(leaving.size(), 1);
        QCOMPARE(leaving.first(), qMakePair(3, direction));
        QCOMPARE(w.page(), 3);
        QVERIFY(w.shown.isEmpty());
    }

    // The window may answer a move by choosing the page itself (the CD path
    // skips the files page). Its own page step then runs once, never the
    // frame's PageShown as well, whether or not it also set cancel.
    void theWindowsOwnMoveRaisesNoPageShown_data()
    {
        QTest::addColumn<bool>("setsCancel");
        QTest::newRow("window sets cancel") << true;
        QTest::newRow("window forgets cancel") << false;
    }

    void theWindowsOwnMoveRaisesNoPageShown()
    {
        QFETCH(bool, setsCancel);
        WizardWindow w;
        w.start();
        w.press(QStringLiteral("N"));
        w.shown.clear();
        QObject::connect(w.frame, &WizardFrame::PageLeaving, [&](int direction, bool& cancel) {
            if (w.page() == 1 && direction == WizardFrame::DirectionNext) {
                w.frame->setCurrentPage(w.frame->GetPage(3));
                w.frame->RefreshPage();
                cancel = setsCancel;
            }
        });

        w.press(QStringLiteral("N"));

        QCOMPARE(w.page(), 3);
        QVERIFY(w.shown.isEmpty());
        QVERIFY(w.containers[2]->isVisible());
        QVERIFY(!w.containers[1]->isVisible());
        w.press(QStringLiteral("N"));
        QCOMPARE(w.shown, IntList{4});
    }

    void skipIntroChoiceIsKept()
    {
        {
            WizardWindow w;
            w.start();
            auto* skip = w.frame->findChild<QCheckBox*>("chkSkipIntro");
            QVERIFY(skip->isVisible());
            QVERIFY(!skip->isChecked());
            QTest::mouseClick(skip, Qt::LeftButton);
            QCOMPARE(storedSkipIntro(), 1);
        }
        {
            WizardWindow w;
            w.window.show();
            w.frame->StartWizard(1);
            QCOMPARE(w.page(), 1);
            QCOMPARE(w.shown, IntList{1});
            w.press(QStringLiteral("B")); // the welcome page stays reachable, to change one's mind
            auto* skip = w.frame->findChild<QCheckBox*>("chkSkipIntro");
            QVERIFY(skip->isChecked());
            QTest::mouseClick(skip, Qt::LeftButton);
            QCOMPARE(storedSkipIntro(), 0);
        }
        WizardWindow w;
        w.start();
        QCOMPARE(w.page(), 0);
    }

    void withoutAKeyTheWelcomePageIsAlwaysShown()
    {
        RegistryTools::SetRegLong(RegistryTools::CurrentUser, kKey, QStringLiteral("SkipIntro"), 1);
        WizardWindow w{QString()};
        w.start();
        QCOMPARE(w.page(), 0);
        QVERIFY(!w.frame->findChild<QCheckBox*>("chkSkipIntro")->isVisible());
    }

    void closing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("cancelAllowed");
        QTest::addColumn<int>("closed");
        QTest::newRow("cancel on a numbered page") << "NNC" << true << 1;
        QTest::newRow("cancel not allowed") << "NNC" << false << 0;
        QTest::newRow("finish on the finish page") << "NNNNNNNNF" << true << 1;
    }

    void closing()
    {
        QFETCH(QString, keys);
        QFETCH(bool, cancelAllowed);
        QFETCH(int, closed);
        WizardWindow w;
        w.start();
        w.frame->setCancelEnabled(cancelAllowed);
        QObject::connect(w.frame, &WizardFrame::PageShown, [&] { w.frame->setCancelEnabled(cancelAllowed); });
        w.press(keys);
        QCOMPARE(w.closed, closed);
    }

    void clearingPagesHandsTheContainersBack()
    {
        WizardWindow w;
        w.start();
        w.press(QStringLiteral("NN"));
        QVERIFY(w.frame->isAncestorOf(w.containers[0]));

        w.frame->ClearPages();

        for (QWidget* container : w.containers)
            QCOMPARE(container->parentWidget(), &w.window);
        QVERIFY(!w.frame->GetPage(1));
        QCOMPARE(w.page(), 0);
        w.press(QStringLiteral("N"));
        QCOMPARE(w.page(), 99);
    }

    void destroyingTheFrameHandsOutsideContainersBack()
    {
        QWidget owner;
        QPointer<QLabel> container = new QLabel(QStringLiteral("Kept"), &owner);
        auto frame = std::make_unique<WizardFrame>();
        frame->AttachPage(container, 1);
        QVERIFY(frame->isAncestorOf(container));

        frame.reset();

        QVERIFY(container);
        QCOMPARE(container->parentWidget(), &owner);
    }

    void finishPageShowsItsTexts()
    {
        WizardWindow w;
        w.start();
        w.frame->setFinishHeadline(QStringLiteral("Finished Importing"));
        w.frame->setFinishText(QStringLiteral("Line one\r\n\r\nLine two\r\n"));
        w.frame->setCurrentPage(w.frame->FinishPage());
        QCOMPARE(w.frame->findChild<QLabel*>("lblFinishHeadline")->text(), QStringLiteral("Finished Importing"));
        QCOMPARE(w.frame->findChild<QLabel*>("lblFinishText")->text(), QStringLiteral("Line one\n\nLine two\n"));
        for (const QWidget* header : w.frame->findChildren<QWidget*>("fraWizardHeader"))
            QVERIFY(!header->isVisible());
    }
};

ORVANE_WIDGET_TEST_MAIN(TestWizardFrame)
#include "tst_WizardFrame.moc"
