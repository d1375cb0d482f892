#include "tests/support/RiffBytes.h"
#include "wizard/FileListBuilder.h"
#include "wizard/ImportItemList.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

// bench_addfolder [--files N] [--seconds S] [--work DIR]
//   fills a folder with N files of S seconds (WAV with cart and bext chunks,
//   CBR and VBR MP3, Ogg, WMA, every tenth with a description file), then
//   times adding it to a file list the way Add Folder does against a loop of
//   the ffprobe tool over the same files.

namespace {

int runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

bool ffmpeg(const QStringList& arguments)
{
    return runTool(QStringLiteral("ffmpeg"),
                   QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + arguments) == 0;
}

// A PCM tone with the chunks a station's playout software writes.
QByteArray stationWave(int seconds)
{
    using namespace RiffBytes;
    const int rate = 44100;
    QByteArray samples(qsizetype(rate) * seconds * 4, '\0');
    auto* out = reinterpret_cast<qint16*>(samples.data());
    for (qsizetype i = 0; i < qsizetype(rate) * seconds; ++i)
        out[2 * i] = out[2 * i + 1] = qint16(8000 * std::sin(2 * M_PI * 440 * double(i) / rate));
    QByteArray cart(2048, '\0');
    cart.replace(0, 4, "0101");
    cart.replace(4, 13, "Station title");
    cart.replace(68, 14, "Station artist");
    QByteArray bext(602, '\0');
    bext.replace(0, 16, "Bext description");
    bext.replace(256, 10, "Originator");
    return riff("WAVE", chunk("fmt ", pcmFormat(2, rate, 16)) + chunk("cart", cart) + chunk("bext", bext)
                            + chunk("data", samples));
}

struct Kind {
    const char* extension;
    QStringList codec;
    int share; // files per 20
};

bool makeFolder(const QString& work, const QString& folder, int files, int seconds)
{
    const QString tone = work + QStringLiteral("/tone.wav");
    QFile wave(tone);
    if (!wave.open(QIODevice::WriteOnly) || wave.write(stationWave(seconds)) < 0)
        return false;
    wave.close();
    const Kind kinds[] = {
        {"wav", {}, 5},
        {"mp3", {"-c:a", "libmp3lame", "-b:a", "192k", "-metadata", "title=Tagged", "-metadata", "artist=Band"}, 5},
        {"mp3", {"-c:a", "libmp3lame", "-q:a", "2", "-metadata", "title=Variable"}, 4},
        {"ogg", {"-c:a", "libvorbis", "-q:a", "5", "-metadata", "title=Vorbis"}, 3},
        {"wma", {"-c:a", "wmav2", "-b:a", "128k", "-metadata", "title=Media"}, 3},
    };
    QStringList sources;
    for (const Kind& kind : kinds) {
        const QString source = work + QStringLiteral("/source-%1.%2").arg(sources.size()).arg(kind.extension);
        QFile::remove(source);
        if (kind.codec.isEmpty() ? !QFile::copy(tone, source) : !ffmpeg(QStringList{"-i", tone} + kind.codec + QStringList{source}))
            return false;
        for (int i = 0; i < kind.share; ++i)
            sources << source;
    }
    // Real copies, not links: every file is read as a file of its own.
    for (int n = 0; n < files; ++n) {
        const QString source = sources.at(n % sources.size());
        const QString stem = folder + QStringLiteral("/Artist %1 - Title %1").arg(n, 4, 10, QLatin1Char('0'));
        if (!QFile::copy(source, stem + QLatin1Char('.') + QFileInfo(source).suffix()))
            return false;
        if (n % 10 == 0) {
            QFile csv(stem + QStringLiteral(".CSV"));
            if (!csv.open(QIODevice::WriteOnly))
                return false;
            csv.write("#Separator: ,\n#Fields: Id,Title,Interpret,Intro\n1,Described,Someone,0'01.5\n");
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int files = 1000;
    int seconds = 30;
    QString work;
    const QStringList arguments = app.arguments().mid(1);
    for (int i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments.at(i) == QLatin1String("--files"))
            files = std::max(1, arguments.at(i + 1).toInt());
        else if (arguments.at(i) == QLatin1String("--seconds"))
            seconds = std::max(1, arguments.at(i + 1).toInt());
        else if (arguments.at(i) == QLatin1String("--work"))
            work = arguments.at(i + 1);
    }
    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/addfolder-bench-XXXXXX"));
    if (work.isEmpty())
        work = temporary.path();
    const QString folder = work + QStringLiteral("/folder");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    std::printf("Making %d files of %d s in %s ...\n", files, seconds, qPrintable(folder));
    std::fflush(stdout);
    if (!makeFolder(work, folder, files, seconds)) {
        std::fprintf(stderr, "could not make the folder\n");
        return 1;
    }

    ImportItemList list(true);
    FileImportOptions options;
    QElapsedTimer timer;
    timer.start();
    const int added = FileListBuilder(list, options).addFolder(folder, [](int) {});
    const double ours = timer.nsecsElapsed() / 1e9;

    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    timer.restart();
    int probed = 0;
    for (const QString& name : names)
        if (!name.endsWith(QLatin1String(".CSV"))
            && runTool(QStringLiteral("ffprobe"), {"-v", "error", "-show_format", "-show_streams",
                                                   QDir(folder).filePath(name)})
                   == 0)
            ++probed;
    const double peer = timer.nsecsElapsed() / 1e9;

    // One row of each kind, to see that the speed did not come from skipping
    // the work.
    QStringList shown;
    for (const ImportItem& row : list.items()) {
        const QString kind = QFileInfo(row.field("FILENAME")).suffix() + (row.field("INTROEND").isEmpty() ? "" : "+csv");
        if (shown.contains(kind))
            continue;
        shown << kind;
        std::printf("  %-28s %-9s %-12s %-14s intro end %s\n", qPrintable(row.field("FILENAME")),
                    qPrintable(row.field("LENGTH")), qPrintable(row.field("TITLE")), qPrintable(row.field("ARTIST")),
                    qPrintable(row.field("INTROEND")));
    }
    std::printf("add folder (a)     %8.3f s  (%d rows)\n", ours, added);
    std::printf("ffprobe loop (b)   %8.3f s  (%d files)\n", peer, probed);
    std::printf("ratio b/a          %8.1f x  (target >= 10: %s)\n", peer / ours, peer / ours >= 10 ? "met" : "MISSED");
    return added == files && probed == files ? 0 : 1;
}
