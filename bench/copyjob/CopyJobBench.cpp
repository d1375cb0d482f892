#include "CopyJobBench.h"

#include "audio/cCopyAudioFileNCT.h"
#include "platform/fingerprint/AudioFingerprinter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr float TargetPercent = 90.0f;
const QString TargetFormat = QStringLiteral("FormatType=2 SampleRate=48000 Channels=2 BitsPerSample=16");

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.closeWriteChannel();
    ToolRun run;
    if (!process.waitForFinished(-1))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

bool ffmpeg(const QStringList& arguments)
{
    const ToolRun run = runTool(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-loglevel", "error",
                                                                      "-nostdin", "-y"}
                                                              + arguments);
    if (run.exitCode != 0)
        std::fprintf(stderr, "ffmpeg failed: %s\n", run.err.constData());
    return run.exitCode == 0;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).simplified().split(' ').value(0).toLongLong();
    return -1;
}

// Processor time in seconds of the whole process (every thread of it), or
// of the calling thread alone.
double processorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& time) { return double(time.tv_sec) + double(time.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int CopyJobBench::run(const QStringList& arguments)
{
    if (arguments.value(0) == QLatin1String("--convert") && arguments.size() == 3)
        return convertOnce(arguments.at(1), arguments.at(2));
    bool memory = true;
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--runs") && i + 1 < arguments.size())
            m_runs = std::max(1, arguments.at(++i).toInt());
        else if (arguments.at(i) == QLatin1String("--work") && i + 1 < arguments.size())
            m_work = arguments.at(++i);
        else if (arguments.at(i) == QLatin1String("--no-memory"))
            memory = false;
        else {
            std::fprintf(stderr, "usage: bench_copyjob [--runs N] [--work DIR] [--no-memory]\n");
            return 2;
        }
    }
    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/copyjob-bench-XXXXXX"));
    if (m_work.isEmpty())
        m_work = temporary.path();
    QDir().mkpath(m_work);
    if (!makeSources())
        return 1;

    // Ogg and WMA need decoding to count their length, so they show what
    // counting while copying saves; WMA has no target of its own.
    const struct {
        const char* name;
        QString source;
        double target;
    } sources[] = {{"MP3", m_tenMinutes, 0.65}, {"Ogg", m_tenMinutesOgg, 0.6}, {"WMA", m_tenMinutesWma, 0}};
    for (const auto& source : sources) {
        std::printf("Copy job: 10-minute 44.1 kHz stereo %s -> 48 kHz stereo 16-bit WAV, normalised to %.0f %%\n",
                    source.name, TargetPercent);
        QList<double> job, unmeasured, loudness, fingerprinted, tool, jobProcessor, unmeasuredProcessor, jobThread,
            fingerprintedProcessor;
        const QString jobFile = m_work + QStringLiteral("/job.wav");
        for (int i = 0; i < m_runs; ++i) {
            // Alternate, so that neither side always finds the caches warm.
            double processor = 0;
            const double threadBefore = processorSeconds(RUSAGE_THREAD);
            job << timeCopyJob(source.source, jobFile, JobKind::PeakMeasured, &processor);
            jobThread << processorSeconds(RUSAGE_THREAD) - threadBefore;
            jobProcessor << processor;
            tool << timeTool(source.source, m_work + QStringLiteral("/tool.wav"));
            unmeasured << timeCopyJob(source.source, jobFile, JobKind::PeakUnmeasured, &processor);
            unmeasuredProcessor << processor;
            loudness << timeCopyJob(source.source, jobFile, JobKind::Loudness, &processor);
            fingerprinted << timeCopyJob(source.source, jobFile, JobKind::PeakFingerprinted, &processor);
            fingerprintedProcessor << processor;
            std::printf("  run %d: copy job %.3f s, ffmpeg two passes %.3f s, copy job not measuring loudness %.3f s, "
                        "copy job normalising to -23 LUFS %.3f s, copy job fingerprinting too %.3f s\n",
                        i + 1, job.last(), tool.last(), unmeasured.last(), loudness.last(), fingerprinted.last());
            std::fflush(stdout);
            if (job.last() < 0 || tool.last() < 0 || unmeasured.last() < 0 || loudness.last() < 0 || fingerprinted.last() < 0)
                return 1;
        }
        const double a = median(job);
        const double b = median(tool);
        const double c = median(unmeasured);
        const double d = median(loudness);
        const double e = median(fingerprinted);
        std::printf("median copy job (a)          %8.3f s\n", a);
        std::printf("median ffmpeg two passes (b) %8.3f s\n", b);
        std::printf("median not measuring (c)     %8.3f s\n", c);
        std::printf("median to -23 LUFS (d)       %8.3f s\n", d);
        std::printf("median fingerprinting (e)    %8.3f s\n", e);
        if (source.target > 0)
            std::printf("ratio a/b                    %8.3f  (target <= %.2f: %s)\n", a / b, source.target,
                        a / b <= source.target ? "met" : "MISSED");
        else
            std::printf("ratio a/b                    %8.3f\n", a / b);
        std::printf("ratio a/c, measuring's cost  %8.3f  (target <= 1.10: %s)\n", a / c, a / c <= 1.10 ? "met" : "MISSED");
        std::printf("ratio d/c                    %8.3f\n", d / c);
        // An import measures and fingerprints; e against a is what the fingerprint adds.
        std::printf("ratio e/a, fingerprinting's cost %4.3f  (target <= 1.10: %s)\n", e / a, e / a <= 1.10 ? "met" : "MISSED");
        std::printf("processor time e, a          %8.3f s %8.3f s, ratio %.3f\n", median(fingerprintedProcessor),
                    median(jobProcessor), median(fingerprintedProcessor) / median(jobProcessor));
        // On a busy machine the second core that hides the measuring may
        // not be there; the processor time says what measuring costs in all.
        std::printf("processor time a, c          %8.3f s %8.3f s, ratio %.3f\n", median(jobProcessor),
                    median(unmeasuredProcessor), median(jobProcessor) / median(unmeasuredProcessor));
        // With a second core to itself, a would take as long as the busier
        // of its copying and its measuring thread.
        const double copying = median(jobThread);
        const double measuring = median(jobProcessor) - copying;
        std::printf("  of a, copying %.3f s, measuring %.3f s: a/c on two free cores about %.3f\n", copying,
                    measuring, std::max(copying, measuring) / median(unmeasuredProcessor));
    }
    QFile::remove(m_work + QStringLiteral("/job.wav"));
    QFile::remove(m_work + QStringLiteral("/tool.wav"));

    if (memory) {
        double shortSeconds = 0, longSeconds = 0;
        const qint64 shortPeak = childPeakKiB(m_threeMinutes, &shortSeconds);
        const qint64 longPeak = childPeakKiB(m_threeHours, &longSeconds);
        std::printf("peak memory, 3-minute source %8lld KiB (%.1f s)\n", static_cast<long long>(shortPeak),
                    shortSeconds);
        std::printf("peak memory, 3-hour source   %8lld KiB (%.1f s)\n", static_cast<long long>(longPeak), longSeconds);
        const double memoryRatio = shortPeak > 0 ? double(longPeak) / double(shortPeak) : 0;
        std::printf("ratio 3-hour/3-minute        %8.3f  (target <= 1.2: %s)\n", memoryRatio,
                    memoryRatio > 0 && memoryRatio <= 1.2 ? "met" : "MISSED");
    }
    return 0;
}

bool CopyJobBench::makeSources()
{
    m_tenMinutes = m_work + QStringLiteral("/ten-minutes.mp3");
    m_tenMinutesOgg = m_work + QStringLiteral("/ten-minutes.ogg");
    m_tenMinutesWma = m_work + QStringLiteral("/ten-minutes.wma");
    m_threeMinutes = m_work + QStringLiteral("/three-minutes.mp3");
    m_threeHours = m_work + QStringLiteral("/three-hours.mp3");
    std::printf("Making sources in %s ...\n", qPrintable(m_work));
    std::fflush(stdout);
    // A tone on the left and pink noise on the right: something for the
    // encoder and the decoder to work at, unlike pure silence.
    if (!QFile::exists(m_tenMinutes)
        && !ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=600", "-f", "lavfi", "-i",
                    "anoisesrc=sample_rate=44100:duration=600:amplitude=0.2:color=pink", "-filter_complex",
                    "[0:a][1:a]amerge=inputs=2,volume=0.6", "-c:a", "libmp3lame", "-b:a", "192k", m_tenMinutes}))
        return false;
    for (const auto& [coded, codec] : {std::pair{m_tenMinutesOgg, "libvorbis"}, std::pair{m_tenMinutesWma, "wmav2"}})
        if (!QFile::exists(coded) && !ffmpeg({"-i", m_tenMinutes, "-c:a", codec, "-b:a", "192k", coded}))
            return false;
    if (!QFile::exists(m_threeMinutes)
        && !ffmpeg({"-i", m_tenMinutes, "-t", "180", "-c:a", "libmp3lame", "-b:a", "192k", m_threeMinutes}))
        return false;
    if (!QFile::exists(m_threeHours)) {
        // Eighteen copies of the ten minutes, joined without re-encoding.
        const QString list = m_work + QStringLiteral("/concat.txt");
        QFile file(list);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        for (int i = 0; i < 18; ++i)
            file.write("file 'ten-minutes.mp3'\n");
        file.close();
        if (!ffmpeg({"-f", "concat", "-safe", "0", "-i", list, "-c", "copy", m_threeHours}))
            return false;
    }
    return true;
}

double CopyJobBench::timeCopyJob(const QString& source, const QString& destination, JobKind kind,
                                 double* processor)
{
    QFile::remove(destination);
    auto format = std::make_shared<AudioFormat>();
    format->setSettingsText(TargetFormat);
    cCopyAudioFileNCT job;
    job.setNormalise(true);
    job.setNormalisePercentage(TargetPercent);
    job.setMeasureLoudness(kind != JobKind::PeakUnmeasured);
    AudioFingerprinter fingerprinter;
    if (kind == JobKind::PeakFingerprinted)
        job.addAnalyser(&fingerprinter, cCopyAudioFileNCT::AnalyserLevels::AnyGain); // as an import does
    if (kind == JobKind::Loudness)
        job.setNormaliseMode(cCopyAudioFileNCT::NormaliseMode::Loudness);
    QElapsedTimer timer;
    const double processorBefore = processorSeconds(RUSAGE_SELF);
    timer.start();
    const qint32 result = job.CopyAudioFile(source, destination, format);
    const double seconds = timer.nsecsElapsed() / 1e9;
    *processor = processorSeconds(RUSAGE_SELF) - processorBefore;
    if (result != 0) {
        std::fprintf(stderr, "copy job failed: %d %s\n", result, qPrintable(job.GetLastErrorDescription()));
        return -1;
    }
    return seconds;
}

// The same work as the copy job, done the way an engineer would with the
// tool: measure the peak, then gain, resample and write.
double CopyJobBench::timeTool(const QString& source, const QString& destination)
{
    QFile::remove(destination);
    QElapsedTimer timer;
    timer.start();
    const ToolRun detect = runTool(QStringLiteral("ffmpeg"), {"-hide_banner", "-nostdin", "-i", source, "-af",
                                                              "volumedetect", "-f", "null", "-"});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("max_volume: (-?[0-9.]+) dB")).match(QString::fromUtf8(detect.err));
    if (detect.exitCode != 0 || !match.hasMatch()) {
        std::fprintf(stderr, "volumedetect failed\n");
        return -1;
    }
    const double gainDb = 20 * std::log10(TargetPercent / 100.0) - match.captured(1).toDouble();
    if (!ffmpeg({"-i", source, "-af", QStringLiteral("volume=%1dB,aresample=48000").arg(gainDb, 0, 'f', 2),
                 "-ac", "2", "-c:a", "pcm_s16le", destination}))
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

qint64 CopyJobBench::childPeakKiB(const QString& source, double* seconds)
{
    const QString destination = m_work + QStringLiteral("/memory.wav");
    QElapsedTimer timer;
    timer.start();
    const ToolRun child = runTool(QCoreApplication::applicationFilePath(), {"--convert", source, destination});
    *seconds = timer.nsecsElapsed() / 1e9;
    QFile::remove(destination);
    if (child.exitCode != 0) {
        std::fprintf(stderr, "conversion of %s failed: %s\n", qPrintable(source), child.err.constData());
        return -1;
    }
    return child.out.trimmed().toLongLong();
}

int CopyJobBench::convertOnce(const QString& source, const QString& destination)
{
    auto format = std::make_shared<AudioFormat>();
    format->setSettingsText(TargetFormat);
    cCopyAudioFileNCT job;
    job.setNormalise(true);
    job.setNormalisePercentage(TargetPercent);
    const qint32 result = job.CopyAudioFile(source, destination, format);
    if (result != 0) {
        std::fprintf(stderr, "%d %s\n", result, qPrintable(job.GetLastErrorDescription()));
        return 1;
    }
    std::printf("%lld\n", static_cast<long long>(peakResidentKiB()));
    return 0;
}
