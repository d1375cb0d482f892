#include "AudioAnalysis.h"

#include "platform/nct/NCTAnalyserThread.h"
#include "platform/nct/NCTAudioFile.h"
#include "platform/nct/NCTSampleAnalyser.h"

bool AnalyseAudioFile(const QString& path, const QList<NCTSampleAnalyser*>& analysers,
                      const std::function<void(int percent)>& progress, QString* error)
{
    NCTAudioFile file;
    if (!file.OpenFile(path)) {
        if (error)
            *error = file.lastError();
        return false;
    }
    const qint32 rate = file.SampleRate();
    const qint32 channels = file.Channels();
    // The analysers work on the second core while the file is decoded.
    NCTAnalyserThread analysis(analysers);
    if (!analysis.start(rate, channels)) {
        if (error)
            *error = QStringLiteral("cannot analyse audio of %1 Hz, %2 channels").arg(rate).arg(channels);
        return false;
    }
    const qint64 expected = file.EstimatedLengthSamples();
    qint64 done = 0;
    int lastPercent = -1;
    for (;;) {
        const NCTSampleBlock block = file.ReadSamples(rate); // one second
        if (block.empty())
            break;
        const qint64 frames = static_cast<qint64>(block.size()) / channels;
        analysis.add(block.data(), frames);
        done += frames;
        const int percent = expected > 0 ? static_cast<int>(std::min<qint64>(100, done * 100 / expected)) : 0;
        if (progress && percent != lastPercent)
            progress(lastPercent = percent);
    }
    analysis.finish();
    if (progress && lastPercent != 100)
        progress(100);
    return true;
}
