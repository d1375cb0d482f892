#include "frame/AppPaths.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/Directory.h"
#include "frame/library/DirectoryUser.h"
#include "frame/library/OrvaneLibrary.h"
#include "frame/library/ProfileSettings.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>

// The first run and the choice between profiles.
class ProfilesTest : public QObject
{
    Q_OBJECT

private slots:
    void firstRunMakesTheEmbeddedDefault()
    {
        OrvaneLibrary library;
        // A script's first run makes nothing; the wizard's makes the store.
        QCOMPARE(library.ChooseProfile("", false), QString());
        QVERIFY(!QFileInfo::exists(ProfileSettings::defaultDataLocation("Default")));
        const QString name = library.ChooseProfile("", true);
        QCOMPARE(name, QString("Default"));
        library.Profile().LoadProfile(name);
        QCOMPARE(library.CheckSettings(true, 0), 3); // discovered, not yet saved
        QVERIFY(library.Profile().SaveProfile(name));
        QCOMPARE(library.CheckSettings(true, 0), 2);
        QVERIFY(library.Profile().DataLocation.startsWith(AppPaths::dataFolder()));

        Directory directory;
        directory.ProfileName = name;
        QCOMPARE(directory.OpenDefault(true), 0);
        QVERIFY(directory.CurrentUser());
        QCOMPARE(directory.CurrentUser()->Rights().CartRights, 1);

        CartvaultStore store;
        QVERIFY(store.LoadProfile(name));
        QCOMPARE(store.CheckSettings(), 3);
        QVERIFY(store.SaveProfile(name));
        QCOMPARE(store.CheckSettings(), 2);
        QVERIFY(QDir(store.Location(1)).exists());
    }

    void choosingAmongProfiles()
    {
        OrvaneLibrary library;
        QCOMPARE(library.ChooseProfile("Nowhere", true), QString());
        ProfileSettings studio;
        studio.LoadProfile("Studio 2");
        QVERIFY(studio.SaveProfile("Studio 2"));
        ProfileSettings studio3;
        studio3.LoadProfile("Studio 3");
        QVERIFY(studio3.SaveProfile("Studio 3"));
        QCOMPARE(library.ChooseProfile("Studio 2", true), QString("Studio 2"));
        // A script naming another profile does not change the wizard's default.
        QCOMPARE(library.ChooseProfile("Studio 3", false), QString("Studio 3"));
        // Several profiles: the last one a person chose wins without asking.
        QCOMPARE(library.ChooseProfile("", false), QString("Studio 2"));
        QVERIFY(!ProfileSettings::isValidName("../etc"));
        QVERIFY(!ProfileSettings::isValidName(" padded"));
    }

    void unusableSettingsAreReported()
    {
        OrvaneLibrary library;
        library.Profile().LoadProfile("Default");
        library.Profile().DataLocation = "relative/folder";
        QCOMPARE(library.CheckSettings(true, 0), 1);
        QVERIFY(!library.ShowSettings()); // nobody to ask: cancelled

        ProfileSettings broken;
        broken.LoadProfile("Broken");
        QVERIFY(broken.setPostgresConnection("host=127.0.0.1 port=1 dbname=none user=nobody"));
        QVERIFY(broken.SaveProfile("Broken"));
        Directory directory;
        directory.ProfileName = "Broken";
        QVERIFY(directory.OpenDefault(true) != 0);
        QVERIFY(!directory.lastError().isEmpty());
    }
};

ORVANE_TEST_MAIN(ProfilesTest)
#include "tst_profiles.moc"
