#include "wizard/ImportAnalysis.h"

#include "audio/AudioAnalysis.h"
#include "audio/BextChunk.h"
#include "audio/cCopyAudioFileNCT.h"
#include "frame/WriteLog.h"
#include "frame/library/CartFingerprints.h"
#include "frame/library/CartImport.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/PlayoutAudio.h"
#include "platform/nct/NCTLoudnessMeter.h"
#include "platform/nct/NCTSampleAnalyser.h"
#include "wizard/FileImportOptions.h"

void ImportAnalysis::configure(cCopyAudioFileNCT& job, const FileImportOptions& options)
{
    job.addAnalyser(&m_fingerprinter, cCopyAudioFileNCT::AnalyserLevels::AnyGain);
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
// What a WAV's own bext chunk says of its loudness, as the tool that made it
// measured it: the cart keeps that.
std::optional<LoudnessValues> statedLoudness(const QString& path)
{
    BextChunk bext;
    QString history;
    if (ReadBextChunk(path, bext, history) && bext.Loudness.integrated)
        return bext.Loudness;
    return std::nullopt;
}

// The stated loudness, else what one read of the audio measures; the other
// analysers see the same read.
std::optional<LoudnessValues> loudnessOf(const QString& path, QList<NCTSampleAnalyser*> others,
                                         const std::function<void(int)>& progress, QString* error)
{
    std::optional<LoudnessValues> stated = statedLoudness(path);
    NCTLoudnessMeter meter;
    if (!stated)
        others << &meter;
    if (others.isEmpty())
        return stated;
    if (!AnalyseAudioFile(path, others, progress, error))
        return std::nullopt;
    return stated ? stated : meter.result();
}
} // namespace

void ImportAnalysis::analyse(CartImport& import, const cCopyAudioFileNCT* wroteIt)
{
    CartRecord& record = import.record();
    if (wroteIt && wroteIt->DestinationLoudness()) {
        record.Loudness = wroteIt->DestinationLoudness();
        // The store's own new file: the values go with it to whatever plays
        // or edits it later.
        WriteBextLoudness(import.incomingPath(), *record.Loudness);
    } else {
        QString why;
        // A packed cart brought what it measured.
        const std::optional<LoudnessValues> brought = record.Loudness;
        record.Loudness = loudnessOf(import.newAudioPath(), {&m_fingerprinter}, {}, &why);
        if (brought)
            record.Loudness = brought;
        if (!why.isEmpty()) {
            WriteLog(QStringLiteral("The audio of '%1' was not analysed: %2").arg(import.newAudioPath(), why), 1);
            return; // the fingerprinter holds another item's
        }
    }
    // An empty one is kept too (a sting too short to fingerprint): the cart
    // is then not one still to do for 'fingerprint --missing'.
    const AudioFingerprint& fingerprint = m_fingerprinter.fingerprint();
    if (!m_fingerprinter.failed())
        import.keepFingerprint(fingerprint.seconds, fingerprint.encoded());
}

QString ImportAnalysis::gainText(const cCopyAudioFileNCT& job, const FileImportOptions& options)
{
    if (!options.normalise || !options.normaliseLoudness)
        return {};
    return QStringLiteral("gain %1%2 dB%3")
        .arg(job.AppliedGainDb() >= 0 ? QStringLiteral("+") : QString())
        .arg(job.AppliedGainDb(), 0, 'f', 1)
        .arg(job.GainCappedByPeak() ? QStringLiteral(", held by the true-peak ceiling") : QString());
}

bool ImportAnalysis::analyseStoredCart(PlayoutAudio& audio, const QString& number, Wanted wanted,
                                      const std::function<void(int percent)>& progress, QString* error)
{
    const auto cart = audio.GetCart(number);
    if (!cart || !cart->holdsAudio()) {
        *error = QStringLiteral("cart %1 holds no audio").arg(number);
        return false;
    }
    CartFingerprints fingerprints(audio.Cartvault().database());
    const std::optional<CartFingerprints::Pending> unprinted =
        wanted.fingerprint ? fingerprints.pending(number.toLongLong()) : std::nullopt;
    AudioFingerprinter fingerprinter;
    const QList<NCTSampleAnalyser*> others = unprinted ? QList<NCTSampleAnalyser*>{&fingerprinter} : QList<NCTSampleAnalyser*>{};
    std::optional<LoudnessValues> loudness;
    if (wanted.loudness) {
        loudness = loudnessOf(cart->AudioFile, others, progress, error);
        if (!loudness)
            return false;
    } else if (unprinted && !AnalyseAudioFile(cart->AudioFile, others, progress, error)) {
        return false;
    }
    if (loudness && !audio.saveLoudness(number, cart->AudioFile, *loudness)) {
        *error = audio.lastError();
        return false;
    }
    // Kept even when empty (audio too short or silent to fingerprint): the
    // cart is not taken again as one still to do.
    const AudioFingerprint& fingerprint = fingerprinter.fingerprint();
    if (unprinted && !fingerprinter.failed() && !fingerprints.saveIfUnchanged(*unprinted, {unprinted->cart, fingerprint.seconds, fingerprint.encoded()})) {
        *error = fingerprints.lastError();
        return false;
    }
    return true;
}
