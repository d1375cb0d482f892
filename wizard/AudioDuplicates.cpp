#include "wizard/AudioDuplicates.h"

#include "audio/AudioAnalysis.h"
#include "frame/library/CartFingerprints.h"
#include "platform/fingerprint/AudioFingerprinter.h"

#include <QDateTime>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {
double rounded(double score) { return std::round(score * 1000) / 1000; }
} // namespace

AudioDuplicates::AudioDuplicates(const std::shared_ptr<CartDatabase>& database, double threshold)
    : m_database(database)
    , m_matcher(threshold)
{
    read();
}

void AudioDuplicates::read()
{
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    CartFingerprints fingerprints(m_database);
    m_signature = fingerprints.signature();
    m_index = FingerprintIndex();
    m_damaged = m_index.addStore(fingerprints);
    m_readAt = QDateTime::currentMSecsSinceEpoch();
    m_readTook = m_readAt - start;
}

void AudioDuplicates::refresh()
{
    if (QDateTime::currentMSecsSinceEpoch() - m_readAt < 10 * m_readTook)
        return;
    if (const QString now = CartFingerprints(m_database).signature(); !now.isEmpty() && now != m_signature)
        read();
}

QList<AudioDuplicates::Duplicate> AudioDuplicates::of(const QString& path, QString* error,
                                                      const std::function<void(int percent)>& progress)
{
    AudioFingerprinter fingerprinter;
    if (!AnalyseAudioFile(path, {&fingerprinter}, progress, error))
        return {};
    const AudioFingerprint& fingerprint = fingerprinter.fingerprint();
    QList<Duplicate> duplicates;
    for (const FingerprintIndex::Hit& hit : m_index.query(fingerprint, m_matcher))
        duplicates.append({hit.id, QString(), hit.match});
    if (m_compareFiles) {
        for (const FingerprintIndex::Hit& hit : m_files.query(fingerprint, m_matcher))
            duplicates.append({0, m_paths.at(hit.id), hit.match});
        m_files.add(m_paths.size(), fingerprint.seconds, fingerprint.encoded());
        m_paths << path;
        std::stable_sort(duplicates.begin(), duplicates.end(),
                         [](const Duplicate& a, const Duplicate& b) { return a.match.score > b.match.score; });
    }
    return duplicates;
}

void AudioDuplicates::compareFiles()
{
    m_compareFiles = true;
    m_files = FingerprintIndex();
    m_paths.clear();
}

void AudioDuplicates::remember(qint64 cart)
{
    CartFingerprints fingerprints(m_database);
    if (const std::optional<CartFingerprints::Row> row = fingerprints.of(cart))
        if (!m_index.add(row->cart, row->seconds, row->fingerprint))
            m_damaged << cart;
}

QString AudioDuplicates::scoreText(const FingerprintMatch& match)
{
    return QStringLiteral("%1 %2").arg(FingerprintMatch::kindName(match.kind)).arg(rounded(match.score), 0, 'f', 3);
}

QString AudioDuplicates::text(const QList<Duplicate>& duplicates)
{
    QStringList carts;
    for (const Duplicate& duplicate : duplicates)
        carts << QStringLiteral("%1 (%2)")
                     .arg(duplicate.file.isEmpty() ? QStringLiteral("cart %1").arg(duplicate.cart) : duplicate.file,
                          scoreText(duplicate.match));
    return carts.isEmpty() ? QStringLiteral("no cart") : carts.join(QStringLiteral(", "));
}

QJsonArray AudioDuplicates::json(const QList<Duplicate>& duplicates)
{
    QJsonArray carts;
    for (const Duplicate& duplicate : duplicates) {
        QJsonObject object{{"kind", FingerprintMatch::kindName(duplicate.match.kind)}, {"score", rounded(duplicate.match.score)}};
        if (duplicate.file.isEmpty())
            object.insert(QStringLiteral("cart"), duplicate.cart);
        else
            object.insert(QStringLiteral("file"), duplicate.file);
        carts.append(object);
    }
    return carts;
}
