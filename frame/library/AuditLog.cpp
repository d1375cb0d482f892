#include "frame/library/AuditLog.h"

#include "frame/library/CartDatabase.h"

#include <QDateTime>
#include <QSysInfo>
#include <QVariant>

AuditLog::AuditLog(std::shared_ptr<CartDatabase> database, QString userName)
    : m_database(std::move(database))
    , m_userName(std::move(userName))
{
}

void AuditLog::ToolStarted(int toolKind, const QString& application)
{
    LogEvent(toolKind, 0, QStringLiteral("Tool Started"), application, 1);
}

void AuditLog::ToolStopped(int toolKind, const QString& application)
{
    LogEvent(toolKind, 0, QStringLiteral("Tool Stopped"), application, 1);
}

void AuditLog::LogEvent(int kind, int category, const QString& title, const QString& text, int flag, int)
{
    if (!m_database)
        return;
    m_database->write([&] {
        QSqlQuery& q = m_database->query(QStringLiteral(
            "INSERT INTO audit_log (logged_at, workstation, user_name, kind, category, title, text, flag) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        q.addBindValue(CartDatabase::text(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)));
        q.addBindValue(CartDatabase::text(QSysInfo::machineHostName()));
        q.addBindValue(CartDatabase::text(m_userName));
        q.addBindValue(kind);
        q.addBindValue(category);
        q.addBindValue(CartDatabase::text(title));
        q.addBindValue(CartDatabase::text(text));
        q.addBindValue(flag);
        return m_database->exec(q);
    });
}

QList<AuditEntry> AuditLog::entries(int limit) const
{
    QList<AuditEntry> result;
    if (!m_database)
        return result;
    QSqlQuery& q = m_database->query(QStringLiteral(
        "SELECT id, logged_at, workstation, user_name, kind, category, title, text, flag FROM audit_log "
        "ORDER BY id DESC LIMIT ?"));
    q.addBindValue(limit);
    if (m_database->exec(q)) {
        while (q.next())
            result.prepend({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                            q.value(4).toInt(), q.value(5).toInt(), q.value(6).toString(), q.value(7).toString(),
                            q.value(8).toInt()});
    }
    q.finish();
    return result;
}
