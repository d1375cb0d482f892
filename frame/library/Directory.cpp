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
    const QString userName = AppPaths::systemUserName(&m_lastError);
    if (userName.isEmpty())
        return 3;
    ProfileSettings profile;
    profile.LoadProfile(ProfileName);
    m_database = CartDatabase::shared(profile, &m_lastError);
    if (!m_database)
        return 1;
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

bool Directory::addUser(const QString& name, qint32 cartRights, bool administrator)
{
    m_lastError.clear();
    const QString user = name.trimmed();
    if (!m_database || user.isEmpty()) {
        m_lastError = QStringLiteral("A user needs a name");
        return false;
    }
    const bool saved = m_database->write([&] {
        if (!m_database->allows(CartDatabase::Right::Administration))
            return false;
        if (user == AppPaths::systemUserName() && !mayChangeOwnRights(cartRights, administrator))
            return false;
        QSqlQuery& q = m_database->query(QStringLiteral(
            "INSERT INTO users (name, cart_rights, administrator) VALUES (?, ?, ?) "
            "ON CONFLICT (name) DO UPDATE SET cart_rights = excluded.cart_rights, administrator = excluded.administrator"));
        q.addBindValue(CartDatabase::text(user));
        q.addBindValue(cartRights);
        q.addBindValue(administrator ? 1 : 0);
        return m_database->exec(q);
    });
    if (!saved && m_lastError.isEmpty())
        m_lastError = m_database->lastError();
    return saved;
}

// An administrator changing their own entry may lower their cart rights but
// not raise them, and keeps the administrator flag (dropping it by mistake
// could leave a store nobody may administer): another administrator must.
bool Directory::mayChangeOwnRights(qint32 cartRights, bool administrator)
{
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT cart_rights FROM users WHERE name = ?"));
    q.addBindValue(CartDatabase::text(AppPaths::systemUserName()));
    const qint32 current = m_database->exec(q) && q.next() ? q.value(0).toInt() : 0;
    q.finish();
    if (cartRights > current)
        m_lastError = QStringLiteral("Nobody raises their own cart rights (%1 now): another administrator must").arg(current);
    else if (!administrator)
        m_lastError = QStringLiteral("An administrator keeps their own administrator flag (give --admin): another administrator may remove it");
    return m_lastError.isEmpty();
}

QList<Directory::UserEntry> Directory::users()
{
    QList<UserEntry> result;
    if (!m_database)
        return result;
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT name, cart_rights, administrator FROM users ORDER BY name"));
    if (m_database->exec(q))
        while (q.next())
            result.append({q.value(0).toString(), q.value(1).toInt(), q.value(2).toInt() != 0});
    q.finish();
    return result;
}
