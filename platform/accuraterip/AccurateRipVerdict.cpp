#include "AccurateRipVerdict.h"

#include "platform/accuraterip/AccurateRipRecord.h"

AccurateRipVerdict AccurateRipVerdict::judge(const AccurateRipRecord* record, int track, AccurateRipChecksum::Sums sums)
{
    AccurateRipVerdict verdict;
    verdict.sums = sums;
    if (!record)
        return verdict;
    for (const AccurateRipRecord::Pressing& pressing : record->pressings()) {
        const AccurateRipRecord::Track entry = pressing.value(track - 1);
        if (entry.confidence == 0)
            continue;
        if (entry.crc == sums.v1 || entry.crc == sums.v2) {
            verdict.kind = Accurate;
            verdict.confidence = qMax(verdict.confidence, entry.confidence);
        } else if (verdict.kind == Absent) {
            verdict.kind = Differs;
        }
    }
    return verdict;
}

QString AccurateRipVerdict::text() const
{
    switch (kind) {
    case Accurate:
        return QStringLiteral("accurately ripped (confidence %1)").arg(confidence);
    case Differs:
        return QStringLiteral("differs from the database");
    case Absent:
        break;
    }
    return QStringLiteral("not in the database");
}

QString AccurateRipVerdict::word() const
{
    return kind == Accurate ? QStringLiteral("accurate") : kind == Differs ? QStringLiteral("differs") : QStringLiteral("absent");
}
