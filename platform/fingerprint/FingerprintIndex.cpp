#include "platform/fingerprint/FingerprintIndex.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <optional>

namespace {
constexpr int kKeyBits = 20;
constexpr quint32 keyOf(quint32 item) { return item >> (32 - kKeyBits); }
// One key value in eight is indexed.
constexpr bool isIndexed(quint32 key) { return ((key * 0x9E3779B1u) >> 29) == 0; }
// A key held by more stored fingerprints than this says little (quiet
// passages, common chords) and costs much: it is skipped.
constexpr quint32 kCommonKey = 5000;
// Lengths closer than this are "similar": the same audio behind a little silence.
bool similarLength(double a, double b) { return std::abs(a - b) <= std::max(5.0, 0.05 * std::max(a, b)); }

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
        m_unbuilt.emplace_back(key, entry);
    return true;
}

// Folds what was added into the postings, ordered by key.
void FingerprintIndex::build()
{
    m_votes.assign(m_entries.size(), 0);
    if (m_unbuilt.empty() && !m_starts.empty())
        return;
    std::vector<quint32> counts(size_t(1) << kKeyBits, 0);
    for (size_t key = 0; key + 1 < m_starts.size(); ++key)
        counts[key] = m_starts[key + 1] - m_starts[key];
    for (const auto& posting : m_unbuilt)
        ++counts[posting.first];
    std::vector<quint32> starts(counts.size() + 1, 0);
    std::partial_sum(counts.begin(), counts.end(), starts.begin() + 1);
    std::vector<quint32> postings(starts.back());
    std::vector<quint32> filled(starts.begin(), starts.end() - 1);
    for (size_t key = 0; key + 1 < m_starts.size(); ++key)
        for (quint32 p = m_starts[key]; p < m_starts[key + 1]; ++p)
            postings[filled[key]++] = m_postings[p];
    for (const auto& posting : m_unbuilt)
        postings[filled[posting.first]++] = posting.second;
    m_starts = std::move(starts);
    m_postings = std::move(postings);
    m_unbuilt = {};
    m_unbuilt.shrink_to_fit();
}

std::vector<quint32> FingerprintIndex::candidates(const AudioFingerprint& fingerprint)
{
    std::vector<quint32> touched;
    for (const quint32 key : keysOf(fingerprint.items)) {
        const quint32 begin = m_starts[key], end = m_starts[key + 1];
        if (end - begin > kCommonKey)
            continue;
        for (quint32 p = begin; p < end; ++p)
            if (m_votes[m_postings[p]]++ == 0)
                touched.push_back(m_postings[p]);
    }
    std::vector<quint32> chosen;
    for (const quint32 entry : touched)
        if (m_votes[entry] >= 2 || similarLength(m_entries[entry].seconds, fingerprint.seconds))
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
