#pragma once
#include <QString>
#include <memory>

class CartDatabase;

struct UserRights {
    // < 0 no cart access, 0 may not add carts, > 0 may add carts.
    qint32 CartRights = 0;
};

// A user's own settings, kept in the store so they follow the user from one
// workstation to the next.
class UserSettings
{
public:
    UserSettings(std::shared_ptr<CartDatabase> database, QString userName);
    QString GetSetting(const QString& name, const QString& defaultValue = QString()) const;
    bool SaveSetting(const QString& name, const QString& value);

private:
    std::shared_ptr<CartDatabase> m_database;
    QString m_userName;
};

class DirectoryUser
{
public:
    DirectoryUser(std::shared_ptr<CartDatabase> database, QString name, qint32 cartRights);

    QString Name() const { return m_name; }
    const UserRights& Rights() const { return m_rights; }
    UserSettings& Settings() { return m_settings; }

private:
    QString m_name;
    UserRights m_rights;
    UserSettings m_settings;
};
