#include "frame/library/DropboxMemory.h"

#include "frame/AppPaths.h"
#include "frame/library/CartDatabase.h"

#include <QDateTime>
#include <QSysInfo>
#include <QVariant>

namespace {
// A claim this old belongs to a watcher that died with the file in hand.
constexpr qint64 kAbandonedClaimSeconds = 3600;

QString now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODate); }
QString workstation() { return QSysInfo::machineHostName() + QLatin1Char('/') + AppPaths::systemUserName(); }

void bindFile(QSqlQuery& q, const DropboxMemory::File& file)
{
    q.addBindValue(CartDatabase::text(file.folder));
    q.addBindValue(CartDatabase::text(file.name));
    q.addBindValue(file.size);
    q.addBindValue(file.mtime);
}
} // namespace

DropboxMemory::DropboxMemory(std::shared_ptr<CartDatabase> database)
    : m_database(std::move(database))
{
}

QString DropboxMemory::lastError() const { return m_database->lastError(); }

DropboxMemory::Claim DropboxMemory::claim(const File& file)
{
    bool claimed = false;
    bool allowed = false;
    const bool ok = m_database->write([&] {
        allowed = m_database->allows(CartDatabase::Right::CartWrite);
        if (!allowed)
            return false;
        QSqlQuery& insert = m_database->query(QStringLiteral(
            "INSERT INTO dropbox_files (folder, name, size, mtime, outcome, workstation, at) VALUES (?, ?, ?, ?, 'claimed', ?, ?) "
            "ON CONFLICT (folder, name, size, mtime) DO NOTHING"));
        bindFile(insert, file);
        insert.addBindValue(workstation());
        insert.addBindValue(now());
        if (!m_database->exec(insert))
            return false;
        claimed = insert.numRowsAffected() == 1;
        if (claimed)
            return true;
        QSqlQuery& retake = m_database->query(QStringLiteral(
            "UPDATE dropbox_files SET workstation = ?, at = ? WHERE folder = ? AND name = ? AND size = ? AND mtime = ? "
            "AND outcome = 'claimed' AND at < ?"));
        retake.addBindValue(workstation());
        retake.addBindValue(now());
        bindFile(retake, file);
        retake.addBindValue(QDateTime::currentDateTimeUtc().addSecs(-kAbandonedClaimSeconds).toString(Qt::ISODate));
        if (!m_database->exec(retake))
            return false;
        claimed = retake.numRowsAffected() == 1;
        return true;
    });
    if (!ok)
        return allowed ? Claim::Failed : Claim::NotAllowed;
    return claimed ? Claim::Claimed : Claim::Taken;
}

bool DropboxMemory::record(const File& file, const QString& outcome, const QString& cart, const QString& reason)
{
    return m_database->write([&] {
        QSqlQuery& q = m_database->query(QStringLiteral(
            "UPDATE dropbox_files SET outcome = ?, cart = ?, reason = ?, at = ? WHERE folder = ? AND name = ? AND size = ? AND mtime = ?"));
        q.addBindValue(outcome);
        q.addBindValue(CartDatabase::text(cart));
        q.addBindValue(CartDatabase::text(reason));
        q.addBindValue(now());
        bindFile(q, file);
        return m_database->exec(q);
    });
}

QList<DropboxMemory::Entry> DropboxMemory::entries(const QString& folder)
{
    QList<Entry> result;
    QSqlQuery& q = m_database->query(QStringLiteral(
        "SELECT name, size, mtime, outcome, cart, reason, workstation, at FROM dropbox_files WHERE folder = ? ORDER BY at, name"));
    q.addBindValue(CartDatabase::text(folder));
    if (m_database->exec(q))
        while (q.next())
            result.append({{folder, q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toLongLong()},
                           q.value(3).toString(), q.value(4).toString(), q.value(5).toString(), q.value(6).toString(),
                           q.value(7).toString()});
    q.finish();
    return result;
}

int DropboxMemory::reset(const QString& folder)
{
    int forgotten = -1;
    m_database->write([&] {
        if (!m_database->allows(CartDatabase::Right::Administration))
            return false;
        QSqlQuery& q = m_database->query(QStringLiteral("DELETE FROM dropbox_files WHERE folder = ?"));
        q.addBindValue(CartDatabase::text(folder));
        if (!m_database->exec(q))
            return false;
        forgotten = q.numRowsAffected();
        return true;
    });
    return forgotten;
}
