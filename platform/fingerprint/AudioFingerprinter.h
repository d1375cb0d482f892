#pragma once
#include "platform/fingerprint/AudioFingerprint.h"
#include "platform/nct/NCTSampleAnalyser.h"

#include <QByteArray>

#include <memory>

// Fingerprints the audio it is shown, from start to finish: fed by the copy
// job as it writes, or by AnalyseAudioFile for a file on its own.
class AudioFingerprinter : public NCTSampleAnalyser
{
public:
    AudioFingerprinter();
    ~AudioFingerprinter() override;

    bool start(qint32 sampleRate, qint32 channels) override;
    void add(const qint16* samples, qint64 frames) override;
    void finish() override;

    // After finish(): the fingerprint of everything added since start().
    // Audio shorter than a few seconds has no items.
    const AudioFingerprint& fingerprint() const { return m_fingerprint; }
    // The library refused the audio or the format: the fingerprint says nothing.
    bool failed() const { return m_failed; }

private:
    // The rate the library works at: audio at another is resampled first.
    static constexpr qint32 kLibraryRate = 11025;
    void feed(const qint16* samples, qint64 frames);
    void feedMono(const QByteArray& bytes);

    struct Context;
    std::unique_ptr<Context> m_context;
    qint32 m_sampleRate = 0;
    qint32 m_channels = 0;
    qint64 m_frames = 0;
    bool m_failed = false;
    AudioFingerprint m_fingerprint;
};
