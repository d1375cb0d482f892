// The reads that visit the whole store, on a store of SIZE cart numbers
// (default 100,000): the first free cart (the first half of the numbers hold
// audio, then every other one), the walk the matching search does
// (NextCartNumber + GetCart to the end), `cartvault list` (the tool, its
// lines thrown away), `cartvault search` and a read of every
// cart holding audio in blocks, as whole-store checks do. Each is given per
// cart it passes. On SQLite the walk is compared with the sqlite3 tool
// reading every row in one statement, the least work that could give the
// same answers. A SIZE above 100,000 is measured beside a store of 100,000:
// a cart should cost no more in the big store (target: at most 1.2 times).
//
//   bench_cartwalk [SIZE]        (through scripts/with-postgres for PostgreSQL too)
#include "frame/library/AudioSettings.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/ProfileSettings.h"
#include "wizard/MatchSearch.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr qint64 kReferenceSize = 100000;

// A new database on the cluster ORVANE_TEST_PG names (scripts/with-postgres),
// or an empty text when there is none.
QString newPostgresDatabase(qint64 size)
{
    ProfileSettings maintenance;
    if (!maintenance.setPostgresConnection(qEnvironmentVariable("ORVANE_TEST_PG")))
        return {};
    const QString name = QStringLiteral("cartwalk_%1_%2").arg(QCoreApplication::applicationPid()).arg(size);
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

// Carts 1..size/2 hold audio, then every other one: FirstFreeCart("") has to
// get past half the store.
bool fillStore(const QString& profileName, const QString& postgres, qint64 size)
{
    ProfileSettings profile;
    profile.LoadProfile(profileName);
    if (!postgres.isEmpty())
        profile.setPostgresConnection(postgres);
    profile.SaveProfile(profileName);
    CartvaultStore store;
    QString error;
    if (!store.CreateStore(profileName) || !store.setSettingText(QStringLiteral("LastCart"), QString::number(size), &error)
        || !store.SaveProfile(profileName))
        return false;
    auto db = store.database();
    const QString fill = QStringLiteral(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < %1) "
        "INSERT INTO carts (number, title, artist, audio_length, length) "
        "SELECT x, 'Title ' || x, 'Artist ' || (x % 977), CASE WHEN x <= %2 OR x % 2 = 1 THEN 180 ELSE -1 END, 180 FROM n")
                             .arg(size)
                             .arg(size / 2);
    return db->write([&] { return db->execDirect(fill); }) && db->execDirect(postgres.isEmpty() ? QStringLiteral("ANALYZE") : QStringLiteral("VACUUM ANALYZE carts"));
}

// Microseconds per cart of each read.
struct Costs {
    double firstFree = 1e9, walk = 1e9, list = 1e9, search = 1e9, wholeRead = 1e9;
};

// Time since the start, on the clock and in CPU (this process and the
// tools it ran): on a machine others are busy with, the CPU time still
// says what a read costs. A PostgreSQL server's CPU is not in it.
class Stopwatch
{
public:
    Stopwatch() { m_clock.start(); m_cpu = cpuMicroseconds(); }
    void keepFastest(double& wall, double& cpu, qint64 carts) const
    {
        const double n = double(std::max<qint64>(carts, 1));
        wall = std::min(wall, m_clock.nsecsElapsed() / 1e3 / n);
        cpu = std::min(cpu, (cpuMicroseconds() - m_cpu) / n);
    }

private:
    static double cpuMicroseconds()
    {
        double total = 0;
        for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
            rusage usage{};
            getrusage(who, &usage);
            total += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 + usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
        }
        return total;
    }
    QElapsedTimer m_clock;
    double m_cpu = 0;
};

// Each read timed three times, the fastest kept: other work on the machine
// only ever adds time.
constexpr int kRounds = 3;

void printCosts(const char* what, const Costs& costs)
{
    std::printf("  %-4s first free %7.3f, walk %7.3f, cartvault list %7.3f, search %7.3f, whole-store read %7.3f\n", what,
                costs.firstFree, costs.walk, costs.list, costs.search, costs.wholeRead);
}

// Wall and CPU costs of each read on one store.
std::pair<Costs, Costs> measure(const QString& profileName, const char* backend, qint64 size, double* walkMs)
{
    AudioSettings settings;
    settings.LoadProfile(profileName);
    PlayoutAudio audio;
    audio.setAudioSettings(&settings);
    Costs wall, cpu;
    if (!audio.Initialise())
        return {wall, cpu};
    QString firstFree;
    qint64 visited = 0, holding = 0, listed = 0, found = 0, read = 0;
    for (int round = 0; round < kRounds; ++round) {
        {
            Stopwatch watch;
            firstFree = audio.FirstFreeCart(QString());
            watch.keepFastest(wall.firstFree, cpu.firstFree, size / 2);
        }
        {
            Stopwatch watch;
            visited = holding = 0;
            for (QString cart = audio.FirstValidCart(QString()); !cart.isEmpty(); cart = audio.NextCartNumber(cart)) {
                const auto record = audio.GetCart(cart);
                ++visited;
                holding += record && record->holdsAudio();
            }
            watch.keepFastest(wall.walk, cpu.walk, visited);
        }
        {
            Stopwatch watch;
            QProcess list;
            list.setStandardOutputFile(QProcess::nullDevice());
            list.start(QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../../cli/cartvault/cartvault")),
                       {"--profile", profileName, "list"});
            listed = list.waitForFinished(-1) && list.exitCode() == 0 ? holding : 0;
            watch.keepFastest(wall.list, cpu.list, listed);
        }
        {
            Stopwatch watch;
            found = MatchSearch::matchingCarts(audio, QStringLiteral("Title 4711"), QString(), QString()).size();
            watch.keepFastest(wall.search, cpu.search, holding);
        }
        Stopwatch watch;
        read = 0;
        for (qint64 next = 1;;) {
            const QList<CartRecord> block = audio.cartsHoldingAudio(next, 512);
            read += block.size();
            if (block.size() < 512)
                break;
            next = block.last().Number.toLongLong() + 1;
        }
        watch.keepFastest(wall.wholeRead, cpu.wholeRead, read);
    }
    *walkMs = wall.walk * visited / 1000;
    std::printf("%s store of %lld carts, %lld holding audio, first free %s, %lld listed, %lld found, %lld read;\n"
                "microseconds per cart, fastest of %d (walk %.0f ms in all):\n",
                backend, visited, holding, qPrintable(firstFree), listed, found, read, kRounds, *walkMs);
    printCosts("wall", wall);
    printCosts("cpu", cpu);
    return {wall, cpu};
}

void printRatios(const char* what, const Costs& big, const Costs& reference)
{
    std::printf("  %-4s first free %.2f, walk %.2f, list %.2f, search %.2f, whole-store read %.2f\n", what,
                big.firstFree / reference.firstFree, big.walk / reference.walk, big.list / reference.list,
                big.search / reference.search, big.wholeRead / reference.wholeRead);
}

// One store of the backend, filled and measured; false when it cannot be made.
bool storeOf(const QString& backend, qint64 size, std::pair<Costs, Costs>& costs, double* walkMs, QString* sqliteFile)
{
    const bool postgres = backend == QLatin1String("PostgreSQL");
    const QString profileName = backend + QString::number(size);
    const QString database = postgres ? newPostgresDatabase(size) : QString();
    if ((postgres && database.isEmpty()) || !fillStore(profileName, database, size)) {
        std::fprintf(stderr, "cannot build the %s bench store\n", qPrintable(backend));
        return false;
    }
    costs = measure(profileName, qPrintable(backend), size, walkMs);
    if (sqliteFile) {
        ProfileSettings profile;
        profile.LoadProfile(profileName);
        *sqliteFile = profile.sqliteFile();
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir root;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qputenv(variable, root.path().toUtf8() + "/" + variable);
    QCoreApplication app(argc, argv);
    const qint64 size = argc > 1 ? QByteArray(argv[1]).toLongLong() : kReferenceSize;
    if (size < 10 || size > 999999999) {
        std::fprintf(stderr, "usage: bench_cartwalk [SIZE]   (10 to 999999999 carts)\n");
        return 2;
    }
    QStringList backends{QStringLiteral("SQLite")};
    if (!qEnvironmentVariableIsEmpty("ORVANE_TEST_PG"))
        backends << QStringLiteral("PostgreSQL");
    double sqliteWalkMs = 0;
    for (const QString& backend : backends) {
        std::pair<Costs, Costs> reference, big;
        double walkMs = 0;
        QString sqliteFile;
        if (size > kReferenceSize && !storeOf(backend, kReferenceSize, reference, &walkMs, nullptr))
            return 1;
        if (!storeOf(backend, size, big, &walkMs, backend == QLatin1String("SQLite") ? &sqliteFile : nullptr))
            return 1;
        if (size > kReferenceSize) {
            std::printf("%s, per cart at %lld / at %lld (target <= 1.2):\n", qPrintable(backend), size, kReferenceSize);
            printRatios("wall", big.first, reference.first);
            printRatios("cpu", big.second, reference.second);
        }
        if (!sqliteFile.isEmpty()) {
            sqliteWalkMs = walkMs;
            QProcess peer;
            QElapsedTimer timer;
            timer.start();
            peer.start(QStringLiteral("sqlite3"), {sqliteFile, QStringLiteral("SELECT * FROM carts ORDER BY number")});
            peer.waitForFinished(-1);
            const double peerMs = timer.nsecsElapsed() / 1e6;
            std::printf("peer: sqlite3 reading all rows in one statement: %.1f ms (walk / peer = %.2f)\n", peerMs, walkMs / peerMs);
        } else {
            std::printf("PostgreSQL walk / SQLite walk = %.2f (target <= 2)\n", walkMs / sqliteWalkMs);
        }
    }
    if (backends.size() == 1)
        std::printf("PostgreSQL: no cluster (run through scripts/with-postgres for that half)\n");
    return 0;
}
