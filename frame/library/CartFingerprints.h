#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

class CartDatabase;

// The store's fingerprints of carts' audio (packed, with the length they
// cover). A fingerprint belongs to the audio its cart held when it was
// taken: an import of new audio drops it in its commit, and one taken after
// the fact is stored only if the cart's audio is still the one it was taken of.
class CartFingerprints
{
public:
    explicit CartFingerprints(std::shared_ptr<CartDatabase> database);

    struct Row {
        qint64 cart = 0;
        double seconds = 0;
        QByteArray fingerprint;
    };
    // A cart holding audio that has no fingerprint: its audio as it is now.
    struct Pending {
        qint64 cart = 0;
        qint64 revision = 0;
        QString audioFile;
    };

    // Inside the transaction that commits the cart's audio (it opens none of its own).
    bool save(const Row& row);
    bool forget(qint64 cart);
    // In a transaction of its own, for a user who may change carts; true
    // without storing anything when the cart got other audio meanwhile.
    bool saveIfUnchanged(const Pending& audio, const Row& row);

    QList<Pending> missing();
    // The cart, when it holds audio and has no fingerprint.
    std::optional<Pending> pending(qint64 cart);
    QList<Row> all();
    std::optional<Row> of(qint64 cart);
    // Changes whenever a fingerprint is stored, replaced or dropped: a cheap
    // question before reading them all again. Empty when it cannot be asked.
    QString signature();
    QString lastError() const;

private:
    std::shared_ptr<CartDatabase> m_database;
};
