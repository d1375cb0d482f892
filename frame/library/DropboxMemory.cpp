#include "frame/library/DropboxMemory.h"

#include "frame/AppPaths.h"
#include "frame/library/CartDatabase.h"

#include <QDateTime>
#include <QFile>
#include <QSysInfo>
#include <QVariant>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {
QString now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODate); }
QString workstation() { return QSysInfo::machineHostName() + QLatin1Char('/') + AppPaths::systemUserName(); }

// The process holding a claim. The boot tells a process of this boot from
// one that had the same id before a restart of the machine.
struct Holder {
    QString host;
    qint64 pid = 0;
    QString boot;
};

Holder thisProcess()
{
    static const QString boot = [] {
        QFile id(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return id.open(QIODevice::ReadOnly) ? QString::fromLatin1(id.readAll().trimmed()) : QString();
    }();
    return {QSysInfo::machineHostName(), ::getpid(), boot};
}

// A holder can be looked for only on its own workstation and boot. Anywhere
// else the lease decides: a workstation of the same name is not this one,
// and a restart of the machine takes longer than a lease anyway. A process
// id reused by an unrelated process keeps the claim until its lease runs out.
bool isGone(const Holder& holder, bool leaseRunOut)
{
    if (leaseRunOut)
        return true;
    const Holder self = thisProcess();
    if (holder.host != self.host || holder.boot != self.boot || holder.pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(holder.pid), 0) != 0 && errno == ESRCH;
}

void bindFile(QSqlQuery& q, const DropboxMemory::File& file)
{
    q.addBindValue(CartDatabase::text(file.folder));
    q.addBindValue(CartDatabase::text(file.name));
    q.addBindValue(file.size);
    q.addBindValue(file.mtime);
}

void bindHolder(QSqlQuery& q, const Holder& holder)
{
    q.addBindValue(CartDatabase::text(holder.host));
    q.addBindValue(holder.pid);
    q.addBindValue(CartDatabase::text(holder.boot));
}
} // namespace

DropboxMemory::DropboxMemory(std::shared_ptr<CartDatabase> database)
    : m_database(std::move(database))
{
}

QString DropboxMemory::lastError() const { return m_database->lastError(); }

// Leases are reckoned on the store's clock: on a shared PostgreSQL store
// every workstation then agrees when one has run out, whatever its own clock says.
QString DropboxMemory::storeNow() const
{
    return m_database->isPostgres() ? QStringLiteral("CAST(EXTRACT(EPOCH FROM CURRENT_TIMESTAMP) AS BIGINT)")
                                    : QStringLiteral("CAST(strftime('%s', 'now') AS INTEGER)");
}

DropboxMemory::Claim DropboxMemory::claim(const File& file)
{
    bool claimed = false;
    bool allowed = false;
    const bool ok = m_database->write([&] {
        allowed = m_database->allows(CartDatabase::Right::CartWrite);
        if (!allowed || !insertClaim(file, claimed))
            return false;
        return claimed || takeOverAbandoned(file, claimed);
    });
    if (!ok)
        return allowed ? Claim::Failed : Claim::NotAllowed;
    return claimed ? Claim::Claimed : Claim::Taken;
}

bool DropboxMemory::insertClaim(const File& file, bool& claimed)
{
    QSqlQuery& insert = m_database->query(
        QStringLiteral("INSERT INTO dropbox_files (folder, name, size, mtime, outcome, workstation, at, host, pid, boot, lease_until) "
                       "VALUES (?, ?, ?, ?, 'claimed', ?, ?, ?, ?, ?, %1 + %2) ON CONFLICT (folder, name, size, mtime) DO NOTHING")
            .arg(storeNow())
            .arg(kLeaseSeconds));
    bindFile(insert, file);
    insert.addBindValue(workstation());
    insert.addBindValue(now());
    bindHolder(insert, thisProcess());
    if (!m_database->exec(insert))
        return false;
    claimed = insert.numRowsAffected() == 1;
    return true;
}

// A claim still open whose holder is gone passes to this process. The
// update names the holder it saw, so of two watchers taking over the same
// claim at once only one gets it (on PostgreSQL the second one's update
// waits for the first to commit, then finds another holder).
bool DropboxMemory::takeOverAbandoned(const File& file, bool& claimed)
{
    QSqlQuery& held = m_database->query(
        QStringLiteral("SELECT outcome, host, pid, boot, lease_until < %1 FROM dropbox_files "
                       "WHERE folder = ? AND name = ? AND size = ? AND mtime = ?")
            .arg(storeNow()));
    bindFile(held, file);
    if (!m_database->exec(held))
        return false;
    const bool open = held.next() && held.value(0).toString() == QLatin1String("claimed");
    const Holder holder = open ? Holder{held.value(1).toString(), held.value(2).toLongLong(), held.value(3).toString()} : Holder{};
    const bool gone = open && isGone(holder, held.value(4).toInt() != 0);
    held.finish();
    if (!gone)
        return true;
    QSqlQuery& takeOver = m_database->query(
        QStringLiteral("UPDATE dropbox_files SET workstation = ?, at = ?, host = ?, pid = ?, boot = ?, lease_until = %1 + %2 "
                       "WHERE folder = ? AND name = ? AND size = ? AND mtime = ? AND outcome = 'claimed' "
                       "AND host = ? AND pid = ? AND boot = ?")
            .arg(storeNow())
            .arg(kLeaseSeconds));
    takeOver.addBindValue(workstation());
    takeOver.addBindValue(now());
    bindHolder(takeOver, thisProcess());
    bindFile(takeOver, file);
    bindHolder(takeOver, holder);
    if (!m_database->exec(takeOver))
        return false;
    claimed = takeOver.numRowsAffected() == 1;
    return true;
}

bool DropboxMemory::recordImported(const File& file, const QString& cart)
{
    QSqlQuery& q = m_database->query(QStringLiteral(
        "UPDATE dropbox_files SET outcome = 'imported', cart = ?, reason = '', at = ? "
        "WHERE folder = ? AND name = ? AND size = ? AND mtime = ? AND outcome = 'claimed' AND host = ? AND pid = ? AND boot = ?"));
    q.addBindValue(CartDatabase::text(cart));
    q.addBindValue(now());
    bindFile(q, file);
    bindHolder(q, thisProcess());
    return m_database->exec(q) && q.numRowsAffected() == 1;
}

// A claim taken over meanwhile belongs to its new holder: its row is not
// this process's to write.
bool DropboxMemory::record(const File& file, const QString& outcome, const QString& cart, const QString& reason)
{
    return m_database->write([&] {
        QSqlQuery& q = m_database->query(QStringLiteral(
            "UPDATE dropbox_files SET outcome = ?, cart = ?, reason = ?, at = ? "
            "WHERE folder = ? AND name = ? AND size = ? AND mtime = ? AND host = ? AND pid = ? AND boot = ?"));
        q.addBindValue(outcome);
        q.addBindValue(CartDatabase::text(cart));
        q.addBindValue(CartDatabase::text(reason));
        q.addBindValue(now());
        bindFile(q, file);
        bindHolder(q, thisProcess());
        return m_database->exec(q);
    });
}

bool DropboxMemory::renewClaims()
{
    return m_database->write([&] {
        QSqlQuery& q = m_database->query(
            QStringLiteral("UPDATE dropbox_files SET lease_until = %1 + %2 WHERE outcome = 'claimed' AND host = ? AND pid = ? AND boot = ?")
                .arg(storeNow())
                .arg(kLeaseSeconds));
        bindHolder(q, thisProcess());
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
