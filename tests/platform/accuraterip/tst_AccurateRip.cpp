#include "platform/accuraterip/AccurateRipChecksum.h"
#include "platform/accuraterip/AccurateRipRecord.h"
#include "tests/platform/accuraterip/AccurateRipFormula.h"

#include <QRandomGenerator>
#include <QTest>

// The checksum core against the published formula, and records nobody
// shaped to be read.
class AccurateRipTest : public QObject
{
    Q_OBJECT

    static QByteArray randomPcm(int samples, quint32 seed)
    {
        QByteArray pcm(qsizetype(samples) * 4, Qt::Uninitialized);
        QRandomGenerator random(seed);
        random.fillRange(reinterpret_cast<quint32*>(pcm.data()), samples);
        return pcm;
    }

private slots:
    // Catches a wrong weight (0- instead of 1-based), edges skipped by one
    // sample too many or too few, the high half of the product dropped from
    // v2, and a sum that loses its place between the pieces it is fed in.
    void crcsMatchThePublishedFormula_data()
    {
        QTest::addColumn<bool>("first");
        QTest::addColumn<bool>("last");
        QTest::addColumn<int>("samples");
        QTest::newRow("middle track") << false << false << 588 * 40;
        QTest::newRow("first track") << true << false << 588 * 40;
        QTest::newRow("last track") << false << true << 588 * 40 + 3;
        QTest::newRow("the only track") << true << true << 588 * 75;
        QTest::newRow("shorter than its skipped edges") << true << true << 588 * 7;
    }

    void crcsMatchThePublishedFormula()
    {
        QFETCH(bool, first);
        QFETCH(bool, last);
        QFETCH(int, samples);
        const QByteArray pcm = randomPcm(samples, quint32(samples) ^ (first << 1) ^ last);
        AccurateRipChecksum checksum(first, last);
        checksum.begin(samples);
        QRandomGenerator pieces(7);
        for (int at = 0; at < samples;) {
            const int count = qMin(samples - at, int(pieces.bounded(1, 2000)));
            checksum.add(pcm.constData() + qsizetype(at) * 4, count);
            at += count;
        }
        QVERIFY(checksum.complete());
        const AccurateRipFormula::Crcs expected = AccurateRipFormula::trackCrcs(pcm, first, last);
        QCOMPARE(checksum.sums().v1, expected.v1);
        QCOMPARE(checksum.sums().v2, expected.v2);
    }

    // Sizes in a record come from a server: one that runs past the end, a
    // pressing of another disc or plain noise is refused with a reason,
    // never read beyond its bytes; two whole pressings are read.
    void onlyWholeRecordsAreRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("pressings");
        const AccurateRipFormula::Disc disc = AccurateRipFormula::disc({4000, 5000});
        const QByteArray good = AccurateRipFormula::pressing(disc, {{3, 0x12345678}, {3, 0x9abcdef0}});
        QTest::newRow("two pressings") << good + good << 2;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("cut in the header") << good.left(7) << 0;
        QTest::newRow("cut in the tracks") << good.left(good.size() - 1) << 0;
        QTest::newRow("second pressing cut") << good + good.left(20) << 0;
        QTest::newRow("track count too large") << QByteArray(1, char(99)) + good.mid(1) << 0;
        QTest::newRow("another disc") << AccurateRipFormula::pressing(AccurateRipFormula::disc({4000, 5001}), {{1, 0}, {1, 0}}) << 0;
        QTest::newRow("noise") << randomPcm(300, 11) << 0;
    }

    void onlyWholeRecordsAreRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, pressings);
        const AccurateRipDisc disc = AccurateRipDisc::fromToc({150, 4150}, {true, true}, 9150);
        const AccurateRipRecord record = AccurateRipRecord::parse(bytes, disc);
        QCOMPARE(record.pressings().size(), pressings);
        QCOMPARE(record.isValid(), pressings > 0);
        QVERIFY2(pressings > 0 || record.error().contains("damaged"), qPrintable(record.error()));
    }
};

QTEST_GUILESS_MAIN(AccurateRipTest)
#include "tst_AccurateRip.moc"
