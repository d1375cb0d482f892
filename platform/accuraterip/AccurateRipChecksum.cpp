#include "AccurateRipChecksum.h"

#include <QtEndian>

AccurateRipChecksum::AccurateRipChecksum(bool firstTrack, bool lastTrack) : m_first(firstTrack), m_last(lastTrack) {}

void AccurateRipChecksum::begin(qint64 samples)
{
    m_samples = samples;
    m_position = 0;
    m_from = m_first ? 5 * kSamplesPerFrame : 1;
    m_to = m_last ? samples - 5 * kSamplesPerFrame : samples;
    m_v1 = m_high = 0;
}

void AccurateRipChecksum::add(const char* pcm, qint64 samples)
{
    const qint64 start = m_position + 1;
    m_position += samples;
    const qint64 from = qMax(start, m_from);
    const qint64 count = qMin(m_position, m_to) - from + 1;
    const char* in = pcm + (from - start) * 4;
    // Plain 32-bit sums the compiler can spread over vector lanes: v2 is v1
    // plus the high halves.
    quint32 weight = quint32(from), low = 0, high = 0;
    for (qint64 n = 0; n < count; ++n, ++weight) {
        const quint64 product = quint64(qFromLittleEndian<quint32>(in + n * 4)) * weight;
        low += quint32(product);
        high += quint32(product >> 32);
    }
    m_v1 += low;
    m_high += high;
}
