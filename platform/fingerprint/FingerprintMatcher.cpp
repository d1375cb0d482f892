#include "platform/fingerprint/FingerprintMatcher.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <limits>

namespace {
// Items are aligned on their top bits: the bits of the first classifiers,
// which change least when audio is re-encoded or its level moves.
constexpr int kAlignBits = 12;
constexpr quint32 alignKey(quint32 item) { return item >> (32 - kAlignBits); }
// Offsets tried beside each histogram peak: audio shifted by a fraction of
// an item matches its neighbours about equally well.
constexpr int kPeaks = 3;
// Each piece of an edit lined up at two offsets has at least this many
// items (five seconds). Two pieces are looked for when one offset scores
// under kClean, and taken only when they score kPiecesBetterBy more: copies
// keep the score one offset gives them.
constexpr int kMinimumPiece = 40;
constexpr double kClean = 0.85;
constexpr double kPiecesBetterBy = 0.15;

int audibleCount(const std::vector<quint32>& items)
{
    return static_cast<int>(std::count_if(items.begin(), items.end(),
                                          [](quint32 item) { return !FingerprintMatcher::isSilence(item); }));
}
} // namespace

struct FingerprintMatcher::Overlap {
    int offset = 0;
    // An edit in two pieces: b's items from split on line up at secondOffset.
    int secondOffset = 0;
    int split = std::numeric_limits<int>::max();
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

namespace {
// Differing bits of each item of b with the item of a it meets at an
// offset; -1 where it meets none, or either is silence.
std::vector<int> errorsAt(const std::vector<quint32>& a, const std::vector<quint32>& b, int offset)
{
    std::vector<int> errors(b.size(), -1);
    for (int j = std::max(0, -offset); j < std::min(static_cast<int>(b.size()), static_cast<int>(a.size()) - offset); ++j)
        if (!FingerprintMatcher::isSilence(a[j + offset]) && !FingerprintMatcher::isSilence(b[j]))
            errors[j] = std::popcount(a[j + offset] ^ b[j]);
    return errors;
}

// Running sums of errors and of items compared, item by item.
struct Running {
    std::vector<qint64> errors{0}, compared{0};
    explicit Running(const std::vector<int>& perItem)
    {
        for (const int e : perItem) {
            errors.push_back(errors.back() + std::max(e, 0));
            compared.push_back(compared.back() + (e >= 0));
        }
    }
};
} // namespace

// b read as an edit of a: its items before `split` at one offset, the rest
// at another (a stretch cut out of a, or put into it). The best split of the
// best pair of offsets; compared stays 0 when no pair has two pieces.
FingerprintMatcher::Overlap FingerprintMatcher::measurePieces(const std::vector<quint32>& a, const std::vector<quint32>& b,
                                                              const std::vector<int>& offsets) const
{
    std::vector<Running> sums;
    for (const int offset : offsets)
        sums.emplace_back(errorsAt(a, b, offset));
    const int m = static_cast<int>(b.size());
    Overlap best;
    for (size_t first = 0; first < offsets.size(); ++first) {
        for (size_t second = 0; second < offsets.size(); ++second) {
            if (std::abs(offsets[first] - offsets[second]) < 2)
                continue;
            const Running &x = sums[first], &y = sums[second];
            for (int split = kMinimumPiece; split <= m - kMinimumPiece; ++split) {
                const qint64 before = x.compared[split], after = y.compared[m] - y.compared[split];
                if (before < kMinimumPiece || after < kMinimumPiece)
                    continue;
                Overlap o;
                o.offset = offsets[first];
                o.secondOffset = offsets[second];
                o.split = split;
                o.compared = before + after;
                o.errors = x.errors[split] + y.errors[m] - y.errors[split];
                if (best.compared == 0 || o.errorRate() < best.errorRate())
                    best = o;
            }
        }
    }
    if (best.compared > 0)
        cover(a, b, best);
    return best;
}

// The audible items of a and of b the pieces of an overlap line up.
void FingerprintMatcher::cover(const std::vector<quint32>& a, const std::vector<quint32>& b, Overlap& o)
{
    std::vector<bool> coveredA(a.size(), false);
    o.coveredA = o.coveredB = 0;
    for (int j = 0; j < static_cast<int>(b.size()); ++j) {
        const int i = j + (j < o.split ? o.offset : o.secondOffset);
        if (i < 0 || i >= static_cast<int>(a.size()))
            continue;
        o.coveredB += !isSilence(b[j]);
        if (!isSilence(a[i]) && !coveredA[i]) {
            coveredA[i] = true;
            ++o.coveredA;
        }
    }
}

FingerprintMatch FingerprintMatcher::compare(const AudioFingerprint& a, const AudioFingerprint& b) const
{
    FingerprintMatch match;
    if (a.items.size() < size_t(kMinimumItems) || b.items.size() < size_t(kMinimumItems))
        return match;
    Overlap best;
    best.compared = 0;
    std::vector<int> tried;
    for (const int peak : likelyOffsets(a.items, b.items)) {
        for (int offset = peak - 1; offset <= peak + 1; ++offset) {
            tried.push_back(offset);
            const Overlap o = measure(a.items, b.items, offset);
            if (o.compared >= kMinimumItems && (best.compared == 0 || o.errorRate() < best.errorRate()))
                best = o;
        }
    }
    const double single = best.compared >= kMinimumItems ? 1.0 - 2.0 * best.errorRate() : 0.0;
    if (single < kClean) {
        // Either may be the edit: b with a stretch of a cut out, or a with a stretch of b.
        Overlap pieces = measurePieces(a.items, b.items, tried);
        std::vector<int> reversed(tried.size());
        std::transform(tried.begin(), tried.end(), reversed.begin(), [](int offset) { return -offset; });
        if (Overlap other = measurePieces(b.items, a.items, reversed); other.errorRate() < pieces.errorRate()) {
            std::swap(other.coveredA, other.coveredB);
            other.offset = -other.offset;
            pieces = other;
        }
        if (pieces.compared >= kMinimumItems && 1.0 - 2.0 * pieces.errorRate() >= single + kPiecesBetterBy)
            best = pieces;
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
