#pragma once
#include <QList>
#include <QString>
#include <memory>

class CartDatabase;

struct AuditEntry {
    qint64 id = 0;
    QString loggedAt; // UTC, ISO 8601
    QString workstation;
    QString userName;
    int kind = 0;
    int category = 0;
    QString title;
    QString text;
    int flag = 0;
};

// Who did what, when and where: one row per event in the store's database.
// Recording never fails a caller; a row that cannot be written is lost.
class AuditLog
{
public:
    AuditLog(std::shared_ptr<CartDatabase> database, QString userName);

    void ToolStarted(int toolKind, const QString& application);
    void ToolStopped(int toolKind, const QString& application);
    void LogEvent(int kind, int category, const QString& title, const QString& text, int flag, int reserved = 0);

    void setUserName(const QString& userName) { m_userName = userName; }

    // The newest `limit` entries, oldest first.
    QList<AuditEntry> entries(int limit = 1000) const;

private:
    std::shared_ptr<CartDatabase> m_database;
    QString m_userName;
};
