// Rips every track of a generated 10-track CUE/BIN image through CDRipper,
// one after another as the ripping run does, and compares it with the
// cd-paranoia tool ripping the same image to WAV files in batch mode. Both
// read with paranoia's full checking; the outputs are compared byte for byte
// so the two are known to have done the same work. CDRipper syncs each file
// before it reports it finished; the tool does not. CDRipper also verifies
// the rip as a verified run does: the disc's AccurateRip record fetched once
// from a server on 127.0.0.1, each track's CRCs worked out while it is read
// and judged against it (every track must come out accurate).
//
// bench_cdrip [--tracks N] [--seconds S] [--runs R] [--no-verify]
#include "platform/accuraterip/AccurateRipClient.h"
#include "platform/accuraterip/AccurateRipVerdict.h"
#include "platform/cdripper/CDRipper.h"
#include "tests/platform/accuraterip/AccurateRipFormula.h"
#include "tests/platform/accuraterip/FakeAccurateRipServer.h"
#include "tests/platform/cdripper/CueImage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
int option(const QStringList& arguments, const QString& name, int fallback)
{
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1].toInt() : fallback;
}

// CPU seconds (user and system) of this process or of its waited-for children.
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

QString trackFile(const QString& folder, const QString& pattern, int track)
{
    return folder + QLatin1Char('/') + pattern.arg(track, 2, 10, QLatin1Char('0'));
}

// The disc's record as the database would hold it, from the image itself.
QByteArray recordOf(const CueImage& image, int tracks, int sectors)
{
    QList<QPair<int, quint32>> crcs;
    for (int n = 1; n <= tracks; ++n)
        crcs << qMakePair(5, AccurateRipFormula::trackCrcs(image.trackBytes(n), n == 1, n == tracks).v1);
    return AccurateRipFormula::pressing(AccurateRipFormula::disc(QList<int>(tracks, sectors)), crcs);
}

// The record from `server`, none when not verifying; false when it could not be had.
bool fetchRecord(const CDRipper& ripper, const QString& server, std::optional<AccurateRipRecord>& record)
{
    if (server.isEmpty())
        return true;
    const CDRipper::DiscIdentity toc = ripper.discIdentity();
    AccurateRipClient client;
    client.server = server;
    AccurateRipClient::Answer answer =
        client.fetch(AccurateRipDisc::fromToc(toc.trackOffsets, QList<bool>(toc.trackOffsets.size(), true), toc.leadOut));
    record = answer.record;
    return answer.kind == AccurateRipClient::Answer::Found;
}

// Seconds for CDRipper to rip (and, with a server, verify) every track into
// `folder`, or -1 on a failure.
double ripWithComponent(int tracks, const QString& folder, const QString& server)
{
    CDRipper ripper;
    if (!ripper.OpenDrive(0) || !ripper.ReadDisc() || ripper.TrackCount() != tracks)
        return -1;
    QElapsedTimer timer;
    timer.start();
    std::optional<AccurateRipRecord> record;
    if (!fetchRecord(ripper, server, record))
        return -1;
    ripper.setChecksums(record.has_value());
    QEventLoop loop;
    int track = 1;
    bool failed = false;
    auto ripNext = [&] {
        if (track > tracks || !ripper.RipTrack(track, trackFile(folder, QStringLiteral("track%1.wav"), track), track))
            loop.quit();
        ++track;
    };
    QObject::connect(&ripper, &CDRipper::RipFinished, &loop, [&] {
        if (record && AccurateRipVerdict::judge(&*record, track - 1, ripper.lastChecksums().value_or(AccurateRipChecksum::Sums{}))
                              .kind != AccurateRipVerdict::Accurate) {
            failed = true;
            return loop.quit();
        }
        ripNext();
    });
    QObject::connect(&ripper, &CDRipper::RipStatus, &loop, [&](int code, qint32) {
        if (code == CDRipper::FileAborted) {
            failed = true;
            loop.quit();
        }
    });
    ripNext();
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    return failed || track != tracks + 2 ? -1 : seconds;
}

double ripWithTool(const QString& cue, const QString& folder)
{
    QProcess tool;
    tool.setWorkingDirectory(folder);
    // It complains that an image cannot change its read speed; nothing else
    // would be said with -q.
    tool.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    tool.start(QStringLiteral("cd-paranoia"), {QStringLiteral("-d"), cue, QStringLiteral("-B"), QStringLiteral("-q")});
    if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

QByteArray samples(const QString& wav)
{
    QFile file(wav);
    return file.open(QIODevice::ReadOnly) ? file.readAll().mid(44) : QByteArray();
}

bool sameAudio(const CueImage& image, int tracks, const QString& ours, const QString& theirs)
{
    for (int n = 1; n <= tracks; ++n) {
        const QByteArray expected = image.trackBytes(n);
        if (samples(trackFile(ours, QStringLiteral("track%1.wav"), n)) != expected ||
            samples(trackFile(theirs, QStringLiteral("track%1.cdda.wav"), n)) != expected)
            return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int tracks = option(arguments, QStringLiteral("--tracks"), 10);
    const int seconds = option(arguments, QStringLiteral("--seconds"), 30);
    const int runs = option(arguments, QStringLiteral("--runs"), 6);
    const bool verify = !arguments.contains(QStringLiteral("--no-verify"));

    QTemporaryDir work;
    const CueImage image(work.path(), QStringLiteral("disc"),
                         QList<CueImage::Track>(tracks, {seconds * CDRipper::kSectorsPerSecond, true}));
    if (!image.write()) {
        std::fprintf(stderr, "cannot write the disc image\n");
        return 1;
    }
    qputenv("ORVANE_CD_DEVICE", QFile::encodeName(image.cuePath()));
    FakeAccurateRipServer server;
    server.records.insert(AccurateRipFormula::disc(QList<int>(tracks, seconds * CDRipper::kSectorsPerSecond)).path,
                          recordOf(image, tracks, seconds * CDRipper::kSectorsPerSecond));

    double ours = 0, theirs = 0, ourCpu = 0, theirCpu = 0;
    for (int run = 1; run <= runs; ++run) {
        const QString ourFolder = work.filePath(QStringLiteral("ours%1").arg(run));
        const QString theirFolder = work.filePath(QStringLiteral("theirs%1").arg(run));
        QDir().mkpath(ourFolder);
        QDir().mkpath(theirFolder);
        double a = 0, b = 0;
        auto timeOurs = [&] {
            const double cpuBefore = cpuSeconds(RUSAGE_SELF);
            a = ripWithComponent(tracks, ourFolder, verify ? server.address() : QString());
            ourCpu += cpuSeconds(RUSAGE_SELF) - cpuBefore;
        };
        auto timeTheirs = [&] {
            const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
            b = ripWithTool(image.cuePath(), theirFolder);
            theirCpu += cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
        };
        // Each side starts with the other's files on disk, not still being
        // written back in the background, and they take turns going first.
        ::sync();
        run % 2 ? timeOurs() : timeTheirs();
        ::sync();
        run % 2 ? timeTheirs() : timeOurs();
        if (a < 0 || b < 0 || !sameAudio(image, tracks, ourFolder, theirFolder)) {
            std::fprintf(stderr, "run %d: a rip failed or the WAV files differ from the image\n", run);
            return 1;
        }
        std::printf("run %d: CDRipper %.3f s, cd-paranoia %.3f s\n", run, a, b);
        ours += a;
        theirs += b;
        QDir(ourFolder).removeRecursively();
        QDir(theirFolder).removeRecursively();
    }
    std::printf("image: %d tracks of %d s (CUE/BIN), %d runs, both bit-exact%s\n", tracks, seconds, runs,
                verify ? ", CDRipper's rips verified accurate" : "");
    std::printf("CDRipper: %.3f s per disc (%.0fx real time), %.3f s CPU\n", ours / runs,
                tracks * seconds / (ours / runs), ourCpu / runs);
    std::printf("peer: cd-paranoia -B: %.3f s per disc, %.3f s CPU (CDRipper / peer = %.2f, CPU %.2f)\n", theirs / runs,
                theirCpu / runs, ours / theirs, ourCpu / theirCpu);
    return 0;
}
