#include "app/ToolCommandLine.h"
#include "app/ToolStartup.h"
#include "frame/AppPaths.h"
#include "frame/Messenger.h"
#include "frame/WriteLog.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/Directory.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/LibraryDialogs.h"
#include "frame/library/LibraryGlobals.h"
#include "frame/library/ProfileSettings.h"
#include "frame/library/RegistryTools.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {
// Answers the library's questions the way a test wants.
struct ScriptedDialogs : LibraryDialogs {
    bool acceptProfile = false;
    QString dataLocation;
    bool acceptLocations = false;
    QString chooseProfile(const QStringList&, const QString&) override { return {}; }
    bool editProfile(ProfileSettings& profile) override
    {
        profile.DataLocation = dataLocation;
        return acceptProfile;
    }
    bool editLocations(CartvaultStore&) override { return acceptLocations; }
    bool chooseFormat(AudioFormat&, qint32, const QString&) override { return false; }
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    QStringList problems;
    void showProblem(const QString& text) override { problems << text; }
};

QStringList logMessages()
{
    QFile file(LogFilePath());
    QStringList messages;
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    for (const QString& line : QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts))
        messages << QString(line).remove(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d( +\\d+ +\\d+)? ")).trimmed();
    return messages;
}
} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

    ScriptedDialogs m_dialogs;
    ScriptedMessenger m_messenger;

    bool start(const QString& commandLine)
    {
        ToolCommandLine::setCurrent(commandLine);
        QString profile;
        return InitialiseTool(2, false, profile);
    }

private slots:
    void initTestCase()
    {
        LibraryDialogs::install(&m_dialogs);
        Messenger::install(&m_messenger);
    }

    void cleanupTestCase() { TerminateTool(); }

    void init()
    {
        TerminateTool();
        GeneralTools::setDebugLevel(0);
        QFile::remove(LogFilePath());
        m_dialogs = ScriptedDialogs();
        m_messenger.shown.clear();
        gProfileName.clear();
    }

    void firstStartLogsEveryStep()
    {
        QVERIFY(start("/DEBUG=NORMAL /SILENT"));
        QVERIFY(gSilent);
        QCOMPARE(gProfileName, QString("Default"));
        const QStringList expected{
            "Read StartupOptions /DEBUG=NORMAL /SILENT",
            "Creating Orvane Libraries",
            "Getting Profile Name",
            "Profile Chosen: 'Default'",
            "Loading Profile 'Default' into Orvane Library",
            "Orvane Library - CheckSettings",
            "Discovered - Saving Profile",
            "Creating Tarnwick Directory Interface",
            "Opening Default Directory",
            "Creating Audio Settings Interface",
            "Loading Profile 'Default' into Audio Settings Interface",
            "Creating Cartvault Interface",
            "Loading Profile 'Default' into Cartvault Interface",
            "Cartvault Library - CheckSettings",
            "Discovered - Saving Profile",
            "Creating Playout Interface",
            "Creating Playout Interface (General)",
            "Creating Playout Interface (Audio)",
            "Creating Playout Interface (Logging)",
            "Finished OK",
        };
        QCOMPARE(logMessages(), expected);
        QVERIFY(CanEditCarts(false));
        TerminateTool();
        QCOMPARE(logMessages().mid(expected.size()), QStringList({"Start TerminateTool", "Finished OK"}));
        QVERIFY(!gPlayoutAudio && !gDirectory && !gLibrary);

        // The second start finds everything saved, and logging was already on
        // (at the highest level), so the command line is not asked.
        GeneralTools::setDebugLevel(10);
        QVERIFY(start("/DEBUG=OFF /SILENT /Profile=Default"));
        const QStringList second = logMessages();
        QVERIFY(second.contains("Started InitialiseTool"));
        QVERIFY(second.contains("Getting Profile Name (Forcing 'Default')"));
        QCOMPARE(second.count("Settings OK"), 2);
        // At the highest level every line carries the memory figures, ten wide.
        QFile file(LogFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString last = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts).last();
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d [ \\d]{9}\\d [ \\d]{9}\\d Finished OK$").match(last).hasMatch(),
                 qPrintable(last));
    }

    void failureExitsEndWithTheirLine_data()
    {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QString>("lastLine");
        QTest::addColumn<QString>("reason"); // shown, and logged before the last line; empty: the person cancelled
        QTest::newRow("no profile") << "" << "No Profile chosen so finished" << "There is no profile 'Nowhere'";
        QTest::newRow("settings cancelled") << "bad-data" << "Cancelled so finished" << "";
        QTest::newRow("no data location") << "bad-data,accept-empty" << "No Data location so finished" << "";
        QTest::newRow("directory not opened") << "postgres-nowhere" << "Failed so finished" << "Cannot open the Cartvault database host=127.0.0.1";
        QTest::newRow("damaged store") << "damaged" << "Failed so finished" << "file is not a database";
        QTest::newRow("no store") << "no-store" << "Failed so finished" << "of profile 'Exit no store' does not exist";
        QTest::newRow("locations cancelled") << "no-location" << "Cancelled so finished" << "";
        QTest::newRow("no primary location") << "no-location,accept-locations" << "No primary Audio location so finished" << "";
    }

    void failureExitsEndWithTheirLine()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, lastLine);
        QFETCH(QString, reason);
        const QString name = QString("Exit %1").arg(QTest::currentDataTag());
        ProfileSettings profile;
        profile.LoadProfile(name);
        if (setUp.contains("bad-data"))
            profile.DataLocation = "not/absolute";
        if (setUp.contains("postgres-nowhere"))
            QVERIFY(profile.setPostgresConnection("host=127.0.0.1 port=1 dbname=none user=nobody"));
        if (!setUp.isEmpty())
            QVERIFY(profile.SaveProfile(name));
        if (setUp == "damaged") {
            QVERIFY(QDir().mkpath(profile.DataLocation));
            QVERIFY(!TestEnvironment::writeFile(profile.sqliteFile(), QByteArray(4096, 'x')).isEmpty());
        }
        if (setUp.contains("no-location")) {
            CartvaultStore store;
            QVERIFY(store.CreateStore(name));
            auto db = store.database();
            QVERIFY(db->write([&] { return db->putSetting("location.1", ""); }));
        }
        m_dialogs.acceptProfile = setUp.contains("accept-empty");
        m_dialogs.acceptLocations = setUp.contains("accept-locations");

        const QString forced = setUp.isEmpty() ? "/Profile=Nowhere" : QString("/Profile=\"%1\"").arg(name);
        QVERIFY(!start("/DEBUG=NORMAL " + forced));
        const QStringList messages = logMessages();
        QCOMPARE(messages.last(), lastLine);
        QCOMPARE(m_dialogs.problems.size(), reason.isEmpty() ? 0 : 1);
        if (!reason.isEmpty()) {
            QVERIFY2(m_dialogs.problems.first().contains(reason), qPrintable(m_dialogs.problems.first()));
            QCOMPARE(messages.at(messages.size() - 2), m_dialogs.problems.first());
        }
    }

    void debugLevelChoice_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<int>("registry");
        QTest::addColumn<int>("preset");
        QTest::addColumn<int>("level");
        QTest::newRow("alone") << "/DEBUG" << 3 << 0 << 10;
        QTest::newRow("normal") << "/debug=normal" << 3 << 0 << 5;
        QTest::newRow("medium") << "/DEBUG=MEDIUM /SILENT" << 3 << 0 << 5;
        QTest::newRow("off keeps registry out") << "/DEBUG=OFF" << 3 << 0 << 0;
        QTest::newRow("unknown mode") << "/DEBUG=LOUD" << 0 << 0 << 10;
        QTest::newRow("registry") << "/SILENT" << 3 << 0 << 3;
        QTest::newRow("already set") << "/DEBUG=OFF" << 3 << 7 << 7;
    }

    void debugLevelChoice()
    {
        QFETCH(QString, commandLine);
        QFETCH(int, registry);
        QFETCH(int, preset);
        QFETCH(int, level);
        QVERIFY(RegistryTools::SetRegLong(RegistryTools::LocalMachine, RegistryTools::productKey(), "DebugMode", registry));
        GeneralTools::setDebugLevel(preset);
        ToolCommandLine::setCurrent(commandLine);
        ReadDebugMode();
        QCOMPARE(GeneralTools::DebugLevel(), level);
    }

    void playersOverride_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("players");
        QTest::newRow("zero") << "/PLAYERS=0" << 4;
        QTest::newRow("text") << "/PLAYERS=abc" << 4;
        QTest::newRow("empty") << "/PLAYERS=" << 4;
        QTest::newRow("same") << "/PLAYERS=4" << 4;
        QTest::newRow("six") << "/players=6" << 6;
        QTest::newRow("rounded") << "/PLAYERS=2.5" << 2;
        QTest::newRow("beyond 32 bits") << "/PLAYERS=99999999999" << 4;
    }

    void playersOverride()
    {
        QFETCH(QString, option);
        QFETCH(int, players);
        QVERIFY(start("/SILENT /DEBUG=NORMAL /Profile=Default " + option));
        QCOMPARE(gAudioSettings->NumberPlayers(), players);
        const bool logged = logMessages().contains(QString("Overriding NumberPlayers to %1").arg(players));
        QCOMPARE(logged, players != 4);
    }

    void commandLineFromArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("profile");
        QTest::newRow("quoted name") << QStringList{"/Profile=Studio 2", "/silent"} << "/Profile=\"Studio 2\" /silent" << "Studio 2";
        QTest::newRow("platform spelling") << QStringList{"--profile", "Studio 2", "--debug=max"} << "/Profile=\"Studio 2\" /DEBUG=max" << "Studio 2";
        QTest::newRow("name at the end") << QStringList{"--silent", "--profile=Late"} << "/SILENT /Profile=Late" << "Late";
    }

    void commandLineFromArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, commandLine);
        QFETCH(QString, profile);
        const QString joined = ToolCommandLine::fromArguments(arguments);
        QCOMPARE(joined, commandLine);
        QString error;
        QVERIFY2(TestStore::createProfile(profile, TestStore::SQLite, &error), qPrintable(error));
        QVERIFY(start(joined));
        QCOMPARE(gProfileName, profile);
        QVERIFY(gSilent || !joined.contains("SILENT", Qt::CaseInsensitive));
    }

    void cartRightsRefusals()
    {
        QVERIFY(!CanEditCarts(false));
        QVERIFY(start("/SILENT"));
        // Set behind the tool's back: nobody may change their own rights through it.
        auto setOwnRights = [](int rights) {
            return gDirectory->database()->execDirect(QString("UPDATE users SET cart_rights = %1").arg(rights));
        };
        QVERIFY(setOwnRights(-1));
        QCOMPARE(gDirectory->OpenDefault(true), 0);
        QVERIFY(!CanEditCarts(true));
        QCOMPARE(m_messenger.shown.size(), 1); // the silent call showed nothing
        QVERIFY(!CanEditCarts(false));
        QVERIFY(setOwnRights(0));
        QCOMPARE(gDirectory->OpenDefault(true), 0);
        QVERIFY(CanEditCarts(false)); // the wizard refuses rights 0 itself
        gDirectory->EndSession();
        QVERIFY(!CanEditCarts(false));
        TerminateTool();
        QCOMPARE(m_messenger.texts(),
                 QStringList({"You cannot edit any Carts because the Tarnwick Directory has not been opened yet",
                              "You do not have permissions to edit any carts on the Cartvault",
                              "You cannot edit any Carts because you are not Logged in to the Tarnwick Directory"}));
        QVERIFY(m_messenger.shown.first().icon == MessageIcon::Exclamation);
    }
};

ORVANE_WIDGET_TEST_MAIN(StartupTest)
#include "tst_startup.moc"
