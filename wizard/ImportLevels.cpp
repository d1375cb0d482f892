#include "wizard/ImportLevels.h"

#include "audio/AudioAnalysis.h"
#include "audio/BextChunk.h"
#include "audio/cCopyAudioFileNCT.h"
#include "frame/WriteLog.h"
#include "frame/library/CartImport.h"
#include "frame/library/PlayoutAudio.h"
#include "platform/nct/NCTLoudnessMeter.h"
#include "wizard/FileImportOptions.h"

void ImportLevels::configure(cCopyAudioFileNCT& job, const FileImportOptions& options)
{
    job.setNormalise(options.normalise);
    if (!options.normalise)
        return;
    job.setNormaliseMode(options.normaliseLoudness ? cCopyAudioFileNCT::NormaliseMode::Loudness
                                                   : cCopyAudioFileNCT::NormaliseMode::Peak);
    job.setNormalisePercentage(static_cast<float>(options.normalisePercent));
    job.setLoudnessTarget(options.loudnessTarget);
    job.setTruePeakCeiling(options.truePeakCeiling);
}

namespace {
// What a WAV's own bext chunk says of its loudness (as the tool that made it
// measured it: the cart keeps that, and a read is saved), else what one read
// of the audio measures.
std::optional<LoudnessValues> loudnessOf(const QString& path, const std::function<void(int)>& progress, QString* error)
{
    BextChunk bext;
    QString history;
    if (ReadBextChunk(path, bext, history) && bext.Loudness.integrated)
        return bext.Loudness;
    NCTLoudnessMeter meter;
    if (!AnalyseAudioFile(path, {&meter}, progress, error))
        return std::nullopt;
    return meter.result();
}
} // namespace

void ImportLevels::measure(CartImport& import, const cCopyAudioFileNCT* wroteIt)
{
    CartRecord& record = import.record();
    if (wroteIt && wroteIt->DestinationLoudness()) {
        record.Loudness = wroteIt->DestinationLoudness();
        // The store's own new file: the values go with it to whatever plays
        // or edits it later.
        WriteBextLoudness(import.incomingPath(), *record.Loudness);
        return;
    }
    if (record.Loudness)
        return; // a packed cart brought what it measured
    QString why;
    record.Loudness = loudnessOf(import.newAudioPath(), {}, &why);
    if (!record.Loudness)
        WriteLog(QStringLiteral("The loudness of '%1' was not measured: %2").arg(import.newAudioPath(), why), 1);
}

QString ImportLevels::gainText(const cCopyAudioFileNCT& job, const FileImportOptions& options)
{
    if (!options.normalise || !options.normaliseLoudness)
        return {};
    return QStringLiteral("gain %1%2 dB%3")
        .arg(job.AppliedGainDb() >= 0 ? QStringLiteral("+") : QString())
        .arg(job.AppliedGainDb(), 0, 'f', 1)
        .arg(job.GainCappedByPeak() ? QStringLiteral(", held by the true-peak ceiling") : QString());
}

bool ImportLevels::measureStoredCart(PlayoutAudio& audio, const QString& number,
                                     const std::function<void(int percent)>& progress, QString* error)
{
    const auto cart = audio.GetCart(number);
    if (!cart || !cart->holdsAudio()) {
        *error = QStringLiteral("cart %1 holds no audio").arg(number);
        return false;
    }
    const auto loudness = loudnessOf(cart->AudioFile, progress, error);
    if (!loudness)
        return false;
    if (audio.saveLoudness(number, cart->AudioFile, *loudness))
        return true;
    *error = audio.lastError();
    return false;
}
