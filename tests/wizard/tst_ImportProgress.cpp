#include "tests/support/TestEnvironment.h"
#include "wizard/ImportProgress.h"

#include <QtTest>

// How an item's copy job fills its share of the overall bar.
class TestImportProgress : public QObject
{
    Q_OBJECT

private slots:
    void overallBar_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("scanning");
        QTest::addColumn<int>("adding");
        // Item 1 of 1: reading owns 0-40, scanning 40-60, adding 60-100.
        QTest::newRow("single item, start") << 100 << 1 << 1 << 0 << 40 << 60;
        QTest::newRow("single item, end") << 100 << 1 << 1 << 100 << 60 << 100;
        QTest::newRow("third of four, half way: 62.5 goes to the even 62") << 100 << 3 << 4 << 50 << 62 << 70;
        QTest::newRow("rounded to whole") << 100 << 1 << 3 << 50 << 17 << 27;
        QTest::newRow("smaller bar") << 50 << 2 << 2 << 100 << 40 << 50;
        QTest::newRow("kept within 0..100") << 1000 << 1 << 1 << 100 << 100 << 100;
        QTest::newRow("no items yet") << 100 << 0 << 0 << 50 << 0 << 0;
    }

    void overallBar()
    {
        QFETCH(int, maximum);
        QFETCH(int, item);
        QFETCH(int, count);
        QFETCH(int, percent);
        QFETCH(int, scanning);
        QFETCH(int, adding);
        QCOMPARE(ImportProgress::overallWhileScanning(maximum, item, count, percent), scanning);
        QCOMPARE(ImportProgress::overallWhileAdding(maximum, item, count, percent), adding);
    }
};

ORVANE_TEST_MAIN(TestImportProgress)
#include "tst_ImportProgress.moc"
