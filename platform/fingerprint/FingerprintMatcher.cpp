#include "platform/fingerprint/FingerprintMatcher.h"

#include <algorithm>
#include <array>
#include <bit>

namespace {
// Items are aligned on their top bits: the bits of the first classifiers,
// which change least when audio is re-encoded or its level moves.
constexpr int kAlignBits = 12;
constexpr quint32 alignKey(quint32 item) { return item >> (32 - kAlignBits); }
// Offsets tried beside each histogram peak: audio shifted by a fraction of
// an item matches its neighbours about equally well.
constexpr int kPeaks = 3;

int audibleCount(const std::vector<quint32>& items)
{
    return static_cast<int>(std::count_if(items.begin(), items.end(),
                                          [](quint32 item) { return !FingerprintMatcher::isSilence(item); }));
}
} // namespace

struct FingerprintMatcher::Overlap {
    int offset = 0;
    qint64 compared = 0;
    qint64 errors = 0;
    int coveredA = 0;
    int coveredB = 0;
    double errorRate() const { return compared > 0 ? double(errors) / (32.0 * compared) : 0.5; }
};

FingerprintMatcher::FingerprintMatcher(double threshold)
    : m_threshold(threshold)
{
}

bool FingerprintMatcher::isSilence(quint32 item) { return item == 627964279u; }

// Offsets (index in a minus index in b) whose items agree in their high
// bits most often, the most frequent first.
static std::vector<int> likelyOffsets(const std::vector<quint32>& a, const std::vector<quint32>& b)
{
    const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
    std::array<int, 1 << kAlignBits> head;
    head.fill(-1);
    std::vector<int> next(a.size(), -1);
    for (int i = n - 1; i >= 0; --i) {
        if (FingerprintMatcher::isSilence(a[i]))
            continue;
        next[i] = head[alignKey(a[i])];
        head[alignKey(a[i])] = i;
    }
    std::vector<int> histogram(n + m - 1, 0);
    for (int j = 0; j < m; ++j) {
        if (FingerprintMatcher::isSilence(b[j]))
            continue;
        for (int i = head[alignKey(b[j])]; i >= 0; i = next[i])
            ++histogram[i - j + m - 1];
    }
    std::vector<int> offsets;
    for (int peak = 0; peak < kPeaks; ++peak) {
        const auto best = std::max_element(histogram.begin(), histogram.end());
        if (*best == 0)
            break;
        const int index = static_cast<int>(best - histogram.begin());
        offsets.push_back(index - (m - 1));
        // A peak's neighbours are tried with it anyway.
        for (int k = std::max(0, index - 1); k <= std::min(n + m - 2, index + 1); ++k)
            histogram[k] = 0;
    }
    return offsets;
}

FingerprintMatcher::Overlap FingerprintMatcher::measure(const std::vector<quint32>& a, const std::vector<quint32>& b,
                                                        int offset) const
{
    Overlap o;
    o.offset = offset;
    const int first = std::max(0, offset);
    const int end = std::min(static_cast<int>(a.size()), static_cast<int>(b.size()) + offset);
    for (int i = first; i < end; ++i) {
        const quint32 x = a[i], y = b[i - offset];
        o.coveredA += !isSilence(x);
        o.coveredB += !isSilence(y);
        if (isSilence(x) || isSilence(y))
            continue;
        ++o.compared;
        o.errors += std::popcount(x ^ y);
    }
    return o;
}

// Distinct audible items of a in the overlap: a held tone repeats one item,
// and agreeing on it says little.
static int distinctItems(const std::vector<quint32>& a, int first, int end)
{
    std::vector<quint32> items;
    for (int i = std::max(0, first); i < std::min(end, static_cast<int>(a.size())); ++i)
        if (!FingerprintMatcher::isSilence(a[i]))
            items.push_back(a[i]);
    std::sort(items.begin(), items.end());
    return static_cast<int>(std::unique(items.begin(), items.end()) - items.begin());
}

FingerprintMatch FingerprintMatcher::compare(const AudioFingerprint& a, const AudioFingerprint& b) const
{
    FingerprintMatch match;
    if (a.items.size() < size_t(kMinimumItems) || b.items.size() < size_t(kMinimumItems))
        return match;
    Overlap best;
    best.compared = 0;
    for (const int peak : likelyOffsets(a.items, b.items)) {
        for (int offset = peak - 1; offset <= peak + 1; ++offset) {
            const Overlap o = measure(a.items, b.items, offset);
            if (o.compared >= kMinimumItems && (best.compared == 0 || o.errorRate() < best.errorRate()))
                best = o;
        }
    }
    if (best.compared < kMinimumItems)
        return match;
    match.score = std::max(0.0, 1.0 - 2.0 * best.errorRate());
    match.offsetSeconds = best.offset * AudioFingerprint::itemSeconds();
    match.overlapSeconds = double(best.compared) * AudioFingerprint::itemSeconds();
    const int end = std::min(static_cast<int>(a.items.size()), static_cast<int>(b.items.size()) + best.offset);
    if (match.score < m_threshold || distinctItems(a.items, best.offset, end) < kMinimumItems)
        return match;
    const bool coversA = best.coveredA >= kCoverage * audibleCount(a.items);
    const bool coversB = best.coveredB >= kCoverage * audibleCount(b.items);
    if (coversA && coversB)
        match.kind = FingerprintMatch::Kind::SameAudio;
    else if (coversB)
        match.kind = FingerprintMatch::Kind::Contains;
    else if (coversA)
        match.kind = FingerprintMatch::Kind::PartOf;
    return match;
}
