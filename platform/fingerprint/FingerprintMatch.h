#pragma once
#include <QString>

// How one fingerprint (a) stands to another (b): the same audio, a holding
// all of b (contains), or a being an edit out of b (part of). score runs
// from 0 (unrelated audio) to 1 (every bit equal); offsetSeconds is where b
// starts in a (negative when b starts before a).
struct FingerprintMatch {
    enum class Kind { None, SameAudio, Contains, PartOf };
    Kind kind = Kind::None;
    double score = 0;
    double offsetSeconds = 0;
    double overlapSeconds = 0;

    bool matched() const { return kind != Kind::None; }
    // "same audio", "contains", "part of", or empty.
    static QString kindName(Kind kind);
    // The same relation seen from b.
    FingerprintMatch reversed() const;
};
