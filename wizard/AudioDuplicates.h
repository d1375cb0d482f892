#pragma once
#include "platform/fingerprint/FingerprintIndex.h"

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class CartDatabase;

// The carts of a store that hold the same audio as a file about to be
// imported, by fingerprint, whatever their titles. The store's fingerprints
// are read when it is made; a cart imported after that is found once it is
// remembered, or once the fingerprints are read again (refresh). Carts
// without a fingerprint are not found. The wizard's search, the batch tool
// and drop folders all ask here.
class AudioDuplicates
{
public:
    explicit AudioDuplicates(const std::shared_ptr<CartDatabase>& database,
                             double threshold = FingerprintMatcher::kDefaultThreshold);

    struct Duplicate {
        qint64 cart = 0;        // the cart holding the audio, or 0 for
        QString file;           // a file asked about before, when files are compared
        FingerprintMatch match; // seen from the file: the file "contains" the cart, ...
    };
    // Best score first; empty (and error set) when the file cannot be read.
    // progress gets 0..100 as the file is read.
    QList<Duplicate> of(const QString& path, QString* error, const std::function<void(int percent)>& progress = {});
    // From now on the files asked about are compared with each other too
    // (those asked about before are forgotten): a batch that brings the same
    // song twice names the first file for the second.
    void compareFiles();
    // Adds a cart's stored fingerprint (one just imported, say), if it has one.
    void remember(qint64 cart);
    // Reads the store's fingerprints again when they changed (another
    // workstation imported, say), but spends at most a tenth of the time on
    // reading: a store whose reading takes 8 s is read again at most every
    // 80 s. For a process that runs for days.
    void refresh();
    // Carts whose stored fingerprint could not be read, left out.
    const QList<qint64>& damaged() const { return m_damaged; }

    // "same audio 0.931"
    static QString scoreText(const FingerprintMatch& match);
    // "cart 12 (same audio 0.931), cart 40 (part of 0.702), FILE (same
    // audio 0.990)" or "no cart".
    static QString text(const QList<Duplicate>& duplicates);
    // [{cart, kind, score}], a file's as {file, kind, score}
    static QJsonArray json(const QList<Duplicate>& duplicates);

private:
    void read();

    std::shared_ptr<CartDatabase> m_database;
    FingerprintMatcher m_matcher;
    FingerprintIndex m_index;
    bool m_compareFiles = false;
    FingerprintIndex m_files; // the files asked about, by their place in m_paths
    QStringList m_paths;
    QList<qint64> m_damaged;
    QString m_signature;    // of the fingerprints last read
    qint64 m_readAt = 0;    // when, ms since the epoch
    qint64 m_readTook = 0;  // how long the reading took, ms
};
