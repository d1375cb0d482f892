#pragma once
#include "platform/fingerprint/FingerprintIndex.h"

#include <QJsonArray>
#include <QList>
#include <QString>
#include <memory>

class CartDatabase;

// The carts of a store that hold the same audio as a file about to be
// imported, by fingerprint, whatever their titles. The store's fingerprints
// are read once, when it is made; carts without one are not found.
class BatchDuplicates
{
public:
    explicit BatchDuplicates(const std::shared_ptr<CartDatabase>& database);

    struct Duplicate {
        qint64 cart = 0;
        FingerprintMatch match; // seen from the file: the file "contains" the cart, ...
    };
    // Best score first; empty (and error set) when the file cannot be read.
    QList<Duplicate> of(const QString& path, QString* error);

    // "cart 12 (same audio 0.931), cart 40 (part of 0.702)" or "no cart".
    static QString text(const QList<Duplicate>& duplicates);
    // [{cart, kind, score}]
    static QJsonArray json(const QList<Duplicate>& duplicates);

private:
    FingerprintIndex m_index;
};
