#include "frame/library/DirectoryUser.h"

#include "frame/library/CartDatabase.h"

#include <QVariant>

UserSettings::UserSettings(std::shared_ptr<CartDatabase> database, QString userName)
    : m_database(std::move(database))
    , m_userName(std::move(userName))
{
}

QString UserSettings::GetSetting(const QString& name, const QString& defaultValue) const
{
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT value FROM user_settings WHERE user_name = ? AND name = ?"));
    q.addBindValue(CartDatabase::text(m_userName));
    q.addBindValue(CartDatabase::text(name));
    QString value = defaultValue;
    if (m_database->exec(q) && q.next())
        value = q.value(0).toString();
    q.finish();
    return value;
}

bool UserSettings::SaveSetting(const QString& name, const QString& value)
{
    return m_database->write([&] {
        QSqlQuery& q = m_database->query(QStringLiteral(
            "INSERT INTO user_settings (user_name, name, value) VALUES (?, ?, ?) "
            "ON CONFLICT (user_name, name) DO UPDATE SET value = excluded.value"));
        q.addBindValue(CartDatabase::text(m_userName));
        q.addBindValue(CartDatabase::text(name));
        q.addBindValue(CartDatabase::text(value));
        return m_database->exec(q);
    });
}

DirectoryUser::DirectoryUser(std::shared_ptr<CartDatabase> database, QString name, qint32 cartRights)
    : m_name(std::move(name))
    , m_settings(std::move(database), m_name)
{
    m_rights.CartRights = cartRights;
}
