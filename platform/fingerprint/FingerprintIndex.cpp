#include "platform/fingerprint/FingerprintIndex.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <optional>

namespace {
constexpr int kKeyBits = 24;
constexpr quint32 keyOf(quint32 item) { return item >> (32 - kKeyBits); }
// One key value in eight is indexed.
constexpr bool isIndexed(quint32 key) { return ((key * 0x9E3779B1u) >> 29) == 0; }
// Postings are found through a table of buckets by their top key bits.
constexpr int kBucketBits = 16;
constexpr quint32 bucketOf(quint64 posting) { return quint32(posting >> (32 + kKeyBits - kBucketBits)); }
constexpr quint64 posting(quint32 key, quint32 entry) { return (quint64(key) << 32) | entry; }
// A key held by more stored fingerprints than this says little (quiet
// passages, common chords) and costs much: it is skipped.
constexpr qsizetype kCommonKey = 5000;

// Union-find over entry indexes.
int rootOf(std::vector<int>& parent, int i)
{
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}
} // namespace

std::vector<quint32> FingerprintIndex::keysOf(const std::vector<quint32>& items)
{
    std::vector<quint32> keys;
    for (const quint32 item : items)
        if (!FingerprintMatcher::isSilence(item) && isIndexed(keyOf(item)))
            keys.push_back(keyOf(item));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

bool FingerprintIndex::add(qint64 id, double seconds, const QByteArray& encoded)
{
    const std::optional<AudioFingerprint> fingerprint = AudioFingerprint::fromEncoded(encoded, seconds);
    if (!fingerprint)
        return false;
    if (fingerprint->items.size() < size_t(FingerprintMatcher::kMinimumItems))
        return true;
    const quint32 entry = static_cast<quint32>(m_entries.size());
    m_entries.push_back({id, seconds, encoded});
    for (const quint32 key : keysOf(fingerprint->items))
        m_unbuilt.push_back(posting(key, entry));
    return true;
}

QList<qint64> FingerprintIndex::addStore(CartFingerprints& store)
{
    QList<qint64> damaged;
    for (const CartFingerprints::Row& row : store.all())
        if (!add(row.cart, row.seconds, row.fingerprint))
            damaged << row.cart;
    return damaged;
}

// Folds what was added into the postings, ordered by key.
void FingerprintIndex::build()
{
    if (m_unbuilt.empty() && !m_buckets.empty())
        return;
    m_votes.assign(m_entries.size(), 0);
    std::sort(m_unbuilt.begin(), m_unbuilt.end());
    const size_t middle = m_postings.size();
    m_postings.insert(m_postings.end(), m_unbuilt.begin(), m_unbuilt.end());
    std::inplace_merge(m_postings.begin(), m_postings.begin() + middle, m_postings.end());
    m_unbuilt = {};
    m_buckets.assign((size_t(1) << kBucketBits) + 1, 0);
    for (const quint64 p : m_postings)
        ++m_buckets[bucketOf(p) + 1];
    std::partial_sum(m_buckets.begin(), m_buckets.end(), m_buckets.begin());
}

std::vector<quint32> FingerprintIndex::candidates(const AudioFingerprint& fingerprint)
{
    std::vector<quint32> touched;
    for (const quint32 key : keysOf(fingerprint.items)) {
        const auto bucket = m_postings.begin() + m_buckets[bucketOf(posting(key, 0))];
        const auto bucketEnd = m_postings.begin() + m_buckets[bucketOf(posting(key, 0)) + 1];
        const auto first = std::lower_bound(bucket, bucketEnd, posting(key, 0));
        const auto last = std::upper_bound(first, bucketEnd, posting(key, ~0u));
        if (last - first > kCommonKey)
            continue;
        for (auto p = first; p != last; ++p) {
            const quint32 entry = quint32(*p);
            if (m_votes[entry]++ == 0)
                touched.push_back(entry);
        }
    }
    std::vector<quint32> chosen;
    for (const quint32 entry : touched)
        if (m_votes[entry] >= kSharedKeys)
            chosen.push_back(entry);
    std::sort(chosen.begin(), chosen.end(), [&](quint32 x, quint32 y) { return m_votes[x] > m_votes[y]; });
    if (chosen.size() > size_t(kMaxCandidates))
        chosen.resize(kMaxCandidates);
    for (const quint32 entry : touched)
        m_votes[entry] = 0;
    return chosen;
}

QList<FingerprintIndex::Hit> FingerprintIndex::query(const AudioFingerprint& fingerprint, const FingerprintMatcher& matcher,
                                                     qint64 self)
{
    build();
    QList<Hit> hits;
    for (const quint32 entry : candidates(fingerprint)) {
        const Entry& stored = m_entries[entry];
        if (stored.id == self)
            continue;
        const std::optional<AudioFingerprint> other = AudioFingerprint::fromEncoded(stored.encoded, stored.seconds);
        const FingerprintMatch match = other ? matcher.compare(fingerprint, *other) : FingerprintMatch{};
        if (match.matched())
            hits.append({stored.id, match});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& x, const Hit& y) { return x.match.score > y.match.score; });
    return hits;
}

QList<FingerprintIndex::Group> FingerprintIndex::groups(const FingerprintMatcher& matcher,
                                                        const std::function<void(int done, int total)>& progress)
{
    build();
    const int total = size();
    std::vector<int> parent(total);
    std::iota(parent.begin(), parent.end(), 0);
    std::map<qint64, int> indexOf;
    for (int i = 0; i < total; ++i)
        indexOf.emplace(m_entries[i].id, i);
    std::map<std::pair<int, int>, FingerprintMatch> links; // each pair once, from its lower index
    for (int i = 0; i < total; ++i) {
        const Entry& entry = m_entries[i];
        if (const auto fingerprint = AudioFingerprint::fromEncoded(entry.encoded, entry.seconds))
            for (const Hit& hit : query(*fingerprint, matcher, entry.id)) {
                const int j = indexOf.at(hit.id);
                links.emplace(std::minmax(i, j), i < j ? hit.match : hit.match.reversed());
                parent[rootOf(parent, i)] = rootOf(parent, j);
            }
        if (progress)
            progress(i + 1, total);
    }
    std::map<int, Group> byRoot;
    for (const auto& [pair, match] : links)
        byRoot[rootOf(parent, pair.first)].links.append({m_entries[pair.first].id, m_entries[pair.second].id, match});
    QList<Group> result;
    for (auto& [root, group] : byRoot) {
        for (const Link& link : group.links)
            group.ids << link.id << link.other;
        std::sort(group.ids.begin(), group.ids.end());
        group.ids.erase(std::unique(group.ids.begin(), group.ids.end()), group.ids.end());
        result.append(group);
    }
    std::sort(result.begin(), result.end(), [](const Group& x, const Group& y) { return x.ids.first() < y.ids.first(); });
    return result;
}
