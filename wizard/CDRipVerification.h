#pragma once
#include "platform/accuraterip/AccurateRipChecksum.h"
#include "platform/accuraterip/AccurateRipRecord.h"
#include "platform/accuraterip/AccurateRipVerdict.h"

#include <QString>
#include <optional>

class CDRipper;

// Checks ripped tracks against the AccurateRip database: the disc's record
// is fetched once, before the first track is ripped, and each track's CRCs,
// which the ripper works out as it reads, are judged against it.
class CDRipVerification
{
public:
    // Fetches the record of the disc in `ripper` from `server`. False, with
    // error() naming the server, when it could not be asked or its reply is
    // no record of this disc; a disc it does not know is no failure.
    bool fetch(const CDRipper& ripper, const QString& server);
    QString error() const { return m_error; }

    AccurateRipVerdict judge(int track, AccurateRipChecksum::Sums sums) const;

private:
    std::optional<AccurateRipRecord> m_record; // none: the database does not know the disc
    QString m_error;
};
