#include "platform/fingerprint/AudioFingerprinter.h"

#include "platform/nct/NCTResampler.h"

#include <chromaprint.h>

#include <algorithm>

struct AudioFingerprinter::Context {
    struct Free {
        void operator()(ChromaprintContext* c) const { chromaprint_free(c); }
    };
    std::unique_ptr<ChromaprintContext, Free> handle{chromaprint_new(CHROMAPRINT_ALGORITHM_DEFAULT)};
    // To the library's own rate, when the audio has another. The library
    // would resample with a long scalar filter that cost as much as the rest
    // of fingerprinting; ours (FFmpeg's, short and vectorised) takes a
    // fraction of that, and the items differ from the library's own in a
    // few bits in ten thousand.
    std::unique_ptr<NCTResampler> resampler;
};

AudioFingerprinter::AudioFingerprinter() = default;
AudioFingerprinter::~AudioFingerprinter() = default;

bool AudioFingerprinter::start(qint32 sampleRate, qint32 channels)
{
    m_fingerprint = {};
    m_frames = 0;
    m_sampleRate = sampleRate;
    m_channels = channels;
    m_context = std::make_unique<Context>();
    if (!m_context->handle || sampleRate <= 0 || channels <= 0) {
        m_failed = true;
        return false;
    }
    if (sampleRate != kLibraryRate) {
        m_context->resampler = std::make_unique<NCTResampler>();
        m_context->resampler->SetInputFormat(sampleRate, channels);
        m_context->resampler->SetOutputFormat(kLibraryRate, 1, 16);
        if (!m_context->resampler->Initialise(0))
            m_context->resampler.reset();
    }
    const bool resampling = m_context->resampler != nullptr;
    m_failed = !chromaprint_start(m_context->handle.get(), resampling ? kLibraryRate : sampleRate, resampling ? 1 : channels);
    return !m_failed;
}

void AudioFingerprinter::add(const qint16* samples, qint64 frames)
{
    if (m_failed || frames <= 0)
        return;
    m_frames += frames;
    // The library counts samples in an int: long blocks go in parts.
    const qint64 maxFrames = (1 << 24) / m_channels;
    for (qint64 done = 0; done < frames && !m_failed;) {
        const qint64 part = std::min(maxFrames, frames - done);
        feed(samples + done * m_channels, part);
        done += part;
    }
}

void AudioFingerprinter::feed(const qint16* samples, qint64 frames)
{
    if (!m_context->resampler) {
        m_failed = !chromaprint_feed(m_context->handle.get(), samples, static_cast<int>(frames * m_channels));
        return;
    }
    const QByteArray mono = m_context->resampler->Convert(NCTSampleBlock(samples, samples + frames * m_channels));
    feedMono(mono);
}

void AudioFingerprinter::feedMono(const QByteArray& bytes)
{
    m_failed = !chromaprint_feed(m_context->handle.get(), reinterpret_cast<const qint16*>(bytes.constData()),
                                 static_cast<int>(bytes.size() / 2));
}

void AudioFingerprinter::finish()
{
    if (m_context && m_context->resampler && !m_failed)
        feedMono(m_context->resampler->Flush());
    m_fingerprint.seconds = m_sampleRate > 0 ? double(m_frames) / m_sampleRate : 0;
    if (m_failed || !chromaprint_finish(m_context->handle.get()))
        return;
    quint32* items = nullptr;
    int size = 0;
    if (chromaprint_get_raw_fingerprint(m_context->handle.get(), &items, &size) && items) {
        m_fingerprint.items.assign(items, items + std::max(size, 0));
        chromaprint_dealloc(items);
    }
}
