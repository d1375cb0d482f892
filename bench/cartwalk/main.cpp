// Walks a 100,000-cart store the way the matching search does
// (FirstFreeCart(""), then NextCartNumber + GetCart to the end), and compares
// it with the sqlite3 tool reading every row in one statement, the least work
// that could give the same answers.
#include "frame/library/AudioSettings.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/ProfileSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>

namespace {
constexpr int kCarts = 100000;

// A new database on the cluster ORVANE_TEST_PG names (scripts/with-postgres),
// or an empty text when there is none.
QString newPostgresDatabase()
{
    ProfileSettings maintenance;
    if (!maintenance.setPostgresConnection(qEnvironmentVariable("ORVANE_TEST_PG")))
        return {};
    const QString name = QStringLiteral("cartwalk_%1").arg(QCoreApplication::applicationPid());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-maintenance"));
        db.setHostName(maintenance.pgHost);
        db.setPort(maintenance.pgPort.toInt());
        db.setDatabaseName(maintenance.pgDatabase);
        db.setUserName(maintenance.pgUser);
        const bool made = db.open() && QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE ") + name);
        db.close();
        if (!made)
            return {};
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-maintenance"));
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4").arg(maintenance.pgHost).arg(maintenance.pgPort).arg(name, maintenance.pgUser);
}

bool fillStore(const QString& profileName, const QString& postgres)
{
    ProfileSettings profile;
    profile.LoadProfile(profileName);
    if (!postgres.isEmpty())
        profile.setPostgresConnection(postgres);
    profile.SaveProfile(profileName);
    CartvaultStore store;
    QString error;
    if (!store.CreateStore(profileName) || !store.setSettingText(QStringLiteral("LastCart"), QString::number(kCarts), &error) || !store.SaveProfile(profileName))
        return false;
    auto db = store.database();
    // Carts 1..50000 hold audio, then every other one: FirstFreeCart("") has
    // to get past 50,000 carts in use.
    return db->write([&] {
        QSqlQuery& q = db->query(QStringLiteral(
            "INSERT INTO carts (number, title, artist, audio_length, length) VALUES (?, ?, ?, ?, ?)"));
        for (int n = 1; n <= kCarts; ++n) {
            q.addBindValue(n);
            q.addBindValue(QStringLiteral("Title %1").arg(n));
            q.addBindValue(QStringLiteral("Artist %1").arg(n % 977));
            q.addBindValue(n <= kCarts / 2 || n % 2 ? 180.0 : -1.0);
            q.addBindValue(180.0);
            if (!db->exec(q))
                return false;
        }
        return true;
    });
}
} // namespace

// The walk the search does on one store; its time in ms, or -1.
double walk(const QString& profileName, const char* backend)
{
    AudioSettings settings;
    settings.LoadProfile(profileName);
    PlayoutAudio audio;
    audio.setAudioSettings(&settings);
    if (!audio.Initialise())
        return -1;
    QElapsedTimer timer;
    timer.start();
    const QString firstFree = audio.FirstFreeCart(QString());
    const double firstFreeMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    int visited = 0, holding = 0;
    for (QString cart = audio.FirstValidCart(QString()); !cart.isEmpty(); cart = audio.NextCartNumber(cart)) {
        const auto record = audio.GetCart(cart);
        ++visited;
        holding += record && record->holdsAudio();
    }
    const double walkMs = timer.nsecsElapsed() / 1e6;
    std::printf("%s store: %d carts, %d holding audio\n", backend, visited, holding);
    std::printf("  FirstFreeCart(\"\") = %s in %.2f ms\n", qPrintable(firstFree), firstFreeMs);
    std::printf("  walk NextCartNumber + GetCart: %.1f ms in all, %.2f us per cart\n", walkMs, walkMs * 1000 / visited);
    return walkMs;
}

int main(int argc, char** argv)
{
    QTemporaryDir root;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qputenv(variable, root.path().toUtf8() + "/" + variable);
    QCoreApplication app(argc, argv);
    const QString profileName = QStringLiteral("Bench");
    if (!fillStore(profileName, QString())) {
        std::fprintf(stderr, "cannot build the bench store\n");
        return 1;
    }
    const double walkMs = walk(profileName, "SQLite");
    if (walkMs < 0)
        return 1;

    ProfileSettings profile;
    profile.LoadProfile(profileName);
    QProcess peer;
    QElapsedTimer timer;
    timer.start();
    peer.start(QStringLiteral("sqlite3"), {profile.sqliteFile(), QStringLiteral("SELECT * FROM carts ORDER BY number")});
    peer.waitForFinished(-1);
    const double peerMs = timer.nsecsElapsed() / 1e6;
    std::printf("peer: sqlite3 reading all rows in one statement: %.1f ms (walk / peer = %.2f)\n", peerMs, walkMs / peerMs);

    const QString postgres = newPostgresDatabase();
    if (postgres.isEmpty()) {
        std::printf("PostgreSQL: no cluster (run through scripts/with-postgres for that half)\n");
        return 0;
    }
    if (!fillStore(QStringLiteral("BenchPG"), postgres)) {
        std::fprintf(stderr, "cannot build the PostgreSQL bench store\n");
        return 1;
    }
    const double postgresMs = walk(QStringLiteral("BenchPG"), "PostgreSQL");
    std::printf("PostgreSQL walk / SQLite walk = %.2f (target <= 2)\n", postgresMs / walkMs);
    return 0;
}
