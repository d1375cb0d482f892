#include "AccurateRipRecord.h"

#include <QtEndian>

namespace {
constexpr qsizetype kHeaderBytes = 13;
constexpr qsizetype kTrackBytes = 9;

quint32 word(const QByteArray& bytes, qsizetype at) { return qFromLittleEndian<quint32>(bytes.constData() + at); }
} // namespace

AccurateRipRecord AccurateRipRecord::parse(const QByteArray& bytes, const AccurateRipDisc& disc)
{
    AccurateRipRecord record;
    auto refuse = [&record](const QString& why) {
        record.m_pressings.clear();
        record.m_error = QStringLiteral("the AccurateRip record is damaged: ") + why;
        return record;
    };
    if (bytes.isEmpty())
        return refuse(QStringLiteral("it is empty"));
    for (qsizetype at = 0; at < bytes.size();) {
        if (bytes.size() - at < kHeaderBytes)
            return refuse(QStringLiteral("it ends inside a pressing's header at byte %1").arg(at));
        const int tracks = quint8(bytes.at(at));
        if (tracks != disc.audioTracks || word(bytes, at + 1) != disc.id1 || word(bytes, at + 5) != disc.id2 ||
            word(bytes, at + 9) != disc.id3)
            return refuse(QStringLiteral("the pressing at byte %1 is not of this disc").arg(at));
        at += kHeaderBytes;
        if (bytes.size() - at < tracks * kTrackBytes)
            return refuse(QStringLiteral("it ends inside a pressing's tracks at byte %1").arg(bytes.size()));
        Pressing pressing;
        for (int n = 0; n < tracks; ++n, at += kTrackBytes)
            pressing.append({quint8(bytes.at(at)), word(bytes, at + 1)});
        record.m_pressings.append(pressing);
    }
    return record;
}
