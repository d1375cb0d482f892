#include "AccurateRipChecksum.h"

#include <QtEndian>

AccurateRipChecksum::AccurateRipChecksum(bool firstTrack, bool lastTrack) : m_first(firstTrack), m_last(lastTrack) {}

void AccurateRipChecksum::begin(qint64 samples)
{
    m_samples = samples;
    m_position = 0;
    m_from = m_first ? 5 * kSamplesPerFrame : 1;
    m_to = m_last ? samples - 5 * kSamplesPerFrame : samples;
    m_v1 = m_v2 = 0;
}

void AccurateRipChecksum::add(const char* pcm, qint64 samples)
{
    const qint64 start = m_position + 1;
    m_position += samples;
    const qint64 from = qMax(start, m_from);
    const qint64 to = qMin(m_position, m_to);
    for (qint64 at = from; at <= to; ++at) {
        const quint64 product = quint64(qFromLittleEndian<quint32>(pcm + (at - start) * 4)) * quint32(at);
        m_v1 += quint32(product);
        m_v2 += quint32(product) + quint32(product >> 32);
    }
}
