#pragma once
#include <QtGlobal>

// The two AccurateRip CRCs of one track, built up as the track's samples
// pass by, so a rip needs no second read of its file. Each stereo sample
// (left in the low half, right in the high half) is weighed by its 1-based
// position in the track; v1 sums the low 32 bits of each product, v2 both
// halves. The drive cannot read the disc's edges reliably, so the first
// track leaves out its first five frames (less one sample) and the last
// track its last five frames.
class AccurateRipChecksum
{
public:
    static constexpr int kSamplesPerFrame = 588;

    struct Sums {
        quint32 v1 = 0;
        quint32 v2 = 0;
    };

    AccurateRipChecksum(bool firstTrack, bool lastTrack);

    // Starts a track of `samples` stereo samples over.
    void begin(qint64 samples);
    // `samples` stereo samples of 16-bit little-endian PCM, in track order.
    void add(const char* pcm, qint64 samples);
    // Whether exactly the track's samples were added.
    bool complete() const { return m_position == m_samples; }
    Sums sums() const { return {m_v1, m_v1 + m_high}; }

private:
    bool m_first;
    bool m_last;
    qint64 m_samples = 0;
    qint64 m_position = 0; // samples added so far
    qint64 m_from = 1;     // 1-based positions that count
    qint64 m_to = 0;
    quint32 m_v1 = 0;
    quint32 m_high = 0; // of each product, summed: v2 is v1 plus this
};
