#include "tests/platform/accuraterip/AccurateRipFormula.h"
#include "tests/platform/accuraterip/FakeAccurateRipServer.h"
#include "tests/platform/cdripper/CueImage.h"
#include "tests/support/TestEnvironment.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

// A verified rip from a script: a disc image, its record on an AccurateRip
// server on 127.0.0.1, and the drive's read offset, checked through what
// the batch tool reports and what the carts hold.
class BatchCDVerifyTest : public QObject
{
    Q_OBJECT

    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    static constexpr const char* kProfile = "Verify";
    static constexpr const char* kCDFormat = "FormatType=2 SampleRate=44100 Channels=2 FormatTag=1 BitsPerSample=16";
    // Noise first and a full-scale square wave last: the edges the CRCs
    // leave out hold audio that would show a wrong cut.
    const QList<CueImage::Track> kTracks{{150, true, CueImage::Audio::Noise}, {90, true}, {120, true, CueImage::Audio::Square}};

    // Runs a tool while this thread's events go on, so the server answers.
    static Result run(const char* name, const QStringList& arguments)
    {
        QProcess process;
        QEventLoop wait;
        connect(&process, &QProcess::finished, &wait, &QEventLoop::quit);
        QTimer::singleShot(180000, &wait, &QEventLoop::quit);
        process.start(TestEnvironment::tool(name), arguments);
        wait.exec();
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    static void setting(const QString& name, const QString& value)
    {
        QCOMPARE(run("cartvault", {"--profile", kProfile, "settings", "set", name, value}).exitCode, 0);
    }

    static QByteArray cartAudio(int number)
    {
        const QJsonObject cart =
            QJsonDocument::fromJson(run("cartvault", {"--profile", kProfile, "show", QString::number(number), "--json"}).out).object();
        const QString file = cart.value("audio_file").toString();
        return file.isEmpty() ? QByteArray() : TestEnvironment::contents(file).mid(44);
    }

    static QJsonArray rip(const CueImage& image, int startCart, const QStringList& more, Result& result)
    {
        result = run("orvane-import-batch", QStringList{"--profile", kProfile, "--cd", "--device", image.cuePath(), "--start-cart",
                                                        QString::number(startCart), "--format", kCDFormat, "--json"} + more);
        return QJsonDocument::fromJson(result.out).object().value("items").toArray();
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(run("cartvault", {"profile", "create", kProfile, "--data", TestEnvironment::folder("verify-store")}).exitCode, 0);
    }

    // Catches a CRC cut at the wrong sample or from the wrong disc position,
    // a record asked for at the wrong path or per track, a verdict that
    // ignores one pressing, a differing track let into its cart, and a
    // server that cannot be asked taken as "not in the database".
    void verdictsFollowTheRecord_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("verify");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("verdicts"); // per track; "-" not reached
        QTest::newRow("matching") << "matching" << true << 0 << QStringList{"accurate 7", "accurate 7", "accurate 7"};
        QTest::newRow("track 2 differs") << "differing" << true << 1 << QStringList{"accurate 7", "differs 0", "accurate 7"};
        QTest::newRow("unknown disc") << "none" << true << 0 << QStringList{"absent 0", "absent 0", "absent 0"};
        QTest::newRow("damaged record") << "garbage" << true << 1 << QStringList{"-", "-", "-"};
        QTest::newRow("server refuses") << "refused" << true << 1 << QStringList{"-", "-", "-"};
        QTest::newRow("not asked to verify") << "differing" << false << 0 << QStringList{"", "", ""};
    }

    void verdictsFollowTheRecord()
    {
        QFETCH(QString, record);
        QFETCH(bool, verify);
        QFETCH(int, exitCode);
        QFETCH(QStringList, verdicts);
        static int startCart = 100;
        startCart += 10;
        const CueImage image(TestEnvironment::folder("verify-" + record), "disc", kTracks);
        QVERIFY(image.write());

        QList<AccurateRipFormula::Crcs> crcs;
        for (int track = 1; track <= kTracks.size(); ++track)
            crcs << AccurateRipFormula::trackCrcs(image.trackBytes(track), track == 1, track == kTracks.size());
        const AccurateRipFormula::Disc disc = AccurateRipFormula::disc({150, 90, 120});
        QList<QPair<int, quint32>> v1, v2;
        for (int track = 0; track < crcs.size(); ++track) {
            const quint32 wrong = record == "differing" && track == 1 ? 1 : 0;
            v1 << qMakePair(4, crcs[track].v1 ^ wrong);
            v2 << qMakePair(7, crcs[track].v2 ^ wrong);
        }
        FakeAccurateRipServer server;
        if (record == "matching" || record == "differing")
            server.records.insert(disc.path, AccurateRipFormula::pressing(disc, v1) + AccurateRipFormula::pressing(disc, v2));
        if (record == "garbage")
            server.records.insert(disc.path, AccurateRipFormula::pressing(disc, v1).left(30) + QByteArray(200, '\x7f'));
        QString address = server.address();
        if (record == "refused") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            address = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
        }
        setting("AccurateRipServer", address);
        setting("CDReadOffset", "0");

        Result result;
        const QJsonArray items = rip(image, startCart, verify ? QStringList{"--verify"} : QStringList{}, result);
        QVERIFY2(result.exitCode == exitCode, result.err.constData());
        QCOMPARE(server.requests.size(), verify && record != "refused" ? 1 : 0);
        if (verdicts.first() == "-") {
            QVERIFY2(result.err.contains(address.toUtf8()), result.err.constData());
            QVERIFY(cartAudio(startCart).isEmpty());
            return;
        }
        QCOMPARE(items.size(), kTracks.size());
        for (int track = 1; track <= kTracks.size(); ++track) {
            const QJsonObject item = items.at(track - 1).toObject();
            const QJsonObject verdict = item.value("accuraterip").toObject();
            QCOMPARE(verdict.isEmpty() ? QString() : verdict.value("verdict").toString() + " " + QString::number(verdict.value("confidence").toInt()),
                     verdicts.at(track - 1));
            if (verify)
                QCOMPARE(verdict.value("crc_v1").toString() + verdict.value("crc_v2").toString(),
                         QString::asprintf("%08x%08x", crcs[track - 1].v1, crcs[track - 1].v2));
            const bool differs = verdicts.at(track - 1).startsWith("differs");
            QCOMPARE(item.value("outcome").toString(), differs ? QString("failed") : QString("imported"));
            QCOMPARE(cartAudio(startCart + track - 1), differs ? QByteArray() : image.trackBytes(track));
        }
    }

    // A drive that reads late or early: each track comes out shifted by
    // exactly that many samples, with silence where the disc ends.
    void readOffsetIsCorrected_data()
    {
        QTest::addColumn<int>("offset");
        QTest::newRow("late, within a sector") << 667;
        QTest::newRow("early, across sectors") << -1300;
        QTest::newRow("whole sectors late") << 588 * 2;
    }

    void readOffsetIsCorrected()
    {
        QFETCH(int, offset);
        static int startCart = 500;
        startCart += 10;
        const CueImage image(TestEnvironment::folder("offset"), "disc", kTracks);
        QVERIFY(image.write());
        // The whole disc with silence around it, as far as an offset reaches.
        const QByteArray edge(4 * 6000, '\0');
        QByteArray disc = edge;
        for (int track = 1; track <= kTracks.size(); ++track)
            disc += image.trackBytes(track);
        disc += edge;
        setting("CDReadOffset", QString::number(offset));

        Result result;
        rip(image, startCart, {}, result);
        QVERIFY2(result.exitCode == 0, result.err.constData());
        qsizetype start = edge.size() + qsizetype(offset) * 4;
        for (int track = 1; track <= kTracks.size(); ++track) {
            const qsizetype length = image.trackBytes(track).size();
            QVERIFY2(cartAudio(startCart + track - 1) == disc.mid(start, length), qPrintable(QString("track %1").arg(track)));
            start += length;
        }
    }
};

ORVANE_TEST_MAIN(BatchCDVerifyTest)
#include "tst_batch_cd_verify.moc"
