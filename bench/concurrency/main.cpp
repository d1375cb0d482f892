// Many workstations importing into one store at once: one orvane-import-batch
// importing its WAV files alone, then 20 of them at once (each as a
// workstation of its own name, all starting at cart 1 and racing for the
// free carts), into an SQLite store and, run through scripts/with-postgres,
// a PostgreSQL one; then the same files through 1 and through 4 drop-folder
// watchers sharing one folder. Prints carts per second, the ratio of the
// group's throughput to one importer's, the slowest single import, and
// checks with `cartvault list --json` that every file is in exactly one cart.
//
//   bench_concurrency [IMPORTERS [FILES_EACH]]     (default 20 and 10)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {
constexpr double kSeconds = 1.0; // of 44.1 kHz stereo noise per file
constexpr int kWatchers = 4;

QString tool(const char* name)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../../cli/%1/%1").arg(QLatin1String(name)));
}

QByteArray le(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
    return out;
}

bool writeNoise(const QString& path)
{
    QByteArray data(qsizetype(kSeconds * 44100) * 4, Qt::Uninitialized);
    for (char& byte : data)
        byte = char(QRandomGenerator::global()->bounded(256));
    const QByteArray format = le(1, 2) + le(2, 2) + le(44100, 4) + le(44100 * 4, 4) + le(4, 2) + le(16, 2);
    const QByteArray body = "WAVEfmt " + le(format.size(), 4) + format + "data" + le(data.size(), 4) + data;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("RIFF" + le(body.size(), 4) + body) > 0;
}

// Folder `i` of a run: FILES WAV files whose names (the carts' titles) say
// whose they are.
QStringList makeFolders(const QString& root, int folders, int files)
{
    QStringList made;
    for (int i = 0; i < folders; ++i) {
        const QString folder = QStringLiteral("%1/w%2").arg(root).arg(i, 2, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        for (int f = 0; f < files; ++f)
            if (!writeNoise(QStringLiteral("%1/w%2 take %3.wav").arg(folder).arg(i, 2, 10, QLatin1Char('0')).arg(f, 3, 10, QLatin1Char('0'))))
                return {};
        made << folder;
    }
    return made;
}

// A new empty database on the cluster scripts/with-postgres started, as a
// connection text for `cartvault profile create --postgres`; empty without one.
QString newPostgresDatabase(const QString& name)
{
    const QString cluster = qEnvironmentVariable("ORVANE_TEST_PG");
    if (cluster.isEmpty())
        return {};
    QProcess psql;
    psql.start(QStringLiteral("psql"), {"-X", "-q", "-c", "CREATE DATABASE " + name, cluster});
    if (!psql.waitForFinished(-1) || psql.exitCode() != 0)
        return {};
    QString conninfo = cluster;
    return conninfo.replace(QStringLiteral("dbname=postgres"), QStringLiteral("dbname=") + name);
}

bool createStore(const QString& profile, const QString& data, const QString& postgres)
{
    QStringList arguments{"profile", "create", profile, "--data", data};
    if (!postgres.isEmpty())
        arguments << "--postgres" << postgres;
    QProcess create;
    create.start(tool("cartvault"), arguments);
    create.waitForFinished(-1);
    if (create.exitCode() != 0)
        std::fprintf(stderr, "%s", create.readAllStandardError().constData());
    return create.exitCode() == 0;
}

// One process of a run. Each gets a workstation name of its own where this
// user may make one (a UTS namespace: root only); the store's records and
// drop-folder claims name it.
struct Worker {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QByteArray pending;
    qint64 lastLine = 0;
    qint64 slowestItem = 0; // ms between two results lines, or from the start to the first
    qint64 finishedAt = 0;
    QByteArray out;
};

void start(Worker& worker, const QElapsedTimer& clock, int index, const QStringList& arguments)
{
    QProcess* process = worker.process.get();
    QObject::connect(process, &QProcess::readyReadStandardOutput, [&worker, &clock, process] {
        worker.pending += process->readAllStandardOutput();
        for (qsizetype end; (end = worker.pending.indexOf('\n')) >= 0; worker.pending.remove(0, end + 1)) {
            const qint64 now = clock.elapsed();
            worker.slowestItem = std::max(worker.slowestItem, now - worker.lastLine);
            worker.lastLine = now;
            worker.out += worker.pending.left(end + 1);
        }
    });
    QObject::connect(process, &QProcess::finished, [&worker, &clock] { worker.finishedAt = clock.elapsed(); });
    worker.lastLine = clock.elapsed();
    if (geteuid() == 0) {
        const QString script = QStringLiteral("hostname studio-%1 && exec \"$0\" \"$@\"").arg(index);
        process->start(QStringLiteral("unshare"), QStringList{"--uts", "sh", "-c", script, tool("orvane-import-batch")} + arguments);
    } else {
        process->start(tool("orvane-import-batch"), arguments);
    }
}

struct Figures {
    int carts = 0;
    double seconds = 0;
    double slowestItemMs = 0;
    int failedLines = 0;
    QString problem; // lost or doubled items
};

// Every file of the run in exactly one cart, and no cart without one of them.
QString checkStore(const QString& profile, int expected)
{
    QProcess list;
    list.start(tool("cartvault"), {"--profile", profile, "list", "--json"});
    list.waitForFinished(-1);
    const QJsonArray carts = QJsonDocument::fromJson(list.readAllStandardOutput()).array();
    QSet<QString> titles;
    for (const QJsonValue& cart : carts)
        titles << cart.toObject().value(QStringLiteral("title")).toString();
    if (carts.size() != titles.size())
        return QStringLiteral("%1 items doubled").arg(carts.size() - titles.size());
    if (titles.size() != expected)
        return QStringLiteral("%1 items lost").arg(expected - titles.size());
    return {};
}

Figures runAll(const QString& profile, const QList<QStringList>& argumentLists, int expected)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<Worker> workers(argumentLists.size());
    for (int i = 0; i < argumentLists.size(); ++i)
        start(workers[i], clock, i, QStringList{"--profile", profile} + argumentLists.at(i));
    for (Worker& worker : workers)
        while (worker.process->state() != QProcess::NotRunning)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    QCoreApplication::processEvents();
    Figures figures;
    for (Worker& worker : workers) {
        figures.seconds = std::max(figures.seconds, worker.finishedAt / 1000.0);
        figures.slowestItemMs = std::max<double>(figures.slowestItemMs, worker.slowestItem);
        figures.failedLines += worker.out.count("\nfailed\t") + worker.out.startsWith("failed\t");
        if (worker.process->exitCode() != 0)
            std::fprintf(stderr, "%s", worker.process->readAllStandardError().constData());
    }
    figures.carts = expected;
    figures.problem = checkStore(profile, expected);
    return figures;
}

void print(const char* what, const Figures& figures)
{
    std::printf("  %-34s %5d carts in %7.2f s = %7.1f carts/s, slowest import %6.0f ms, %d failed, %s\n", what, figures.carts,
                figures.seconds, figures.carts / figures.seconds, figures.slowestItemMs, figures.failedLines,
                figures.problem.isEmpty() ? "none lost or doubled" : qPrintable(figures.problem));
}

int storeCounter = 0;

// A fresh store of the backend for each run.
QString freshStore(const QString& work, const QString& backend)
{
    const QString profile = QStringLiteral("%1%2").arg(backend).arg(++storeCounter);
    QString postgres;
    if (backend == QLatin1String("PostgreSQL")) {
        postgres = newPostgresDatabase(QStringLiteral("concurrency_%1_%2").arg(QCoreApplication::applicationPid()).arg(storeCounter));
        if (postgres.isEmpty())
            return {};
    }
    return createStore(profile, work + QLatin1Char('/') + profile, postgres) ? profile : QString();
}

bool importers(const QString& work, const QString& backend, const QStringList& folders, int files)
{
    std::printf("%s, %d importers of %d files each, all from cart 1:\n", qPrintable(backend), int(folders.size()), files);
    const QString alone = freshStore(work, backend);
    const QString group = freshStore(work, backend);
    if (alone.isEmpty() || group.isEmpty())
        return false;
    const Figures one = runAll(alone, {{"--start-cart", "1", folders.first()}}, files);
    print("one importer", one);
    QList<QStringList> arguments;
    for (const QString& folder : folders)
        arguments << QStringList{"--start-cart", "1", folder};
    const Figures all = runAll(group, arguments, files * int(folders.size()));
    print(qPrintable(QStringLiteral("%1 importers at once").arg(folders.size())), all);
    std::printf("  group / one importer throughput: %.2f (target >= 1.5)\n",
                (all.carts / all.seconds) / (one.carts / one.seconds));
    return true;
}

bool watchers(const QString& work, const QString& backend, int files)
{
    std::printf("%s, drop-folder watchers sharing one folder of %d files:\n", qPrintable(backend), files);
    Figures figures[2];
    const int counts[2] = {1, kWatchers};
    for (int run = 0; run < 2; ++run) {
        const QString profile = freshStore(work, backend);
        if (profile.isEmpty())
            return false;
        const QString folder = makeFolders(work + QStringLiteral("/drop-") + profile, 1, files).value(0);
        QList<QStringList> arguments;
        for (int i = 0; i < counts[run]; ++i)
            arguments << QStringList{"--watch", folder, "--once", "--settle", "0"};
        figures[run] = runAll(profile, arguments, files);
        print(qPrintable(QStringLiteral("%1 watcher(s)").arg(counts[run])), figures[run]);
    }
    std::printf("  %d watchers / one watcher throughput: %.2f\n", kWatchers,
                (figures[1].carts / figures[1].seconds) / (figures[0].carts / figures[0].seconds));
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int importerCount = arguments.size() > 1 ? arguments.at(1).toInt() : 20;
    const int filesEach = arguments.size() > 2 ? arguments.at(2).toInt() : 10;
    if (importerCount < 1 || filesEach < 1) {
        std::fprintf(stderr, "usage: bench_concurrency [IMPORTERS [FILES_EACH]]\n");
        return 2;
    }
    QTemporaryDir work;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qputenv(variable, (work.path() + QLatin1Char('/') + QLatin1String(variable)).toUtf8());
    const QStringList folders = makeFolders(work.path() + QStringLiteral("/sources"), importerCount, filesEach);
    if (folders.isEmpty())
        return 1;
    std::printf("WAV files of %.1f s (no conversion)%s\n", kSeconds,
                geteuid() == 0 ? ", each process a workstation of its own name" : "");
    QStringList backends{QStringLiteral("SQLite")};
    if (!qEnvironmentVariableIsEmpty("ORVANE_TEST_PG"))
        backends << QStringLiteral("PostgreSQL");
    else
        std::printf("(PostgreSQL: run through scripts/with-postgres for that half)\n");
    for (const QString& backend : backends)
        if (!importers(work.path(), backend, folders, filesEach) || !watchers(work.path(), backend, filesEach * kWatchers))
            return 1;
    return 0;
}
