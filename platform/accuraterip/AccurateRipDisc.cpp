#include "AccurateRipDisc.h"

#include "platform/freedb/FreeDBClient.h"

namespace {
constexpr qint32 kLeadIn = 150;
// Between the audio session of an enhanced CD and its data track.
constexpr qint32 kSessionGap = 11400;

QString hex(quint32 value, int digits) { return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')); }
} // namespace

AccurateRipDisc AccurateRipDisc::fromToc(const QList<qint32>& trackStarts, const QList<bool>& audio, qint32 leadOut)
{
    AccurateRipDisc disc;
    qsizetype counted = trackStarts.size();
    qint32 audioEnd = leadOut;
    // An enhanced CD's data track closes the disc: the audio ends with the
    // session before it.
    if (counted > 1 && !audio.value(counted - 1, true)) {
        --counted;
        audioEnd = trackStarts.at(counted) - kSessionGap;
    }
    disc.audioTracks = int(counted);
    const quint32 end = quint32(audioEnd - kLeadIn);
    for (qsizetype n = 0; n < counted; ++n) {
        const quint32 offset = quint32(trackStarts.at(n) - kLeadIn);
        disc.id1 += offset;
        disc.id2 += qMax(offset, 1u) * quint32(n + 1);
    }
    disc.id1 += end;
    disc.id2 += end * quint32(counted + 1);
    disc.id3 = FreeDBClient::discId(trackStarts, leadOut / 75);
    return disc;
}

QString AccurateRipDisc::recordPath() const
{
    return QStringLiteral("%1/%2/%3/dBAR-%4-%5-%6-%7.bin")
        .arg(hex(id1 & 0xF, 1), hex(id1 >> 4 & 0xF, 1), hex(id1 >> 8 & 0xF, 1))
        .arg(audioTracks, 3, 10, QLatin1Char('0'))
        .arg(hex(id1, 8), hex(id2, 8), hex(id3, 8));
}

QString AccurateRipDisc::recordUrl(const QString& server) const
{
    QString base = server.trimmed();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base + recordPath();
}
