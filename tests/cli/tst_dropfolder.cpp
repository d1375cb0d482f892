#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>
#include <csignal>

// Drop folders as a station runs them: files arriving slowly, restarts,
// broken files, two watchers on one shared store, a stop mid-import.
class DropFolderTest : public QObject
{
    Q_OBJECT

    static QString tool(const char* name) { return TestEnvironment::tool(name); }
    static QString folder(const QString& name) { return TestEnvironment::folder(name); }

    static QByteArray tone(double seconds)
    {
        TestWav wav;
        wav.seconds = seconds;
        return wav.bytes();
    }

    // Runs the watcher to its end while this thread's events go on.
    static QStringList watchOnce(const QString& profile, const QString& drop, const QStringList& more = {},
                                 const std::function<void()>& meanwhile = {})
    {
        QProcess watcher;
        QEventLoop wait;
        connect(&watcher, &QProcess::finished, &wait, &QEventLoop::quit);
        watcher.start(tool("orvane-import-batch"), QStringList{"--profile", profile, "--watch", drop, "--once"} + more);
        if (meanwhile)
            meanwhile();
        if (watcher.state() != QProcess::NotRunning)
            wait.exec();
        return QString::fromUtf8(watcher.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    static QJsonArray carts(const QString& profile)
    {
        QProcess list;
        list.start(tool("cartvault"), {"--profile", profile, "list", "--json"});
        list.waitForFinished();
        return QJsonDocument::fromJson(list.readAllStandardOutput()).array();
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(TestStore::createProfile("Drop", TestStore::SQLite, &error), qPrintable(error));
    }

    // A file that grows in steps is taken only once it has settled, whole;
    // an upload under .part is never taken; a restart imports nothing twice.
    void settledFilesOnceEach()
    {
        const QString drop = folder("drop");
        QFile growing(drop + "/growing.wav");
        QVERIFY(growing.open(QIODevice::WriteOnly));
        const QByteArray whole = tone(2.0);
        const qsizetype step = whole.size() / 4;
        QVERIFY(!TestEnvironment::writeFile(drop + "/upload.wav.part", tone(0.5)).isEmpty());
        growing.write(whole.left(step));
        growing.flush();
        const QStringList lines = watchOnce("Drop", drop, {"--settle", "1", "--leave-imported"}, [&] {
            for (int part = 1; part < 4; ++part) {
                QTest::qWait(400); // less than the settle time
                growing.write(whole.mid(part * step, part == 3 ? -1 : step));
                growing.flush();
            }
            growing.close();
        });
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("imported\t" + drop + "/growing.wav\tcart "), qPrintable(lines.first()));
        QCOMPARE(carts("Drop").size(), 1);
        QCOMPARE(carts("Drop").at(0).toObject().value("audio_length").toDouble(), 2.0);
        QVERIFY(QFile::exists(drop + "/upload.wav.part"));

        const QStringList again = watchOnce("Drop", drop, {"--settle", "0", "--leave-imported"});
        QCOMPARE(again.size(), 1);
        QVERIFY2(again.first().startsWith("skipped\t"), qPrintable(again.first()));
        QCOMPARE(carts("Drop").size(), 1);
    }

    // A broken file goes to failed/ with its reason and is left alone until
    // it changes; fixed, it is taken again.
    void brokenFilesQuarantinedUntilTheyChange()
    {
        const QString drop = folder("broken");
        QVERIFY(!TestEnvironment::writeFile(drop + "/promo.wav", "not audio").isEmpty());
        QStringList lines = watchOnce("Drop", drop, {"--settle", "0"});
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().startsWith("failed\t"));
        QFile log(drop + "/failed/promo.wav.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("not a WAV file"));

        QVERIFY(QFile::rename(drop + "/failed/promo.wav", drop + "/promo.wav"));
        QCOMPARE(watchOnce("Drop", drop, {"--settle", "0", "--keep-failed"}).value(0).section('\t', 0, 0), QString("skipped"));
        QTest::qWait(1100); // a new modification time, as a fixed upload would have
        QVERIFY(!TestEnvironment::writeFile(drop + "/promo.wav", tone(0.5)).isEmpty());
        QCOMPARE(watchOnce("Drop", drop, {"--settle", "0"}).value(0).section('\t', 0, 0), QString("imported"));
    }

    // Two watchers of one shared folder on one PostgreSQL store: each file
    // is imported exactly once.
    void twoWatchersShareAFolder()
    {
        if (!TestStore::postgresAvailable())
            QSKIP("no PostgreSQL cluster (run through scripts/with-postgres)");
        QString error;
        QVERIFY2(TestStore::createProfile("Shared", TestStore::PostgreSQL, &error), qPrintable(error));
        const QString drop = folder("shared");
        for (int i = 0; i < 6; ++i)
            QVERIFY(!TestEnvironment::writeFile(drop + QString("/spot%1.wav").arg(i), tone(0.1 + 0.1 * i)).isEmpty());
        QProcess other;
        other.start(tool("orvane-import-batch"), {"--profile", "Shared", "--watch", drop, "--once", "--settle", "0"});
        const QStringList mine = watchOnce("Shared", drop, {"--settle", "0"});
        if (other.state() != QProcess::NotRunning) // it may have ended while this thread waited for its own
            QVERIFY(other.waitForFinished(60000));
        const QStringList theirs = QString::fromUtf8(other.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE((mine + theirs).filter(QRegularExpression("^imported\t")).size(), 6);
        QCOMPARE(carts("Shared").size(), 6);
    }

    // A stop while a file is being imported lets that file finish.
    void stopFinishesTheFileInHand()
    {
        const QString drop = folder("stop");
        QVERIFY(!fixtures::makeAudio(drop + "/long.mp3", [] { TestWav w; w.seconds = 240; return w; }(), {"-c:a", "libmp3lame"}).isEmpty());
        QFile::remove(drop + "/long.mp3.source.wav");
        QProcess watcher;
        watcher.start(tool("orvane-import-batch"), {"--profile", "Drop", "--watch", drop, "--settle", "0", "--normalise=80"});
        // Stopped once the file is claimed, while it is being converted.
        for (int i = 0; i < 200 && !QFile::exists(drop + "/imported/long.mp3"); ++i) {
            QProcess list;
            list.start(tool("cartvault"), {"--profile", "Drop", "dropbox", "list", drop});
            list.waitForFinished();
            if (list.readAllStandardOutput().contains("claimed\tlong.mp3"))
                break;
            QTest::qWait(20);
        }
        ::kill(static_cast<pid_t>(watcher.processId()), SIGTERM);
        QVERIFY(watcher.waitForFinished(60000));
        QCOMPARE(watcher.exitCode(), 0);
        QVERIFY2(watcher.readAllStandardOutput().startsWith("imported\t"), "the file in hand was not finished");
    }
};

ORVANE_TEST_MAIN(DropFolderTest)
#include "tst_dropfolder.moc"
