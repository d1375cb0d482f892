#pragma once
#include <QString>
#include <QStringList>

// Times the copy job (MP3, Ogg and WMA to 48 kHz stereo 16-bit WAV,
// normalised) against the ffmpeg tool doing the same work in two passes, the
// job with its loudness measurement against itself without, the job
// normalising to a loudness, and the job as an import runs it (measuring and
// fingerprinting) against it without the fingerprint; and measures the peak memory of converting a
// three-hour and a three-minute source.
class CopyJobBench
{
public:
    int run(const QStringList& arguments);

private:
    int convertOnce(const QString& source, const QString& destination);
    bool makeSources();
    enum class JobKind { PeakUnmeasured, PeakMeasured, Loudness, PeakFingerprinted };
    // Wall seconds; processor receives the process's processor seconds.
    double timeCopyJob(const QString& source, const QString& destination, JobKind kind, double* processor);
    double timeTool(const QString& source, const QString& destination);
    // Runs one conversion in a child process; its peak resident memory in KiB.
    qint64 childPeakKiB(const QString& source, double* seconds);

    QString m_work;
    QString m_tenMinutes;
    QString m_tenMinutesOgg;
    QString m_tenMinutesWma;
    QString m_threeMinutes;
    QString m_threeHours;
    int m_runs = 3;
};
