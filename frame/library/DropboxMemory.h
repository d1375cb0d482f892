#pragma once
#include <QList>
#include <QString>
#include <memory>

class CartDatabase;

// What the store remembers of drop folders: each version of a file (name,
// size, modification time) a watcher has taken, and how it ended. Taking a
// file is a claim made in one transaction, so of several watchers on one
// shared folder exactly one imports it; a file replaced with new content is
// a new version and is taken again. A claim names the process holding it
// (workstation, process id, boot) and runs out unless renewed, so a claim of
// a watcher that died is taken over: at once on its own workstation, where
// the process can be looked for, after the lease elsewhere.
class DropboxMemory
{
public:
    // How long a claim holds without renewal; the holder renews it well within.
    static constexpr int kLeaseSeconds = 60;

    explicit DropboxMemory(std::shared_ptr<CartDatabase> database);

    struct File {
        QString folder;
        QString name;
        qint64 size = 0;
        qint64 mtime = 0; // seconds since the epoch
        QString path() const { return folder + QLatin1Char('/') + name; }
    };
    struct Entry {
        File file;
        QString outcome; // claimed, imported, failed, skipped
        QString cart;
        QString reason;
        QString workstation;
        QString at;
    };

    // Claimed: this process may import the file now, as nobody has taken this
    // version or its holder is gone. Taken: a live watcher has it, or it is
    // done. NotAllowed: the user may not change carts. Failed: the store
    // could not be asked. With the last two, lastError() says why.
    enum class Claim { Claimed, Taken, NotAllowed, Failed };
    Claim claim(const File& file);
    // Inside the transaction that commits the file's cart (it opens none of
    // its own): the claim this process holds becomes "imported" into `cart`.
    // False when the claim is no longer this process's (its lease ran out
    // and another watcher took the file over): the cart must not commit.
    bool recordImported(const File& file, const QString& cart);
    // The outcome of a claim this process holds, after the fact.
    bool record(const File& file, const QString& outcome, const QString& cart, const QString& reason);
    // Extends the lease of every claim this process holds.
    bool renewClaims();
    QList<Entry> entries(const QString& folder);
    // Forgets a folder's files, so they are taken again; the count forgotten, -1 on error.
    int reset(const QString& folder);
    QString lastError() const;

private:
    bool insertClaim(const File& file, bool& claimed);
    bool takeOverAbandoned(const File& file, bool& claimed);
    QString storeNow() const;

    std::shared_ptr<CartDatabase> m_database;
};
