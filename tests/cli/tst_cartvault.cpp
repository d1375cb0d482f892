#include "tests/support/JsonShape.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestWav.h"
#include "frame/AppPaths.h"
#include "frame/library/ProfileSettings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <unistd.h>

// The administrator's tool as a shell uses it, on the test's own XDG folders.
class CartvaultToolTest : public QObject
{
    Q_OBJECT

    struct Result {
        int exitCode;
        QByteArray out;
        QByteArray err;
    };

    // `uid` >= 0: run as that user id (as root only), with $USER saying root.
    Result cartvault(const QStringList& arguments, const QString& fault = QString(), int uid = -1)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!fault.isEmpty())
            environment.insert("ORVANE_STORE_FAULT", fault);
        if (uid >= 0)
            environment.insert("USER", "root");
        process.setProcessEnvironment(environment);
        const QString tool = TestEnvironment::tool("cartvault");
        if (uid < 0)
            process.start(tool, arguments);
        else
            process.start("setpriv", QStringList{QString("--reuid=%1").arg(uid), QString("--regid=%1").arg(uid), "--clear-groups", tool} + arguments);
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    QString path(const QString& name) const { return TestEnvironment::instance()->root() + "/" + name; }

    QString tone(const QString& name, double seconds)
    {
        TestWav wav;
        wav.seconds = seconds;
        wav.frequency = 300 + 100 * seconds;
        const QString file = path(name);
        return wav.write(file) ? file : QString();
    }

    // Everything under a folder, with each file's contents.
    static QStringList snapshot(const QString& folder)
    {
        QStringList entries;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            entries << entry + " " + QCryptographicHash::hash(TestEnvironment::contents(entry), QCryptographicHash::Md5).toHex();
        }
        entries.sort();
        return entries;
    }

    // What the tool shows of a store: users, audit log, carts, settings.
    QByteArray shownState(const QString& profile)
    {
        QByteArray shown;
        for (const QStringList& verb : QList<QStringList>{{"user", "list"}, {"audit"}, {"list"}, {"settings", "list"}})
            shown += cartvault(QStringList{"--profile", profile} + verb).out;
        return shown;
    }

    QJsonObject shownCart(const QString& profile, const QString& cart)
    {
        return QJsonDocument::fromJson(cartvault({"--profile", profile, "show", cart, "--json"}).out).object();
    }

    // A statement run on a store behind the tool's back.
    bool runSqlBehindTheTool(const QString& profile, const QString& sql)
    {
        const QString connection = "rights-" + profile;
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection);
            db.setDatabaseName(path(profile) + "/cartvault.sqlite");
            ok = db.open() && QSqlQuery(db).exec(sql);
        }
        QSqlDatabase::removeDatabase(connection);
        return ok;
    }

private slots:
    // One store reached through links: its data location is a link, and
    // cart 320 links its audio through a linked folder.
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(path("guard-real")) && QDir().mkpath(path("music-real")));
        QVERIFY(QFile::link(path("guard-real"), path("guard-link")) && QFile::link(path("guard-real"), path("guard-alias")));
        QVERIFY(QFile::link(path("music-real"), path("music-link")));
        QCOMPARE(cartvault({"profile", "create", "Guard", "--data", path("guard-link")}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", "Guard", "import", "310", tone("guarded.wav", 1)}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", "Guard", "settings", "set", "AllowLinking", "true"}).exitCode, 0);
        QVERIFY(QFile::copy(path("guarded.wav"), path("music-real/song.wav")));
        QCOMPARE(cartvault({"--profile", "Guard", "import", "320", "--link", path("music-link/song.wav")}).exitCode, 0);
        QVERIFY(QFile::link(path("guard-real/audio/000/000310.r1.wav"), path("to-310.zip")));
    }

    void administratorSession()
    {
        TestWav tone;
        tone.seconds = 1.5;
        QVERIFY(tone.write(path("tone.wav")));

        QCOMPARE(cartvault({"profile", "create", "Studio 1", "--data", path("studio1")}).exitCode, 0);
        QCOMPARE(cartvault({"profile", "create", "Studio 1", "--data", path("studio1")}).exitCode, 1);
        QCOMPARE(cartvault({"--profile", "Studio 1", "user", "add", "presenter", "--cart-rights", "1"}).exitCode, 0);
        QVERIFY(cartvault({"--profile", "Studio 1", "user", "list"}).out.contains("presenter\t1"));
        QCOMPARE(cartvault({"--profile", "Studio 1", "import", "100", path("tone.wav")}).exitCode, 0);

        const Result shown = cartvault({"--profile", "Studio 1", "show", "100", "--json"});
        QCOMPARE(shown.exitCode, 0);
        for (const QByteArray& json : {shown.out, cartvault({"--profile", "Studio 1", "list", "--json"}).out})
            QVERIFY2(JsonShape::problem(json).isEmpty(), qPrintable(JsonShape::problem(json)));
        const QJsonObject cart = QJsonDocument::fromJson(shown.out).object();
        for (const char* key : {"number", "title", "artist", "description", "intro_start", "intro_end", "extro", "length",
                                "audio_length", "audio_file", "linked"})
            QVERIFY2(cart.contains(key), key);
        QCOMPARE(cart.value("number"), QJsonValue(100));
        QCOMPARE(cart.value("audio_length").toDouble(), 1.5);
        QCOMPARE(cart.value("linked").toBool(), false);

        QCOMPARE(cartvault({"--profile", "Studio 1", "settings", "set", "DefaultFormat", "FormatType=32 BitRate=128"}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", "Studio 1", "settings", "set", "LockTimeout", "5"}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", "Studio 1", "settings", "get", "locktimeout"}).out, QByteArray("5\n"));
        QVERIFY(cartvault({"--profile", "Studio 1", "settings", "get", "DefaultFormat"}).out.contains("FormatType=32"));
        QCOMPARE(cartvault({"--profile", "Studio 1", "export", "100", path("cart100.zip")}).exitCode, 0);
        // Used carts and existing files are replaced only when asked; the range
        // cannot leave out a cart that holds audio.
        QCOMPARE(cartvault({"--profile", "Studio 1", "import", "100", path("tone.wav")}).exitCode, 1);
        QCOMPARE(cartvault({"--profile", "Studio 1", "import", "100", path("tone.wav"), "--overwrite"}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", "Studio 1", "export", "100", path("cart100.zip")}).exitCode, 1);
        QCOMPARE(cartvault({"--profile", "Studio 1", "export", "100", path("cart100.zip"), "--force"}).exitCode, 0);
        const Result shrink = cartvault({"--profile", "Studio 1", "settings", "set", "LastCart", "99"});
        QCOMPARE(shrink.exitCode, 1);
        QVERIFY2(shrink.err.contains("Cart 100 holds audio"), shrink.err.constData());
        QVERIFY(cartvault({"--profile", "Studio 1", "audit", "--json"}).out.contains("Import Audio File"));
    }

    // Writing verbs as the store's directory says; reading and export need no
    // rights; nobody raises their own.
    void rightsInEveryVerb_data()
    {
        QTest::addColumn<QString>("ownRow");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        const QString noAccess = "UPDATE users SET cart_rights = -1, administrator = 0";
        const QString absent = "DELETE FROM users";
        const QString presenter = "UPDATE users SET cart_rights = 1, administrator = 0";
        const QString administrator = "UPDATE users SET cart_rights = 1, administrator = 1";
        QTest::newRow("no access: import") << noAccess << QStringList{"import", "201", "tone"} << 1;
        QTest::newRow("no access: list") << noAccess << QStringList{"list"} << 0;
        QTest::newRow("no access: export") << noAccess << QStringList{"export", "200", "out.zip"} << 0;
        QTest::newRow("rights 0: import") << "UPDATE users SET cart_rights = 0" << QStringList{"import", "201", "tone"} << 1;
        QTest::newRow("rights 0: fingerprint") << "UPDATE users SET cart_rights = 0" << QStringList{"fingerprint", "--missing"} << 1;
        QTest::newRow("absent: import") << absent << QStringList{"import", "201", "tone"} << 1;
        QTest::newRow("absent: adds themself") << absent << QStringList{"user", "add", "self", "--cart-rights", "9", "--admin"} << 1;
        QTest::newRow("presenter: import") << presenter << QStringList{"import", "201", "tone"} << 0;
        QTest::newRow("presenter: settings") << presenter << QStringList{"settings", "set", "AllowLinking", "true"} << 1;
        QTest::newRow("presenter: user add") << presenter << QStringList{"user", "add", "guest", "--cart-rights", "1"} << 1;
        QTest::newRow("administrator: raises own") << administrator << QStringList{"user", "add", "self", "--cart-rights", "9", "--admin"} << 1;
        QTest::newRow("administrator: user add") << administrator << QStringList{"user", "add", "guest", "--cart-rights", "1"} << 0;
        QTest::newRow("administrator: settings") << administrator << QStringList{"settings", "set", "AllowLinking", "true"} << 0;
    }

    void rightsInEveryVerb()
    {
        QFETCH(QString, ownRow);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const QString profile = QString("Rights %1").arg(QTest::currentDataTag()).remove(':');
        QCOMPARE(cartvault({"profile", "create", profile, "--data", path(profile)}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", profile, "import", "200", tone("rights.wav", 0.5)}).exitCode, 0);
        QVERIFY(runSqlBehindTheTool(profile, ownRow));
        arguments.replaceInStrings(QRegularExpression("^tone$"), path("rights.wav"));
        arguments.replaceInStrings(QRegularExpression("^self$"), AppPaths::systemUserName());
        arguments.replaceInStrings(QRegularExpression("^out.zip$"), path(profile + ".zip"));
        const Result result = cartvault(QStringList{"--profile", profile} + arguments);
        QVERIFY2(result.exitCode == exitCode, result.err.constData());
    }

    // A re-import killed at each step: `show` and the audio file agree, on the
    // old audio or the new, and the next opening leaves no file no cart names.
    void killedReimportLeavesOldOrNew_data()
    {
        TestStore::addImportFaultRows();
    }

    void killedReimportLeavesOldOrNew()
    {
        QFETCH(QString, step);
        QFETCH(bool, replaced);
        const QString profile = "Killed " + step;
        const QString before = tone("three.wav", 3), after = tone("seven.wav", 7);
        QCOMPARE(cartvault({"profile", "create", profile, "--data", path(profile)}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", profile, "import", "300", before}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", profile, "import", "300", after, "--overwrite"}, step + ":kill").exitCode, -1);

        QJsonObject cart = shownCart(profile, "300");
        QCOMPARE(cart.value("audio_length").toDouble(), replaced ? 7.0 : 3.0);
        QCOMPARE(TestEnvironment::contents(cart.value("audio_file").toString()), TestEnvironment::contents(replaced ? after : before));
        cart = shownCart(profile, "300"); // the first opening after the kill has cleaned up
        QDirIterator files(path(profile) + "/audio", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QStringList found;
        while (files.hasNext())
            found << files.next();
        QCOMPARE(found, QStringList{cart.value("audio_file").toString()});
    }

    // A store in a folder its user cannot write to still lists; writes are
    // refused with the reason.
    void readOnlyStoreLists()
    {
        QCOMPARE(cartvault({"profile", "create", "Archive", "--data", path("Archive")}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", "Archive", "import", "400", tone("archive.wav", 1)}).exitCode, 0);
        // root writes anywhere: read the store as nobody instead.
        const int runner = ::geteuid() == 0 ? 65534 : -1;
        QFile::setPermissions(TestEnvironment::instance()->root(), QFile::Permissions(0x7755));
        QFile::setPermissions(path("Archive"), QFile::Permissions(0x5555));
        const Result listed = cartvault({"--profile", "Archive", "list"}, QString(), runner);
        const Result refused = cartvault({"--profile", "Archive", "import", "401", path("archive.wav")}, QString(), runner);
        QFile::setPermissions(path("Archive"), QFile::Permissions(0x7755));
        QVERIFY2(listed.exitCode == 0, listed.err.constData());
        QVERIFY(listed.out.startsWith("400\t1.00"));
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("read-only"), refused.err.constData());
    }

    // Carts from before the store measured imports are measured after the
    // fact, and a cart filled by 'import' is measured at once. Catches
    // carts skipped or measured twice, values saved to the wrong cart, and
    // an import that leaves its cart unmeasured.
    void loudnessOfOlderCartsIsMeasured()
    {
        QCOMPARE(cartvault({"profile", "create", "Levels", "--data", path("Levels")}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", "Levels", "import", "500", tone("levels-1.wav", 1)}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", "Levels", "import", "501", tone("levels-2.wav", 2)}).exitCode, 0);
        auto integrated = [this](const QString& cart) {
            return shownCart("Levels", cart).value("loudness").toObject().value("integrated_lufs").toDouble(99);
        };
        const double first = integrated("500");
        const double second = integrated("501");
        QVERIFY(first < 0 && second < 0);
        QVERIFY(runSqlBehindTheTool("Levels", "UPDATE carts SET loudness_measured = 0, loudness_integrated = NULL"));
        QVERIFY(shownCart("Levels", "500").value("loudness").isNull());

        const Result analysed = cartvault({"--profile", "Levels", "analyse", "--missing"});
        QVERIFY2(analysed.exitCode == 0, analysed.err.constData());
        QVERIFY(analysed.out.startsWith("2 carts measured, 0 failed"));
        QCOMPARE(integrated("500"), first);
        QCOMPARE(integrated("501"), second);
        QVERIFY(cartvault({"--profile", "Levels", "analyse", "--missing"}).out.startsWith("0 carts measured"));
    }

    // Opening a profile never makes a store: whatever is missing or wrong is
    // refused by every verb, naming the profile and the path, and the data
    // location is left as it was (here holding cart 1's audio, which a new
    // store would take for its own).
    void openingNeverMakesAStore_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("named"); // besides the profile; DATA: the data location
        QTest::newRow("data location gone") << "data location gone" << "DATA";
        QTest::newRow("database gone") << "database gone" << "DATA/cartvault.sqlite";
        QTest::newRow("database empty") << "database empty" << "DATA/cartvault.sqlite";
        QTest::newRow("not SQLite") << "not SQLite" << "DATA/cartvault.sqlite";
        QTest::newRow("no store schema") << "no store schema" << "DATA/cartvault.sqlite";
        QTest::newRow("unknown backend") << "unknown backend" << "oracle";
    }

    void openingNeverMakesAStore()
    {
        QFETCH(QString, damage);
        QFETCH(QString, named);
        const QString profile = QString("Damaged %1").arg(QTest::currentDataTag());
        const QString data = path(profile), database = data + "/cartvault.sqlite";
        QCOMPARE(cartvault({"profile", "create", profile, "--data", data}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", profile, "import", "1", tone("old.wav", 1)}).exitCode, 0);
        if (damage == "data location gone")
            QVERIFY(QDir(data).removeRecursively());
        else if (damage != "unknown backend")
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(database + suffix);
        if (damage == "database empty" || damage == "not SQLite")
            QVERIFY(!TestEnvironment::writeFile(database, damage == "not SQLite" ? QByteArray(4096, 'x') : QByteArray()).isEmpty());
        if (damage == "no store schema") {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
                db.setDatabaseName(database);
                QVERIFY(db.open() && QSqlQuery(db).exec("CREATE TABLE playlist (title TEXT)"));
            }
            QSqlDatabase::removeDatabase("foreign");
        }
        if (damage == "unknown backend")
            QSettings(ProfileSettings::profileFile(profile), QSettings::IniFormat).setValue("Database/Backend", "oracle");

        const QStringList before = snapshot(data);
        const QString zip = path(profile + ".zip");
        const QList<QStringList> verbs{{"list"}, {"show", "1"}, {"search", "--title", "old"}, {"export", "1", zip}, {"audit"},
                                       {"user", "list"}, {"settings", "list"}, {"import", "1", tone("new.wav", 2), "--overwrite"}};
        for (const QStringList& verb : verbs) {
            const Result result = cartvault(QStringList{"--profile", profile} + verb);
            const QString why = verb.join(' ') + ": " + result.err;
            QVERIFY2(result.exitCode == 1, qPrintable(why));
            QVERIFY2(result.err.contains(QString("'%1'").arg(profile).toUtf8()), qPrintable(why));
            QVERIFY2(result.err.contains(QString(named).replace("DATA", data).toUtf8()), qPrintable(why));
        }
        QCOMPARE(snapshot(data), before);
        QVERIFY(!QFile::exists(zip));
    }

    // Who runs a tool comes from the system's user database only: a user id
    // without an entry there is refused whatever $USER says, and nothing is
    // written, although the store's files are open to everyone.
    void unknownUserIdIsRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("user add") << QStringList{"user", "add", "ghost", "--cart-rights", "1", "--admin"};
        QTest::newRow("import") << QStringList{"import", "501", "tone"};
        QTest::newRow("settings set") << QStringList{"settings", "set", "AllowLinking", "true"};
    }

    void unknownUserIdIsRefused()
    {
        if (::geteuid() != 0)
            QSKIP("only root can run a tool as a user id without an entry");
        QFETCH(QStringList, arguments);
        const QString profile = QString("Ghost %1").arg(QTest::currentDataTag());
        QCOMPARE(cartvault({"profile", "create", profile, "--data", path(profile)}).exitCode, 0);
        QCOMPARE(cartvault({"--profile", profile, "import", "500", tone("ghost.wav", 0.5)}).exitCode, 0);
        QFile::setPermissions(TestEnvironment::instance()->root(), QFile::Permissions(0x7755));
        QCOMPARE(QProcess::execute("chmod", {"-R", "a+rwX", path(profile)}), 0);
        const QByteArray before = shownState(profile);
        arguments.replaceInStrings(QRegularExpression("^tone$"), path("ghost.wav"));
        const Result result = cartvault(QStringList{"--profile", profile} + arguments, QString(), 54321);
        QVERIFY2(result.exitCode == 1, result.err.constData());
        QVERIFY2(result.err.contains("User id 54321 has no entry in the system's user database"), result.err.constData());
        QCOMPARE(shownState(profile), before);
    }

    // Bug: export --force writing its zip over the store's database or a
    // file a cart plays, reached by a path the store's own records do not show.
    void exportNeverWritesOverTheStore_data()
    {
        QTest::addColumn<QString>("target"); // in the test's folder
        QTest::addColumn<QString>("why");
        QTest::newRow("new file in the audio location") << "guard-real/audio/000/new.zip" << "is inside this Cartvault's audio location";
        QTest::newRow("cart's own audio") << "guard-real/audio/000/000310.r1.wav" << "is played by cart 310";
        QTest::newRow("linked audio") << "music-real/song.wav" << "is played by cart 320";
        QTest::newRow("link to a cart's audio") << "to-310.zip" << "is played by cart 310";
        QTest::newRow("database") << "guard-real/cartvault.sqlite" << "is the Cartvault's database";
        QTest::newRow("database log") << "guard-alias/cartvault.sqlite-wal" << "is part of the Cartvault's database";
    }

    void exportNeverWritesOverTheStore()
    {
        QFETCH(QString, target);
        QFETCH(QString, why);
        const QString resolved = QFileInfo(path(target)).canonicalFilePath();
        const QByteArray before = TestEnvironment::contents(path(target));
        const Result result = cartvault({"--profile", "Guard", "export", "310", path(target), "--force"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(QString("'%1' ").arg(path(target)).toUtf8() + why.toUtf8()), result.err.constData());
        QCOMPARE(QFileInfo(path(target)).canonicalFilePath(), resolved);
        QCOMPARE(TestEnvironment::contents(path(target)), before);
    }

    void refusalsAndUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no verb") << QStringList{} << 2;
        QTest::newRow("unknown verb") << QStringList{"frobnicate"} << 2;
        QTest::newRow("missing value") << QStringList{"user", "add", "x", "--cart-rights"} << 2;
        QTest::newRow("unknown option") << QStringList{"list", "--colour"} << 2;
        QTest::newRow("verb help") << QStringList{"import", "--help"} << 0;
        QTest::newRow("verb -h") << QStringList{"import", "-h"} << 0;
        QTest::newRow("help") << QStringList{"help"} << 0;
        QTest::newRow("-h") << QStringList{"-h"} << 0;
        QTest::newRow("help of a verb") << QStringList{"help", "dropbox", "list"} << 0;
        QTest::newRow("no such profile") << QStringList{"--profile", "Nowhere", "list"} << 1;
        QTest::newRow("not a cart") << QStringList{"--profile", "Studio 1", "show", "abc"} << 1;
        QTest::newRow("not a wav") << QStringList{"--profile", "Studio 1", "import", "101", "/etc/hostname"} << 1;
        QTest::newRow("bad setting") << QStringList{"--profile", "Studio 1", "settings", "set", "LastCart", "minus"} << 1;
        QTest::newRow("lock timeout 0") << QStringList{"--profile", "Studio 1", "settings", "set", "LockTimeout", "0"} << 1;
        QTest::newRow("lock timeout above an hour") << QStringList{"--profile", "Studio 1", "settings", "set", "LockTimeout", "3601"} << 1;
        QTest::newRow("bad format") << QStringList{"--profile", "Studio 1", "settings", "set", "DefaultFormat", "FormatType=3"} << 1;
        QTest::newRow("link not allowed") << QStringList{"--profile", "Studio 1", "import", "102", "--link", "/dev/null"} << 1;
    }

    void refusalsAndUsage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const Result result = cartvault(arguments);
        QCOMPARE(result.exitCode, exitCode);
        if (exitCode != 0)
            QVERIFY(result.err.startsWith("cartvault: "));
        else
            QVERIFY(result.out.startsWith("Usage: cartvault"));
    }
};

ORVANE_TEST_MAIN(CartvaultToolTest)
#include "tst_cartvault.moc"
