#include "BatchDuplicates.h"

#include "audio/AudioAnalysis.h"
#include "frame/library/CartFingerprints.h"
#include "platform/fingerprint/AudioFingerprinter.h"

#include <QJsonObject>
#include <QStringList>
#include <cmath>
#include <cstdio>

namespace {
double rounded(double score) { return std::round(score * 1000) / 1000; }
} // namespace

BatchDuplicates::BatchDuplicates(const std::shared_ptr<CartDatabase>& database)
{
    CartFingerprints fingerprints(database);
    for (const qint64 cart : m_index.addStore(fingerprints))
        std::fprintf(stderr, "orvane-import-batch: note: the stored fingerprint of cart %lld cannot be read; the cart is left out\n",
                     static_cast<long long>(cart));
}

QList<BatchDuplicates::Duplicate> BatchDuplicates::of(const QString& path, QString* error)
{
    AudioFingerprinter fingerprinter;
    if (!AnalyseAudioFile(path, {&fingerprinter}, {}, error))
        return {};
    QList<Duplicate> duplicates;
    for (const FingerprintIndex::Hit& hit : m_index.query(fingerprinter.fingerprint(), FingerprintMatcher()))
        duplicates.append({hit.id, hit.match});
    return duplicates;
}

QString BatchDuplicates::text(const QList<Duplicate>& duplicates)
{
    QStringList carts;
    for (const Duplicate& duplicate : duplicates)
        carts << QStringLiteral("cart %1 (%2 %3)")
                     .arg(duplicate.cart)
                     .arg(FingerprintMatch::kindName(duplicate.match.kind))
                     .arg(rounded(duplicate.match.score), 0, 'f', 3);
    return carts.isEmpty() ? QStringLiteral("no cart") : carts.join(QStringLiteral(", "));
}

QJsonArray BatchDuplicates::json(const QList<Duplicate>& duplicates)
{
    QJsonArray carts;
    for (const Duplicate& duplicate : duplicates)
        carts.append(QJsonObject{{"cart", duplicate.cart},
                                 {"kind", FingerprintMatch::kindName(duplicate.match.kind)},
                                 {"score", rounded(duplicate.match.score)}});
    return carts;
}
