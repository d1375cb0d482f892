#include <QTimer>
#include "frame/library/GeneralTools.h"
#include "splash/SplashIconRow.h"
#include "splash/SplashImageList.h"
#include "splash/frmSplash.h"
#include "tests/support/TestEnvironment.h"

#include <QLabel>
#include <QRegularExpression>
#include <QSysInfo>
#include <QtTest>

namespace {
QImage shownImage(const QLabel* label) { return label->pixmap().toImage(); }

QImage pictureImage(const QString& key, const QWidget* widget)
{
    return SplashImageList::picture(key, widget->devicePixelRatioF()).toImage();
}
} // namespace

class TestFrmSplash : public QObject
{
    Q_OBJECT

private slots:
    void labelsAreFilledOnLoad()
    {
        frmSplash splash;
        const auto text = [&](const char* name) { return splash.findChild<QLabel*>(name)->text(); };
        QVERIFY(QRegularExpression(QStringLiteral("^Version \\d+\\.\\d+\\.\\d+$")).match(text("lblVersion")).hasMatch());
        QVERIFY(text("lblCompany").endsWith(QLatin1Char(' ')));
        QVERIFY(!text("lblCompany").trimmed().isEmpty());
        QVERIFY(!text("lblCopyright").isEmpty());
        QCOMPARE(text("lblPlatform"), QSysInfo::prettyProductName());
    }

    void slotsShareTheRowWidth_data()
    {
        QTest::addColumn<int>("windowWidth");
        QTest::addColumn<int>("count");
        QTest::newRow("one icon") << 520 << 1;
        QTest::newRow("two icons") << 520 << 2;
        QTest::newRow("three icons, start-up's usual row") << 520 << 3;
        QTest::newRow("five icons, width not divisible") << 611 << 5;
        QTest::newRow("ten icons in a narrow window") << 400 << 10;
    }

    void slotsShareTheRowWidth()
    {
        QFETCH(int, windowWidth);
        QFETCH(int, count);
        frmSplash splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        splash.resize(windowWidth, splash.height());
        splash.setNumberIcons(count);

        const auto* row = splash.findChild<SplashIconRow*>();
        QCOMPARE(row->width(), windowWidth); // the row spans the window's inner width
        const int margin = SplashIconRow::twipsToPixels(120, row);
        const int slot = int(GeneralTools::RoundHalfEven(double(windowWidth - margin) / count));
        QCOMPARE(row->slotWidth(), slot);

        for (int i = 1; i <= count; ++i) {
            const QLabel* icon = splash.imgIcon(i);
            const QLabel* caption = splash.lblIconDescription(i);
            QVERIFY(icon && caption);
            QVERIFY(icon->isVisibleTo(&splash));
            QCOMPARE(caption->width(), slot);
            QCOMPARE(caption->x(), margin / 2 + (i - 1) * slot);
            QVERIFY2(qAbs(icon->geometry().center().x() - caption->geometry().center().x()) <= 1,
                     "icon is centred over its caption");
            QVERIFY(icon->geometry().bottom() < caption->geometry().top());
        }
        QCOMPARE(splash.NumberIcons(), count);
        QVERIFY(!splash.imgIcon(count + 1));
    }

    // Two icons set up, then one more SetIconInfo: inside the row it sets the
    // picture (when the key has one), the caption and the last index; outside
    // it changes nothing.
    void iconInfo_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("last");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("pictures");
        const QStringList before{"Local Settings", "Audio Systems"};
        const QStringList pictures{"local", "playout"};
        QTest::newRow("zero") << 0 << "securityon" << 1 << before << pictures;
        QTest::newRow("negative") << -1 << "securityon" << 1 << before << pictures;
        QTest::newRow("one past the row (third of two)") << 3 << "securityon" << 1 << before << pictures;
        QTest::newRow("step done") << 2 << "playouton" << 2 << QStringList{"Local Settings", "After"}
                                   << QStringList{"local", "playouton"};
        QTest::newRow("key in other case") << 2 << "PlayoutOn" << 2 << QStringList{"Local Settings", "After"}
                                           << QStringList{"local", "playouton"};
        QTest::newRow("key without a picture keeps the old one")
            << 2 << "nosuchpicture" << 2 << QStringList{"Local Settings", "After"} << pictures;
    }

    void iconInfo()
    {
        QFETCH(int, index);
        QFETCH(QString, key);
        QFETCH(int, last);
        QFETCH(QStringList, captions);
        QFETCH(QStringList, pictures);
        frmSplash splash;
        splash.setNumberIcons(2);
        splash.SetIconInfo(2, QStringLiteral("playout"), QStringLiteral("Audio Systems"));
        splash.SetIconInfo(1, QStringLiteral("local"), QStringLiteral("Local Settings"));

        splash.SetIconInfo(index, key, QStringLiteral("After"));

        QCOMPARE(splash.LastIconChangedIndex(), last);
        for (int i = 1; i <= 2; ++i) {
            QCOMPARE(splash.lblIconDescription(i)->text(), captions.at(i - 1));
            QCOMPARE(shownImage(splash.imgIcon(i)), pictureImage(pictures.at(i - 1), &splash));
        }
        QVERIFY(!splash.imgIcon(3));
    }

    // Shrinking hides the surplus icons and ignores them from then on; zero
    // clears the whole row.
    void shrinkingTheRow_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("to two") << 2;
        QTest::newRow("to zero") << 0;
    }

    void shrinkingTheRow()
    {
        QFETCH(int, count);
        frmSplash splash;
        splash.setNumberIcons(3);
        for (int i = 1; i <= 3; ++i)
            splash.SetIconInfo(i, QStringLiteral("security"), QStringLiteral("Step"));

        splash.setNumberIcons(count);
        QCOMPARE(splash.NumberIcons(), count == 0 ? 3 : count); // clearing keeps the count

        for (int i = 1; i <= 3; ++i) {
            QCOMPARE(splash.imgIcon(i)->isVisibleTo(&splash), i <= count);
            if (count == 0) {
                QVERIFY(splash.imgIcon(i)->pixmap().isNull());
                QVERIFY(splash.lblIconDescription(i)->text().isEmpty());
            }
        }
        if (count == 2) {
            QVERIFY(!splash.lblIconDescription(3)->isVisibleTo(&splash));
            splash.SetIconInfo(3, QStringLiteral("securityon"), QStringLiteral("User Security"));
            QCOMPARE(splash.lblIconDescription(3)->text(), QStringLiteral("Step"));
        }
    }

    // Start-up is busy on the window's thread: a new step must get drawn at once.
    void stepTextLetsPendingEventsRun()
    {
        frmSplash splash;
        bool ran = false;
        QTimer::singleShot(0, &splash, [&] { ran = true; });
        splash.setCurrentAction(QStringLiteral("Loading Profile 'Default'"));
        QVERIFY(ran);
    }

    void closingResetsTheRow()
    {
        frmSplash splash;
        splash.show();
        splash.setNumberIcons(2);
        splash.SetIconInfo(2, QStringLiteral("playouton"), QStringLiteral("Audio Systems"));
        QCOMPARE(splash.LastIconChangedIndex(), 2);

        splash.close();

        QCOMPARE(splash.LastIconChangedIndex(), 0);
        QVERIFY(splash.lblIconDescription(2)->text().isEmpty());
    }

    void stepTextIsShown()
    {
        frmSplash splash;
        splash.setCurrentAction(QStringLiteral("Creating Orvane Libraries"));
        QCOMPARE(splash.findChild<QLabel*>("lblCurrentAction")->text(), QStringLiteral("Creating Orvane Libraries"));
    }

    void floatingKeepsPlaceAndSize()
    {
        frmSplash splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        const QRect before = splash.geometry();

        splash.setFloating(true);
        QVERIFY(splash.Floating());
        QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(splash.isVisible());
        QCOMPARE(splash.geometry(), before);

        splash.setFloating(false);
        QVERIFY(!(splash.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(splash.isVisible());
        QCOMPARE(splash.geometry(), before);
    }

    void everyKeyHasItsOwnPicture()
    {
        const QStringList keys = SplashImageList::keys();
        QSet<QByteArray> seen;
        for (const QString& key : keys) {
            const QImage image = SplashImageList::picture(key).toImage();
            QVERIFY2(!image.isNull(), qPrintable(key));
            seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
        QCOMPARE(seen.size(), keys.size());
        QVERIFY(SplashImageList::picture(QStringLiteral("nosuchpicture")).isNull());
    }
};

ORVANE_WIDGET_TEST_MAIN(TestFrmSplash)
#include "tst_frmSplash.moc"
