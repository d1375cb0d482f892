#pragma once
#include <QList>
#include <QString>
#include <memory>

class CartDatabase;

// What the store remembers of drop folders: each version of a file (name,
// size, modification time) a watcher has taken, and how it ended. Taking a
// file is a claim made in one transaction, so of several watchers on one
// shared folder exactly one imports it; a file replaced with new content is
// a new version and is taken again.
class DropboxMemory
{
public:
    explicit DropboxMemory(std::shared_ptr<CartDatabase> database);

    struct File {
        QString folder;
        QString name;
        qint64 size = 0;
        qint64 mtime = 0; // seconds since the epoch
    };
    struct Entry {
        File file;
        QString outcome; // claimed, imported, failed
        QString cart;
        QString reason;
        QString workstation;
        QString at;
    };

    // Claimed: this watcher may import the file now, as nobody has taken this
    // version or the watcher that claimed it has not finished within an hour
    // (it died). Taken: another has it, or it is done. NotAllowed: the user
    // may not change carts. Failed: the store could not be asked. With the
    // last two, lastError() says why.
    enum class Claim { Claimed, Taken, NotAllowed, Failed };
    Claim claim(const File& file);
    bool record(const File& file, const QString& outcome, const QString& cart, const QString& reason);
    QList<Entry> entries(const QString& folder);
    // Forgets a folder's files, so they are taken again; the count forgotten, -1 on error.
    int reset(const QString& folder);
    QString lastError() const;

private:
    std::shared_ptr<CartDatabase> m_database;
};
