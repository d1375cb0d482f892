#pragma once
#include <QtGlobal>

// Something that looks at audio as a copy writes it (a loudness meter, a
// fingerprinter), so what it learns costs no decode of its own. The copy job
// calls start once per destination, add for every block in order, then
// finish; it may call them on a thread of its own, but never two at once.
class NCTSampleAnalyser
{
public:
    virtual ~NCTSampleAnalyser() = default;
    virtual bool start(qint32 sampleRate, qint32 channels) = 0;
    // Interleaved signed 16-bit frames.
    virtual void add(const qint16* samples, qint64 frames) = 0;
    virtual void finish() = 0;
};
