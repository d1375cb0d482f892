// Imports 100 MP3 files, normalised, into an SQLite store with
// orvane-import-batch, and does the same work the way an engineer would
// script it with the ffmpeg tool (peak scan, gain and resample) and
// `cartvault import`, into a second store of the same kind. Prints both
// times and their ratio, and how many bytes the batch import wrote to disk
// per byte of audio it put into carts (the kernel's count of bytes the
// process dirtied, so the throwaway folders must be on a disk, not tmpfs).
// Runs on throwaway XDG folders.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QDirIterator>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr int kFiles = 100;
constexpr double kPercent = 90;

struct Run {
    int exitCode = -1;
    QByteArray err;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardError()};
}

QString tool(const char* folder)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../../cli/%1/%1").arg(QLatin1String(folder)));
}

bool ffmpeg(const QStringList& arguments)
{
    return run(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + arguments).exitCode == 0;
}

// One 30-second MP3, copied under 100 names.
bool makeFiles(const QString& folder)
{
    const QString first = folder + QStringLiteral("/track000.mp3");
    if (!ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=30", "-ac", "2", "-c:a", "libmp3lame",
                 "-b:a", "192k", first}))
        return false;
    for (int i = 1; i < kFiles; ++i)
        if (!QFile::copy(first, folder + QStringLiteral("/track%1.mp3").arg(i, 3, 10, QLatin1Char('0'))))
            return false;
    return true;
}

double scripted(const QString& folder, const QString& work)
{
    QElapsedTimer timer;
    timer.start();
    int cart = 1;
    for (const QString& name : QDir(folder).entryList({"*.mp3"}, QDir::Files, QDir::Name)) {
        const QString source = folder + QLatin1Char('/') + name;
        const Run detect = run(QStringLiteral("ffmpeg"), {"-hide_banner", "-nostdin", "-i", source, "-af", "volumedetect", "-f", "null", "-"});
        const auto peak = QRegularExpression(QStringLiteral("max_volume: (-?[0-9.]+) dB")).match(QString::fromUtf8(detect.err));
        if (!peak.hasMatch())
            return -1;
        const double gain = 20 * std::log10(kPercent / 100.0) - peak.captured(1).toDouble();
        const QString wav = work + QStringLiteral("/scripted.wav");
        if (!ffmpeg({"-i", source, "-af", QStringLiteral("volume=%1dB,aresample=48000").arg(gain, 0, 'f', 2), "-ac", "2", "-c:a",
                     "pcm_s16le", wav})
            || run(tool("cartvault"), {"--profile", "Scripted", "import", QString::number(cart++), wav}).exitCode != 0)
            return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

// Bytes written to disk by the children this process has waited for.
qint64 childBytesWritten()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<qint64>(usage.ru_oublock) * 512;
}

qint64 folderBytes(const QString& folder)
{
    qint64 bytes = 0;
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        bytes += files.nextFileInfo().size();
    return bytes;
}

double batch(const QString& folder, qint64& written)
{
    QElapsedTimer timer;
    timer.start();
    const qint64 before = childBytesWritten();
    const Run imported = run(tool("orvane-import-batch"),
                             {"--profile", "Batch", "--start-cart", "1", "--normalise=" + QString::number(kPercent), "--quiet", folder});
    if (imported.exitCode != 0) {
        std::fprintf(stderr, "%s", imported.err.constData());
        return -1;
    }
    written = childBytesWritten() - before;
    return timer.nsecsElapsed() / 1e9;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qputenv(variable, (work.path() + QLatin1Char('/') + QLatin1String(variable)).toUtf8());
    const QString files = work.path() + QStringLiteral("/files");
    QDir().mkpath(files);
    if (!makeFiles(files))
        return 1;
    for (const char* profile : {"Batch", "Scripted"})
        if (run(tool("cartvault"), {"profile", "create", profile, "--data", work.path() + QLatin1Char('/') + QLatin1String(profile)}).exitCode != 0)
            return 1;
    std::printf("%d MP3 files of 30 s, normalised to %.0f %% into 48 kHz WAV carts of an SQLite store\n", kFiles, kPercent);
    qint64 written = 0;
    const double ours = batch(files, written);
    const double theirs = scripted(files, work.path());
    if (ours < 0 || theirs < 0)
        return 1;
    std::printf("orvane-import-batch          (a) %8.2f s\n", ours);
    std::printf("ffmpeg two passes + cartvault (b) %8.2f s\n", theirs);
    std::printf("ratio a/b                         %8.3f  (target <= 1.0)\n", ours / theirs);
    const qint64 audio = folderBytes(work.path() + QStringLiteral("/Batch/audio"));
    if (audio > 0)
        std::printf("bytes written per byte of audio   %8.3f  (target <= 1.05; %lld MB of carts)\n",
                    double(written) / audio, audio / 1000000);
    return 0;
}
