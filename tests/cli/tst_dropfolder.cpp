#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/JsonShape.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

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

    struct Watched {
        QStringList lines;
        int exitCode = -1;
        QProcess::ExitStatus status = QProcess::NormalExit;
    };

    // Runs the watcher to its end while this thread's events go on.
    static Watched watchOnce(const QString& profile, const QString& drop, const QStringList& more = {},
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
        return {QString::fromUtf8(watcher.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts), watcher.exitCode(),
                watcher.exitStatus()};
    }

    // Returns once a watcher has claimed `name` (or it is done with it).
    static void waitUntilClaimed(const QString& profile, const QString& drop, const QString& name)
    {
        for (int i = 0; i < 200 && !QFile::exists(drop + "/imported/" + name); ++i) {
            QProcess list;
            list.start(tool("cartvault"), {"--profile", profile, "dropbox", "list", drop});
            list.waitForFinished();
            if (list.readAllStandardOutput().contains("claimed\t" + name.toUtf8()))
                return;
            QTest::qWait(20);
        }
    }

    // What the store remembers of the version of that size in the folder.
    static QString outcomeOf(const QString& profile, const QString& drop, qint64 size)
    {
        QProcess list;
        list.start(tool("cartvault"), {"--profile", profile, "dropbox", "list", drop, "--json"});
        list.waitForFinished();
        for (const QJsonValue& entry : QJsonDocument::fromJson(list.readAllStandardOutput()).array())
            if (entry.toObject().value("size").toInteger() == size)
                return entry.toObject().value("outcome").toString();
        return QString();
    }

    // How many carts hold audio of this length: a file's carts, when each
    // test's files have lengths of their own.
    static int cartsOfLength(const QString& profile, double seconds)
    {
        int found = 0;
        for (const QJsonValue& cart : carts(profile))
            found += qAbs(cart.toObject().value("audio_length").toDouble() - seconds) < 0.05 ? 1 : 0;
        return found;
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
        const Watched watched = watchOnce("Drop", drop, {"--settle", "1", "--leave-imported"}, [&] {
            for (int part = 1; part < 4; ++part) {
                QTest::qWait(400); // less than the settle time
                growing.write(whole.mid(part * step, part == 3 ? -1 : step));
                growing.flush();
            }
            growing.close();
        });
        QCOMPARE(watched.exitCode, 0);
        const QStringList& lines = watched.lines;
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("imported\t" + drop + "/growing.wav\tcart "), qPrintable(lines.first()));
        QCOMPARE(carts("Drop").size(), 1);
        QCOMPARE(carts("Drop").at(0).toObject().value("audio_length").toDouble(), 2.0);
        QVERIFY(QFile::exists(drop + "/upload.wav.part"));

        const QStringList again = watchOnce("Drop", drop, {"--settle", "0", "--leave-imported"}).lines;
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
        // With --json, one object a line, the failure with its error.
        const Watched watched = watchOnce("Drop", drop, {"--settle", "0", "--json"});
        QCOMPARE(watched.exitCode, 1);
        QCOMPARE(watched.lines.size(), 1);
        const QByteArray line = watched.lines.first().toUtf8() + '\n';
        QVERIFY2(JsonShape::problem(line).isEmpty(), qPrintable(JsonShape::problem(line)));
        const QJsonObject failed = QJsonDocument::fromJson(line).object();
        QCOMPARE(failed.value("outcome").toString(), QString("failed"));
        QVERIFY(failed.value("error").toString().contains("not a WAV file"));
        QFile log(drop + "/failed/promo.wav.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("not a WAV file"));

        QVERIFY(QFile::rename(drop + "/failed/promo.wav", drop + "/promo.wav"));
        QCOMPARE(watchOnce("Drop", drop, {"--settle", "0", "--keep-failed"}).lines.value(0).section('\t', 0, 0), QString("skipped"));
        QTest::qWait(1100); // a new modification time, as a fixed upload would have
        QVERIFY(!TestEnvironment::writeFile(drop + "/promo.wav", tone(0.5)).isEmpty());
        QCOMPARE(watchOnce("Drop", drop, {"--settle", "0"}).lines.value(0).section('\t', 0, 0), QString("imported"));
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
        const QStringList mine = watchOnce("Shared", drop, {"--settle", "0"}).lines;
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
        waitUntilClaimed("Drop", drop, "long.mp3"); // stopped while it is being converted
        ::kill(static_cast<pid_t>(watcher.processId()), SIGTERM);
        QVERIFY(watcher.waitForFinished(60000));
        QCOMPARE(watcher.exitCode(), 0);
        QVERIFY2(watcher.readAllStandardOutput().startsWith("imported\t"), "the file in hand was not finished");
    }

    // A watcher killed with a file in hand: restarted, it takes the file over
    // at once, as its holder is gone, unless its cart was committed already.
    // Either way the file ends in exactly one cart. The file first goes into
    // a cart holding audio, the restart to the first free one.
    void killedWatcherRestarted_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QString>("cart");
        QTest::addColumn<double>("seconds");
        QTest::newRow("before the commit") << QByteArray("copied:kill") << "700" << 0.7;
        QTest::newRow("after the commit") << QByteArray("committed:kill") << "701" << 0.9;
    }

    void killedWatcherRestarted()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QString, cart);
        QFETCH(double, seconds);
        const QString drop = folder(QString("killed-%1").arg(cart));
        QProcess fill;
        fill.start(tool("cartvault"), {"--profile", "Drop", "import", cart, TestEnvironment::writeFile("fill.wav", tone(0.3))});
        QVERIFY(fill.waitForFinished() && fill.exitCode() == 0);
        QVERIFY(!TestEnvironment::writeFile(drop + "/spot.wav", tone(seconds)).isEmpty());

        qputenv("ORVANE_STORE_FAULT", fault);
        const Watched killed = watchOnce("Drop", drop, {"--settle", "0", "--start-cart", cart, "--overwrite"});
        qunsetenv("ORVANE_STORE_FAULT");
        QCOMPARE(killed.status, QProcess::CrashExit);

        const Watched restarted = watchOnce("Drop", drop, {"--settle", "0", "--overwrite"});
        QCOMPARE(restarted.exitCode, 0);
        QCOMPARE(restarted.lines.size(), 1);
        QCOMPARE(cartsOfLength("Drop", seconds), 1);
    }

    // A linked file is the cart's audio: it stays where it is. A file that
    // had to be converted was copied, and is moved on as usual.
    void linkedFilesStay()
    {
        QVERIFY(TestStore::setSettings("Drop", {{"AllowLinking", "true"}}));
        const QString drop = folder("link");
        QVERIFY(!TestEnvironment::writeFile(drop + "/jingle.wav", tone(1.1)).isEmpty());
        QVERIFY(!fixtures::makeAudio(drop + "/promo.mp3", TestWav(), {"-c:a", "libmp3lame"}).isEmpty());
        const Watched watched = watchOnce("Drop", drop, {"--settle", "0", "--link", "--format", "keep"});
        QCOMPARE(watched.lines.filter(QRegularExpression("^imported\t")).size(), 2);
        QCOMPARE(watched.lines.size(), 2);
        QVERIFY(QFile::exists(drop + "/jingle.wav"));
        QVERIFY(!QFile::exists(drop + "/imported/jingle.wav"));
        QVERIFY(QFile::exists(drop + "/imported/promo.mp3"));
    }

    // A name that is not UTF-8 text cannot be imported under it: the file is
    // refused by name, never passed over in silence.
    void undecodableNamesAreRefused()
    {
        const QString drop = folder("undecodable");
        const QByteArray name = QFile::encodeName(drop) + "/bad\xff.wav";
        QFile file;
        QVERIFY(file.open(std::fopen(name.constData(), "w"), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        file.write(tone(0.5));
        file.close();
        const QString printable = drop + "/bad\\xff.wav";

        QProcess dryRun;
        dryRun.start(tool("orvane-import-batch"), {"--profile", "Drop", "--dry-run", "--json", drop});
        QVERIFY(dryRun.waitForFinished());
        const QJsonArray items = QJsonDocument::fromJson(dryRun.readAllStandardOutput()).object().value("items").toArray();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.at(0).toObject().value("source").toString(), printable);
        QCOMPARE(items.at(0).toObject().value("outcome").toString(), QString("refused"));

        const Watched watched = watchOnce("Drop", drop, {"--settle", "0"});
        QCOMPARE(watched.exitCode, 1);
        QCOMPARE(watched.lines.size(), 1);
        QVERIFY2(watched.lines.first().startsWith("failed\t" + printable + "\t"), qPrintable(watched.lines.first()));
        QVERIFY(::access((QFile::encodeName(drop) + "/failed/bad\xff.wav").constData(), F_OK) == 0);
        QVERIFY(file.open(std::fopen((QFile::encodeName(drop) + "/failed/bad\xff.wav.log").constData(), "r"), QIODevice::ReadOnly,
                          QFileDevice::AutoCloseHandle));
        QVERIFY(file.readAll().contains("bad\\xff.wav"));
        file.close();
        // The temporary folder's clean-up cannot name these files.
        ::unlink((QFile::encodeName(drop) + "/failed/bad\xff.wav").constData());
        ::unlink((QFile::encodeName(drop) + "/failed/bad\xff.wav.log").constData());
    }

    // A file replaced while it was being imported is a new version: it is not
    // put aside with the old one's outcome, but taken and imported in its turn.
    void replacedWhileImportedIsTakenAgain()
    {
        const QString drop = folder("replaced");
        QVERIFY(!fixtures::makeAudio(drop + "/show.mp3", [] { TestWav w; w.seconds = 240; return w; }(), {"-c:a", "libmp3lame"}).isEmpty());
        const QString other = folder("elsewhere") + "/other.mp3";
        QVERIFY(!fixtures::makeAudio(other, [] { TestWav w; w.seconds = 1.3; return w; }(), {"-c:a", "libmp3lame"}).isEmpty());
        const qint64 newSize = QFileInfo(other).size();
        QProcess watcher;
        watcher.start(tool("orvane-import-batch"), {"--profile", "Drop", "--watch", drop, "--settle", "0", "--normalise=80"});
        waitUntilClaimed("Drop", drop, "show.mp3");
        QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(drop + "/show.mp3").constData()) == 0);
        for (int i = 0; i < 600 && outcomeOf("Drop", drop, newSize) != "imported"; ++i)
            QTest::qWait(100);
        ::kill(static_cast<pid_t>(watcher.processId()), SIGTERM);
        QVERIFY(watcher.waitForFinished(60000));
        QCOMPARE(outcomeOf("Drop", drop, newSize), QString("imported"));
        QVERIFY(!QFile::exists(drop + "/show.mp3"));
    }
};

ORVANE_TEST_MAIN(DropFolderTest)
#include "tst_dropfolder.moc"
