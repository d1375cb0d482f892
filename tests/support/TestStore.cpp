#include "tests/support/TestStore.h"

#include "frame/library/CartvaultStore.h"
#include "frame/library/Directory.h"
#include "frame/library/LibraryGlobals.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/ProfileSettings.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>
#include <QVariant>

namespace {
QString createPostgresDatabase(QString* error)
{
    ProfileSettings maintenance;
    if (!maintenance.setPostgresConnection(qEnvironmentVariable("ORVANE_TEST_PG"))) {
        *error = QStringLiteral("ORVANE_TEST_PG is not set (run the tests through scripts/with-postgres)");
        return {};
    }
    const QString name = QStringLiteral("orvane_test_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("test-maintenance"));
        db.setHostName(maintenance.pgHost);
        db.setPort(maintenance.pgPort.toInt());
        db.setDatabaseName(maintenance.pgDatabase);
        db.setUserName(maintenance.pgUser);
        if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE ") + name)) {
            *error = db.lastError().text();
            db.close();
            QSqlDatabase::removeDatabase(QStringLiteral("test-maintenance"));
            return {};
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-maintenance"));
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4").arg(maintenance.pgHost).arg(maintenance.pgPort).arg(name, maintenance.pgUser);
}
} // namespace

bool TestStore::postgresAvailable() { return !qEnvironmentVariableIsEmpty("ORVANE_TEST_PG"); }

bool TestStore::saveProfile(const QString& name, Backend backend, QString* error)
{
    ProfileSettings profile;
    profile.LoadProfile(name);
    if (backend == PostgreSQL) {
        const QString conn = createPostgresDatabase(error);
        if (conn.isEmpty() || !profile.setPostgresConnection(conn))
            return false;
    }
    if (!profile.SaveProfile(name)) {
        *error = QStringLiteral("cannot save profile");
        return false;
    }
    return true;
}

bool TestStore::createProfile(const QString& name, Backend backend, QString* error)
{
    if (!saveProfile(name, backend, error))
        return false;
    CartvaultStore store;
    if (!store.CreateStore(name) || !store.SaveProfile(name)) {
        *error = store.lastError();
        return false;
    }
    return true;
}

bool TestStore::setSettings(const QString& name, const QList<QPair<QString, QString>>& settings)
{
    CartvaultStore store;
    if (!store.LoadProfile(name))
        return false;
    for (const auto& [key, value] : settings)
        if (!store.setSettingText(key, value, nullptr))
            return false;
    return store.SaveProfile(name);
}

void TestStore::addImportFaultRows()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("copied") << "copied" << false;
    QTest::newRow("linked") << "linked" << false;
    QTest::newRow("committed") << "committed" << true;
    QTest::newRow("retired") << "retired" << true;
}

void TestStore::addBackendRows()
{
    QTest::addColumn<int>("backend");
    QTest::newRow("sqlite") << int(SQLite);
    QTest::newRow("postgresql") << int(PostgreSQL);
}

TestStore::Session TestStore::open(const QString& name)
{
    Session session;
    session.settings = std::make_unique<AudioSettings>();
    session.settings->LoadProfile(name);
    session.audio = std::make_shared<PlayoutAudio>();
    session.audio->setAudioSettings(session.settings.get());
    if (!session.audio->Initialise())
        session.audio.reset();
    return session;
}

bool TestStore::openAsGlobals(const QString& name)
{
    Session session = open(name);
    if (!session.audio)
        return false;
    gProfileName = name;
    gAudioSettings = std::move(session.settings);
    gPlayoutAudio = session.audio;
    gDirectory = std::make_unique<Directory>();
    gDirectory->ProfileName = name;
    return gDirectory->OpenDefault(false) == 0;
}
