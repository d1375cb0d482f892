#pragma once
#include "platform/accuraterip/AccurateRipDisc.h"
#include "platform/accuraterip/AccurateRipRecord.h"

#include <QString>

// Fetches a disc's record from an AccurateRip server over HTTP. The caller's
// thread keeps its events running while it waits, so a window stays alive.
class AccurateRipClient
{
public:
    // The base address records are found under.
    QString server;
    int timeoutSeconds = 10;

    struct Answer {
        enum Kind { Found, Absent, Failed };
        Kind kind = Failed;
        AccurateRipRecord record; // when found
        QString error;            // when failed: what went wrong, naming the server
    };
    // Found with the disc's record, Absent when the server has none (404),
    // Failed when the server could not be asked or its reply is no record.
    Answer fetch(const AccurateRipDisc& disc) const;
};
