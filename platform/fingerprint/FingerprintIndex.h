#pragma once
#include "platform/fingerprint/AudioFingerprint.h"
#include "platform/fingerprint/FingerprintMatcher.h"

#include "frame/library/CartFingerprints.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <vector>

// Stored fingerprints (a store's carts, say) that a fingerprint is looked up
// in. Comparing with every one would take long, so candidates come first
// from an inverted index of sub-fingerprints: the high 24 bits of every item
// whose high bits fall into a fixed eighth of all values (the same eighth for
// every fingerprint, so audio that matches shares them wherever it starts).
// A stored fingerprint sharing kSharedKeys of them with the query is a
// candidate, and candidates are compared in full. Fingerprints too short to
// match (under ten seconds) are left out, the others are kept packed.
//
// Sub-fingerprints survive what copies go through (a score of 0.85 and
// more shares dozens); matches scoring below about 0.7, above all over
// short overlaps, share too few and can be missed.
class FingerprintIndex
{
public:
    // Most candidates compared in full for one query, those sharing most first.
    static constexpr int kMaxCandidates = 100;
    static constexpr int kSharedKeys = 3;

    // False when the bytes are not a fingerprint; one too short to ever match is kept out.
    bool add(qint64 id, double seconds, const QByteArray& encoded);
    // Every fingerprint a store holds, under its cart's number; the carts
    // whose stored bytes are no fingerprint.
    QList<qint64> addStore(CartFingerprints& store);
    int size() const { return static_cast<int>(m_entries.size()); }

    struct Hit {
        qint64 id = 0;
        FingerprintMatch match; // seen from the query: the query "contains" the hit, ...
    };
    // Matches of the query, best score first; a stored fingerprint with the id `self` is left out.
    QList<Hit> query(const AudioFingerprint& fingerprint, const FingerprintMatcher& matcher, qint64 self = -1);

    // Stored fingerprints that match each other, as groups linked by the
    // matches found; ids in order, groups by their first id.
    struct Link {
        qint64 id = 0;
        qint64 other = 0;
        FingerprintMatch match; // seen from id
    };
    struct Group {
        QList<qint64> ids;
        QList<Link> links;
    };
    QList<Group> groups(const FingerprintMatcher& matcher, const std::function<void(int done, int total)>& progress = {});

private:
    struct Entry {
        qint64 id;
        double seconds;
        QByteArray encoded;
    };
    static std::vector<quint32> keysOf(const std::vector<quint32>& items);
    void build();
    std::vector<quint32> candidates(const AudioFingerprint& fingerprint);

    std::vector<Entry> m_entries;
    // Key and entry in one number, ordered by key: those added since the
    // last build, and those built, found through the table of buckets.
    std::vector<quint64> m_unbuilt;
    std::vector<quint64> m_postings;
    std::vector<quint32> m_buckets;
    std::vector<quint16> m_votes; // per entry, zero between queries
};
