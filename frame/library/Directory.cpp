#include "frame/library/Directory.h"

#include "frame/AppPaths.h"
#include "frame/library/AuditLog.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/DirectoryUser.h"
#include "frame/library/ProfileSettings.h"

#include <QVariant>

Directory::Directory()
    : m_auditLog(std::make_unique<class AuditLog>(nullptr, QString()))
{
}

Directory::~Directory() = default;

int Directory::OpenDefault(bool)
{
    Close();
    ProfileSettings profile;
    profile.LoadProfile(ProfileName);
    m_database = CartDatabase::shared(profile, &m_lastError);
    if (!m_database)
        return 1;
    const QString userName = AppPaths::systemUserName();
    m_auditLog = std::make_unique<class AuditLog>(m_database, userName);
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT cart_rights FROM users WHERE name = ?"));
    q.addBindValue(CartDatabase::text(userName));
    if (!m_database->exec(q)) {
        m_lastError = m_database->lastError();
        return 2;
    }
    if (q.next())
        m_currentUser = std::make_unique<DirectoryUser>(m_database, userName, q.value(0).toInt());
    q.finish();
    return 0;
}

AuditLog& Directory::AuditLog() { return *m_auditLog; }

void Directory::EndSession() { m_currentUser.reset(); }

void Directory::Close()
{
    m_currentUser.reset();
    m_auditLog = std::make_unique<class AuditLog>(nullptr, QString());
    m_database.reset();
}

bool Directory::addUser(const QString& name, qint32 cartRights)
{
    if (!m_database || name.trimmed().isEmpty())
        return false;
    return m_database->write([&] {
        QSqlQuery& q = m_database->query(QStringLiteral(
            "INSERT INTO users (name, cart_rights) VALUES (?, ?) "
            "ON CONFLICT (name) DO UPDATE SET cart_rights = excluded.cart_rights"));
        q.addBindValue(CartDatabase::text(name.trimmed()));
        q.addBindValue(cartRights);
        return m_database->exec(q);
    });
}

QList<Directory::UserEntry> Directory::users()
{
    QList<UserEntry> result;
    if (!m_database)
        return result;
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT name, cart_rights FROM users ORDER BY name"));
    if (m_database->exec(q))
        while (q.next())
            result.append({q.value(0).toString(), q.value(1).toInt()});
    q.finish();
    return result;
}
