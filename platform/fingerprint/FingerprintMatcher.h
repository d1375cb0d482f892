#pragma once
#include "platform/fingerprint/AudioFingerprint.h"
#include "platform/fingerprint/FingerprintMatch.h"

// Compares two fingerprints. The offset between them comes from a histogram
// of the offsets between items whose high bits are equal; at the best few
// offsets the bits of the overlapping items are compared, and the share of
// bits that differ (the bit-error rate, 0.5 for unrelated audio) gives the
// score 1 - 2 * rate. Silence items say nothing and are left out; an overlap
// of fewer than kMinimumItems distinct items (about ten seconds) is never
// called a match, however well its bits agree. When no one offset matches,
// b may still be an edit of a with a stretch cut out or put in: its items
// up to some point line up at one offset, the rest at another.
class FingerprintMatcher
{
public:
    static constexpr double kDefaultThreshold = 0.6;
    static constexpr int kMinimumItems = 80;
    // Share of an item's audible items inside the overlap for it to count as covered.
    static constexpr double kCoverage = 0.8;

    explicit FingerprintMatcher(double threshold = kDefaultThreshold);
    double threshold() const { return m_threshold; }

    FingerprintMatch compare(const AudioFingerprint& a, const AudioFingerprint& b) const;
    // The item the fingerprinter gives for digital silence.
    static bool isSilence(quint32 item);

private:
    struct Overlap;
    Overlap measure(const std::vector<quint32>& a, const std::vector<quint32>& b, int offset) const;
    Overlap measurePieces(const std::vector<quint32>& a, const std::vector<quint32>& b, const std::vector<int>& offsets) const;
    static void cover(const std::vector<quint32>& a, const std::vector<quint32>& b, Overlap& o);

    double m_threshold;
};
