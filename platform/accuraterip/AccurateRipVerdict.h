#pragma once
#include "platform/accuraterip/AccurateRipChecksum.h"

#include <QString>

class AccurateRipRecord;

// What the AccurateRip database says of one ripped track.
struct AccurateRipVerdict {
    enum Kind { Accurate, Absent, Differs };
    Kind kind = Absent;
    int confidence = 0; // of the best agreeing pressing
    AccurateRipChecksum::Sums sums;

    // record: the disc's record, or null when the database has none. A
    // track agrees when its v1 or v2 CRC is a pressing's CRC for it; a
    // pressing that no rip confirmed (confidence 0) does not count.
    static AccurateRipVerdict judge(const AccurateRipRecord* record, int track, AccurateRipChecksum::Sums sums);

    // "accurately ripped (confidence N)", "not in the database",
    // "differs from the database".
    QString text() const;
    // "accurate", "absent", "differs", for reports read by programs.
    QString word() const;
};
