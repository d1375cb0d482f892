#include "platform/fingerprint/AudioFingerprinter.h"

#include <chromaprint.h>

#include <algorithm>

struct AudioFingerprinter::Context {
    struct Free {
        void operator()(ChromaprintContext* c) const { chromaprint_free(c); }
    };
    std::unique_ptr<ChromaprintContext, Free> handle{chromaprint_new(CHROMAPRINT_ALGORITHM_DEFAULT)};
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
    m_failed = !m_context->handle || sampleRate <= 0 || channels <= 0
        || !chromaprint_start(m_context->handle.get(), sampleRate, channels);
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
        m_failed = !chromaprint_feed(m_context->handle.get(), samples + done * m_channels, static_cast<int>(part * m_channels));
        done += part;
    }
}

void AudioFingerprinter::finish()
{
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
