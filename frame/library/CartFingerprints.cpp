#include "frame/library/CartFingerprints.h"

#include "frame/library/CartDatabase.h"

#include <QVariant>

CartFingerprints::CartFingerprints(std::shared_ptr<CartDatabase> database)
    : m_database(std::move(database))
{
}

QString CartFingerprints::lastError() const { return m_database->lastError(); }

bool CartFingerprints::save(const Row& row)
{
    QSqlQuery& q = m_database->query(QStringLiteral(
        "INSERT INTO cart_fingerprints (cart, seconds, fingerprint) VALUES (?, ?, ?) "
        "ON CONFLICT (cart) DO UPDATE SET seconds = excluded.seconds, fingerprint = excluded.fingerprint"));
    q.addBindValue(row.cart);
    q.addBindValue(row.seconds);
    q.addBindValue(row.fingerprint.isNull() ? QByteArray("") : row.fingerprint);
    return m_database->exec(q);
}

bool CartFingerprints::forget(qint64 cart)
{
    QSqlQuery& q = m_database->query(QStringLiteral("DELETE FROM cart_fingerprints WHERE cart = ?"));
    q.addBindValue(cart);
    return m_database->exec(q);
}

bool CartFingerprints::saveIfUnchanged(const Pending& audio, const Row& row)
{
    return m_database->write([&] {
        if (!m_database->allows(CartDatabase::Right::CartWrite) || !m_database->lockCart(audio.cart))
            return false;
        QSqlQuery& q = m_database->query(QStringLiteral("SELECT audio_revision FROM carts WHERE number = ? AND audio_length >= 0"));
        q.addBindValue(audio.cart);
        if (!m_database->exec(q))
            return false;
        const bool unchanged = q.next() && q.value(0).toLongLong() == audio.revision;
        q.finish();
        return !unchanged || save(row);
    });
}

namespace {
const QString kUnprinted = QStringLiteral(
    "SELECT number, audio_revision, audio_file FROM carts WHERE audio_length >= 0 "
    "AND NOT EXISTS (SELECT 1 FROM cart_fingerprints f WHERE f.cart = carts.number)");
} // namespace

QList<CartFingerprints::Pending> CartFingerprints::missing()
{
    QList<Pending> carts;
    QSqlQuery& q = m_database->query(kUnprinted + QStringLiteral(" ORDER BY number"));
    if (m_database->exec(q))
        while (q.next())
            carts.append({q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toString()});
    q.finish();
    return carts;
}

std::optional<CartFingerprints::Pending> CartFingerprints::pending(qint64 cart)
{
    QSqlQuery& q = m_database->query(kUnprinted + QStringLiteral(" AND number = ?"));
    q.addBindValue(cart);
    std::optional<Pending> found;
    if (m_database->exec(q) && q.next())
        found = Pending{cart, q.value(1).toLongLong(), q.value(2).toString()};
    q.finish();
    return found;
}

QList<CartFingerprints::Row> CartFingerprints::all()
{
    QList<Row> rows;
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT cart, seconds, fingerprint FROM cart_fingerprints ORDER BY cart"));
    if (m_database->exec(q))
        while (q.next())
            rows.append({q.value(0).toLongLong(), q.value(1).toDouble(), q.value(2).toByteArray()});
    q.finish();
    return rows;
}

std::optional<CartFingerprints::Row> CartFingerprints::of(qint64 cart)
{
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT seconds, fingerprint FROM cart_fingerprints WHERE cart = ?"));
    q.addBindValue(cart);
    std::optional<Row> row;
    if (m_database->exec(q) && q.next())
        row = Row{cart, q.value(0).toDouble(), q.value(1).toByteArray()};
    q.finish();
    return row;
}

QString CartFingerprints::signature()
{
    QSqlQuery& q = m_database->query(QStringLiteral(
        "SELECT COUNT(*), COALESCE(SUM(cart), 0), COALESCE(SUM(LENGTH(fingerprint)), 0), COALESCE(SUM(seconds), 0) "
        "FROM cart_fingerprints"));
    QString signature;
    if (m_database->exec(q) && q.next())
        signature = QStringLiteral("%1/%2/%3/%4").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                                      q.value(3).toString());
    q.finish();
    return signature;
}
