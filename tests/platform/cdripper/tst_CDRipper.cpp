#include "platform/cdripper/CDRipper.h"
#include "tests/platform/cdripper/CueImage.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QScopeGuard>
#include <QtEndian>

// Every test rips from a disc image it builds: two tone tracks, a longer one
// that a stop can catch mid-read, and a data track last as on an enhanced CD.
class tst_CDRipper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tableOfContents();
    void lengthText_data();
    void lengthText();
    void ripIsBitExactAndEventsInOrder();
    void ripKeepsTheDiscsByteOrder_data();
    void ripKeepsTheDiscsByteOrder();
    void refusedTracks_data();
    void refusedTracks();
    void unwritableDestinationEndsWithFileAborted();
    void stopLeavesDestinationAsItWas();
    void ejectAndInsert();

private:
    bool openDisc(CDRipper& ripper);
    QString freshFolder(const QString& name);

    const QList<CueImage::Track> m_layout{{150, true}, {231, true}, {1500, true}, {75, false}};
    std::unique_ptr<CueImage> m_image;
};

void tst_CDRipper::initTestCase()
{
    m_image = std::make_unique<CueImage>(freshFolder(QStringLiteral("disc")), QStringLiteral("disc"), m_layout);
    QVERIFY(m_image->write());
    qputenv("ORVANE_CD_DEVICE", QFile::encodeName(m_image->cuePath()));
}

QString tst_CDRipper::freshFolder(const QString& name)
{
    const QString path = TestEnvironment::instance()->root() + QLatin1Char('/') + name;
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

bool tst_CDRipper::openDisc(CDRipper& ripper)
{
    return ripper.DriveCount() == 1 && ripper.OpenDrive(0) && ripper.ReadDisc();
}

// Catches lengths off by the lead-in or by one track, data tracks listed as
// audio, and offsets a CDDB disc id would be computed wrongly from.
void tst_CDRipper::tableOfContents()
{
    CDRipper ripper;
    QVERIFY(openDisc(ripper));
    QCOMPARE(ripper.TrackCount(), m_layout.size());
    qint32 offset = 150;
    QList<qint32> offsets;
    for (int n = 1; n <= m_layout.size(); ++n) {
        QCOMPARE(ripper.TrackLength(n), m_layout[n - 1].sectors);
        QCOMPARE(ripper.IsAudioTrack(n), m_layout[n - 1].audio);
        offsets << offset;
        offset += m_layout[n - 1].sectors;
    }
    QCOMPARE(ripper.discIdentity().trackOffsets, offsets);
    QCOMPARE(ripper.discIdentity().discSeconds, offset / 75);
    QCOMPARE(ripper.DriveStatus(), int(CDRipper::DiscLoaded));
}

void tst_CDRipper::lengthText_data()
{
    QTest::addColumn<qint32>("sectors");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << 0 << "0:00";
    QTest::newRow("a part second is not rounded up") << 74 << "0:00";
    QTest::newRow("seconds get two digits") << 75 * 65 << "1:05";
    QTest::newRow("minutes are not wrapped at an hour") << 75 * 3723 << "62:03";
}

void tst_CDRipper::lengthText()
{
    QFETCH(qint32, sectors);
    QFETCH(QString, text);
    QCOMPARE(CDRipper().LengthText(sectors), text);
}

// Catches a WAV whose samples differ from the disc's (byte order, channel
// swap, a sector dropped or doubled), a wrong header, a temporary file left
// behind, and events out of order or raised on the worker's thread (the
// connections are direct, so only the component can bring them over).
void tst_CDRipper::ripIsBitExactAndEventsInOrder()
{
    CDRipper ripper;
    QVERIFY(openDisc(ripper));
    const QString folder = freshFolder(QStringLiteral("rip"));
    const QString destination = folder + QStringLiteral("/track.wav");
    QVERIFY(!TestEnvironment::writeFile(destination, "old audio").isEmpty());

    QStringList events;
    QList<qint32> range;
    bool onOwnerThread = true;
    connect(&ripper, &CDRipper::RipStarted, [&](const QString&, qint32 start, qint32 end, qint32 other) {
        onOwnerThread = onOwnerThread && QThread::currentThread() == thread();
        events << QStringLiteral("started");
        range = {start, end, other};
    });
    connect(&ripper, &CDRipper::RipStatus, [&](int code, qint32 value) {
        onOwnerThread = onOwnerThread && QThread::currentThread() == thread();
        if (code == CDRipper::Progress && (events.isEmpty() || events.last() != QStringLiteral("progress")))
            events << QStringLiteral("progress");
        if (code == CDRipper::Progress)
            range << value;
    });
    connect(&ripper, &CDRipper::RipFinished, this,
            [&] { events << QStringLiteral("finished %1").arg(ripper.IsRipping()); });
    QSignalSpy finished(&ripper, &CDRipper::RipFinished);

    QVERIFY(ripper.RipTrack(2, destination, 7));
    QVERIFY(ripper.IsRipping());
    QVERIFY(finished.wait(30000));

    QCOMPARE(events, QStringList({"started", "progress", "finished 0"}));
    QVERIFY(onOwnerThread);
    QCOMPARE(range.mid(0, 3), QList<qint32>({150, 150 + 231, 7}));
    QCOMPARE(range.last(), 150 + 231);
    QFile wav(destination);
    QVERIFY(wav.open(QIODevice::ReadOnly));
    const QByteArray bytes = wav.readAll();
    const QByteArray expected = m_image->trackBytes(2);
    QCOMPARE(bytes.size(), 44 + expected.size());
    QCOMPARE(bytes.left(4), "RIFF");
    QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 4), quint32(36 + expected.size()));
    // PCM, 2 channels, 44100 Hz, 176400 bytes/s, 4-byte frames, 16 bits.
    QCOMPARE(bytes.mid(8, 28).toHex(), QByteArray("57415645666d7420100000000100020044ac000010b1020004001000"));
    QCOMPARE(bytes.mid(36, 4), "data");
    QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 40), quint32(expected.size()));
    QVERIFY(bytes.mid(44) == expected);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"track.wav"});
}

// Catches samples byte-swapped on audio whose byte order a guess gets wrong:
// random PCM, and a full-scale square wave whose two levels look alike
// either way round.
void tst_CDRipper::ripKeepsTheDiscsByteOrder_data()
{
    QTest::addColumn<CueImage::Audio>("content");
    QTest::newRow("random PCM") << CueImage::Audio::Noise;
    QTest::newRow("full-scale 3 kHz square wave") << CueImage::Audio::Square;
}

void tst_CDRipper::ripKeepsTheDiscsByteOrder()
{
    QFETCH(CueImage::Audio, content);
    const QString folder = freshFolder(QStringLiteral("byte-order"));
    const CueImage image(folder, QStringLiteral("disc"), {{300, true, content}});
    QVERIFY(image.write());
    qputenv("ORVANE_CD_DEVICE", QFile::encodeName(image.cuePath()));
    const auto restore = qScopeGuard([this] { qputenv("ORVANE_CD_DEVICE", QFile::encodeName(m_image->cuePath())); });

    CDRipper ripper;
    QVERIFY(openDisc(ripper));
    QSignalSpy finished(&ripper, &CDRipper::RipFinished);
    const QString destination = folder + QStringLiteral("/track.wav");
    QVERIFY(ripper.RipTrack(1, destination, 1));
    QVERIFY(finished.wait(30000));
    QFile wav(destination);
    QVERIFY(wav.open(QIODevice::ReadOnly));
    QVERIFY(wav.readAll().mid(44) == image.trackBytes(1));
}

// Catches a rip started on a track that is not there or cannot be ripped.
void tst_CDRipper::refusedTracks_data()
{
    QTest::addColumn<int>("track");
    QTest::newRow("data track") << 4;
    QTest::newRow("track 0") << 0;
    QTest::newRow("past the last track") << 5;
}

void tst_CDRipper::refusedTracks()
{
    QFETCH(int, track);
    CDRipper ripper;
    QVERIFY(openDisc(ripper));
    QVERIFY(!ripper.RipTrack(track, freshFolder(QStringLiteral("refused")) + QStringLiteral("/t.wav"), 1));
    QVERIFY(!ripper.IsRipping());
}

// Catches a failed rip that never ends (the owner would wait for ever) or
// that still reports the track as finished.
void tst_CDRipper::unwritableDestinationEndsWithFileAborted()
{
    CDRipper ripper;
    QVERIFY(openDisc(ripper));
    QSignalSpy status(&ripper, &CDRipper::RipStatus);
    QSignalSpy finished(&ripper, &CDRipper::RipFinished);
    QVERIFY(ripper.RipTrack(1, freshFolder(QStringLiteral("gone")) + QStringLiteral("/missing/t.wav"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty() && status.last().at(0).toInt() == CDRipper::FileAborted, 30000);
    QCOMPARE(status.at(status.size() - 2).at(0).toInt(), int(CDRipper::ErrorCreatingFile));
    QVERIFY(!ripper.IsRipping());
    QCOMPARE(finished.size(), 0);
}

// Catches a stop that leaves a half-written file, replaces the old audio, or
// lets a late RipFinished through.
void tst_CDRipper::stopLeavesDestinationAsItWas()
{
    CDRipper ripper;
    QVERIFY(openDisc(ripper));
    const QString folder = freshFolder(QStringLiteral("stop"));
    const QString destination = TestEnvironment::writeFile(folder + QStringLiteral("/cart.wav"), "old audio");
    QSignalSpy finished(&ripper, &CDRipper::RipFinished);
    QVERIFY(ripper.RipTrack(3, destination, 1));
    ripper.StopRip();
    QVERIFY(!ripper.IsRipping());
    QTest::qWait(200);
    QCOMPARE(finished.size(), 0);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"cart.wav"});
    QFile old(destination);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), "old audio");
}

// Catches an image taken away still reading as a disc, and a returned one
// not being readable again.
void tst_CDRipper::ejectAndInsert()
{
    CDRipper ripper;
    QVERIFY(openDisc(ripper));
    const QString cue = m_image->cuePath();
    const QString away = cue + QStringLiteral(".away");
    QVERIFY(QFile::rename(cue, away));
    QCOMPARE(ripper.DriveStatus(), int(CDRipper::NoDisc));
    QVERIFY(QFile::rename(away, cue));
    QCOMPARE(ripper.DriveStatus(), int(CDRipper::DiscLoaded));
    QVERIFY(openDisc(ripper));
    QCOMPARE(ripper.TrackCount(), m_layout.size());
}

ORVANE_TEST_MAIN(tst_CDRipper)
#include "tst_CDRipper.moc"
