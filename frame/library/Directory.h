#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class AuditLog;
class CartDatabase;
class DirectoryUser;

// The user directory of a store: who may use it, with which cart rights,
// their own settings and the audit log. The person logged in to this
// workstation is the directory's current user when the directory knows them.
class Directory
{
public:
    Directory();
    ~Directory();

    int DebugLevel = 0;
    QString ProfileName;
    int DirectoryMode = 7;

    // Opens the directory of ProfileName's store and logs in the system user.
    // 0 = open (CurrentUser may still be none: a user the directory does not
    // know); non-zero = the store could not be opened, or the system user
    // cannot be told (a user id with no name in the system's user database).
    int OpenDefault(bool allowPrompt);
    DirectoryUser* CurrentUser() const { return m_currentUser.get(); }
    ::AuditLog& AuditLog();
    void EndSession();
    void Close();
    QString lastError() const { return m_lastError; }

    // Administration (the cartvault tool): adds a user or changes their
    // rights. Needs a store administrator, and nobody raises their own
    // rights. False with the reason in lastError().
    bool addUser(const QString& name, qint32 cartRights, bool administrator = false);
    struct UserEntry {
        QString name;
        qint32 cartRights;
        bool administrator;
    };
    QList<UserEntry> users();
    std::shared_ptr<CartDatabase> database() const { return m_database; }

private:
    bool mayChangeOwnRights(qint32 cartRights, bool administrator);

    std::shared_ptr<CartDatabase> m_database;
    std::unique_ptr<DirectoryUser> m_currentUser;
    std::unique_ptr<::AuditLog> m_auditLog;
    QString m_lastError;
};
