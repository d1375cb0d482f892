#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestWav.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <csignal>
#include <cstdio>

// One import is one commit: whatever happens to the importer, a cart's title
// and audio come from the same source, nothing is left behind in the store,
// and a source that changes while it is read is not taken.
class ImportTransactionTest : public QObject
{
    Q_OBJECT

    struct Result {
        int exitCode; // -1 when killed
        QByteArray out;
        QByteArray err;
    };

    static void prepare(QProcess& process, const char* name, const QStringList& arguments, const QString& fault)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!fault.isEmpty())
            environment.insert("ORVANE_STORE_FAULT", fault);
        process.setProcessEnvironment(environment);
        process.start(TestEnvironment::tool(name), arguments);
    }

    static Result finish(QProcess& process)
    {
        process.waitForFinished(120000);
        return {process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    static Result run(const char* name, const QStringList& arguments, const QString& fault = QString())
    {
        QProcess process;
        prepare(process, name, arguments, fault);
        return finish(process);
    }

    static QString folder(const QString& name) { return TestEnvironment::folder(name); }

    static QString profileFor(const QString& name)
    {
        const Result made = run("cartvault", {"profile", "create", name, "--data", folder("store " + name)});
        return made.exitCode == 0 ? name : QString();
    }

    static QJsonObject cart(const QString& profile, const QString& number)
    {
        return QJsonDocument::fromJson(run("cartvault", {"--profile", profile, "show", number, "--json"}).out).object();
    }

    static QString tone(const QString& path, double seconds)
    {
        TestWav wav;
        wav.seconds = seconds;
        wav.frequency = 200 + 150 * seconds;
        return wav.write(path) ? path : QString();
    }

    static QString mp3(const QString& path, double seconds, const QString& title)
    {
        TestWav wav;
        wav.seconds = seconds;
        wav.frequency = 200 + 150 * seconds;
        return fixtures::makeAudio(path, wav, {"-metadata", "title=" + title, "-c:a", "libmp3lame"});
    }

    // Every file under the store's audio location, hidden ones included.
    static QStringList audioFiles(const QString& profile)
    {
        QStringList found;
        QDirIterator files(folder("store " + profile) + "/audio", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext())
            found << files.next();
        return found;
    }

private slots:
    void initTestCase()
    {
        if (!fixtures::toolsPresent())
            QSKIP("the ffmpeg tools are not installed");
    }

    // A converting re-import killed at each step of its commit: the cart's
    // title belongs to the audio it holds, the next opening leaves exactly
    // the cart's file, and the source is still there.
    void killedConversionLeavesOldOrNew_data()
    {
        TestStore::addImportFaultRows();
    }

    void killedConversionLeavesOldOrNew()
    {
        QFETCH(QString, step);
        QFETCH(bool, replaced);
        const QString profile = profileFor("Killed " + step);
        QVERIFY(!profile.isEmpty());
        const QString old = mp3(folder("kill " + step) + "/old.mp3", 4.0, "Old Song");
        const QString fresh = mp3(folder("kill " + step) + "/new.mp3", 2.0, "New Song");
        QVERIFY(!old.isEmpty() && !fresh.isEmpty());
        const QStringList into{"--profile", profile, "--start-cart", "7", "--overwrite"};
        QCOMPARE(run("orvane-import-batch", into + QStringList{old}).exitCode, 0);
        QCOMPARE(run("orvane-import-batch", into + QStringList{"--delete-source", fresh}, step + ":kill").exitCode, -1);

        const QJsonObject seven = cart(profile, "7"); // this opening cleans up
        QCOMPARE(seven.value("title").toString(), replaced ? QString("New Song") : QString("Old Song"));
        QVERIFY(qAbs(seven.value("audio_length").toDouble() - (replaced ? 2.0 : 4.0)) < 0.1);
        QCOMPARE(audioFiles(profile), QStringList{seven.value("audio_file").toString()});
        QVERIFY(QFile::exists(fresh)); // killed before its cart was saved and reported
    }

    // A source truncated or replaced after it was read but before the commit
    // is not taken: the item fails saying so and the cart stays empty.
    void changedSourceIsNotTaken_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("replace");
        QTest::newRow("WAV truncated under cartvault import") << "cartvault" << "long.wav" << false;
        QTest::newRow("MP3 replaced under the batch tool") << "orvane-import-batch" << "show.mp3" << true;
    }

    void changedSourceIsNotTaken()
    {
        QFETCH(QString, tool);
        QFETCH(QString, name);
        QFETCH(bool, replace);
        const QString profile = profileFor("Changed " + name);
        QVERIFY(!profile.isEmpty());
        const QString source = folder("changed " + name) + "/" + name;
        QVERIFY(!(replace ? mp3(source, 3.0, "First") : tone(source, 6.0)).isEmpty());
        const QStringList arguments = tool == "cartvault" ? QStringList{"--profile", profile, "import", "40", source}
                                                          : QStringList{"--profile", profile, "--start-cart", "40", source};
        QProcess importer;
        prepare(importer, qPrintable(tool), arguments, "copied:stop");
        QTRY_VERIFY_WITH_TIMEOUT(TestEnvironment::isStopped(importer.processId()), 60000);
        if (replace) {
            const QString other = mp3(folder("changed " + name) + "/other.mp3", 1.0, "Second");
            QCOMPARE(::rename(QFile::encodeName(other).constData(), QFile::encodeName(source).constData()), 0); // as mv does
        } else {
            QVERIFY(QFile::resize(source, 44 + 44100 * 4));
        }
        ::kill(static_cast<pid_t>(importer.processId()), SIGCONT);
        const Result result = finish(importer);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2((result.out + result.err).contains("changed while it was being imported"), result.out + result.err);
        QVERIFY(cart(profile, "40").value("audio_length").toDouble() < 0);
        QCOMPARE(audioFiles(profile), QStringList());
    }

    // Two importers into a cart that holds audio: the one that read the cart
    // before the other committed must not commit over it.
    void racedReimportIsRefused()
    {
        const QString profile = profileFor("Race");
        QVERIFY(!profile.isEmpty());
        const QString first = tone(folder("race") + "/first.wav", 1.0);
        const QString slow = tone(folder("race") + "/slow.wav", 2.0);
        const QString quick = tone(folder("race") + "/quick.wav", 3.0);
        QCOMPARE(run("cartvault", {"--profile", profile, "import", "50", first}).exitCode, 0);
        QProcess slowImporter;
        prepare(slowImporter, "cartvault", {"--profile", profile, "import", "50", slow, "--overwrite"}, "copied:stop");
        QTRY_VERIFY_WITH_TIMEOUT(TestEnvironment::isStopped(slowImporter.processId()), 60000);
        QCOMPARE(run("cartvault", {"--profile", profile, "import", "50", quick, "--overwrite"}).exitCode, 0);
        ::kill(static_cast<pid_t>(slowImporter.processId()), SIGCONT);
        const Result refused = finish(slowImporter);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("changed by another workstation"), refused.err);
        const QJsonObject fifty = cart(profile, "50");
        QCOMPARE(fifty.value("audio_length").toDouble(), 3.0);
        QFile audio(fifty.value("audio_file").toString());
        QVERIFY(audio.open(QIODevice::ReadOnly));
        QCOMPARE(audio.readAll().size(), QFileInfo(quick).size());
    }

    // The replaced audio goes with the commit, not at some later opening.
    void replacedAudioIsRemovedAtOnce()
    {
        const QString profile = profileFor("Replaced");
        QVERIFY(!profile.isEmpty());
        QCOMPARE(run("cartvault", {"--profile", profile, "import", "60", tone(folder("replaced") + "/a.wav", 1.0)}).exitCode, 0);
        const QString before = cart(profile, "60").value("audio_file").toString();
        QVERIFY(QFile::exists(before));
        QCOMPARE(run("orvane-import-batch", {"--profile", profile, "--start-cart", "60", "--overwrite",
                                             tone(folder("replaced") + "/b.wav", 2.0)})
                     .exitCode,
                 0);
        QVERIFY(!QFile::exists(before));
    }

    // A linked cart plays its source: deleting the source is switched off.
    void linkedSourceIsKept()
    {
        const QString profile = profileFor("Linked");
        QVERIFY(!profile.isEmpty());
        QCOMPARE(run("cartvault", {"--profile", profile, "settings", "set", "AllowLinking", "1"}).exitCode, 0);
        const QString source = tone(folder("linked") + "/bed.wav", 1.0);
        const Result result = run("orvane-import-batch", {"--profile", profile, "--start-cart", "70", "--format", "keep",
                                                          "--link", "--delete-source", source});
        QVERIFY2(result.exitCode == 0, result.err);
        QVERIFY(QFile::exists(source));
        QCOMPARE(cart(profile, "70").value("audio_file").toString(), source);
    }

    // Temporary files that kills left in cart folders before imports went
    // through .incoming are removed once; the carts' own files stay.
    void oldTemporariesAreRemovedOnce()
    {
        const QString profile = profileFor("Upgraded");
        QVERIFY(!profile.isEmpty());
        QCOMPARE(run("cartvault", {"--profile", profile, "import", "5", tone(folder("upgraded") + "/a.wav", 1.0)}).exitCode, 0);
        const QString kept = cart(profile, "5").value("audio_file").toString();
        const QString cartFolder = QFileInfo(kept).path();
        const QStringList left{cartFolder + "/ORVk3x9Qa.WAV", cartFolder + "/.IMPk3x9Qa.WAV.aB3dE6.part",
                               cartFolder + "/.ORVk3x9Qa.WAV.Zz9yY8.spool"};
        for (const QString& file : left)
            QVERIFY(!TestEnvironment::writeFile(file, "half a conversion").isEmpty());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "upgraded");
            db.setDatabaseName(folder("store " + profile) + "/cartvault.sqlite");
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("DELETE FROM settings WHERE key LIKE 'leftovers.%'")); // as a store from before
        }
        QSqlDatabase::removeDatabase("upgraded");

        QCOMPARE(run("cartvault", {"--profile", profile, "list"}).exitCode, 0);
        QCOMPARE(audioFiles(profile), QStringList{kept});
        QVERIFY(!TestEnvironment::writeFile(left.first(), "made after the sweep").isEmpty());
        QCOMPARE(run("cartvault", {"--profile", profile, "list"}).exitCode, 0);
        QVERIFY(QFile::exists(left.first())); // the walk is not repeated at every opening
    }
};

ORVANE_TEST_MAIN(ImportTransactionTest)
#include "tst_import_transaction.moc"
