#pragma once
#include <QString>
#include <QStringList>

// One profile: where this workstation keeps its data and how it reaches the
// Cartvault database. One file per profile under the user's config folder
// (orvane/profiles/<name>.conf). A shared store is a PostgreSQL database that
// every studio's profile names; the password comes the way libpq takes it
// (PGPASSWORD, ~/.pgpass), never from the profile file.
class ProfileSettings
{
public:
    // Unknown: the profile names a backend this program does not have; its
    // store cannot be opened.
    enum class Backend { SQLite, PostgreSQL, Unknown };

    // Reads the named profile. A profile without a file gets the defaults
    // (an SQLite store in the user's data folder) and counts as discovered,
    // not saved; returns false then.
    bool LoadProfile(const QString& name);
    bool SaveProfile(const QString& name);

    QString DataLocation; // empty = unusable
    Backend backend = Backend::SQLite;
    // libpq's lists: several hosts "a,b" with one port for all or one each
    // ("5432,5433"); the first that answers (and, with target_session_attrs,
    // suits) is used, so a standby that was promoted takes over.
    QString pgHost;
    QString pgPort = QStringLiteral("5432");
    QString pgTargetSession; // libpq's target_session_attrs; empty = any
    QString pgDatabase;
    QString pgUser;

    QString name() const { return m_name; }
    // The backend as the profile file names it.
    QString backendName() const { return m_backendName; }
    bool isDiscovered() const { return m_discovered; }
    // The SQLite database file of this profile.
    QString sqliteFile() const;
    // "host=... port=... dbname=... user=..." for PostgreSQL, the file for SQLite.
    QString databaseText() const;
    // Takes a libpq-style connection text (host, port, dbname, user,
    // target_session_attrs); false when it names no database, a port that is
    // none, more ports than hosts, or an unknown target_session_attrs.
    bool setPostgresConnection(const QString& connInfo);

    static QStringList profileNames();
    static bool profileExists(const QString& name);
    static bool isValidName(const QString& name);
    static QString profileFile(const QString& name);
    static QString defaultDataLocation(const QString& name);
    // libpq's rule: one port for every host, or one for each.
    static bool isValidPortList(const QString& ports, const QString& hosts);

private:
    QString m_name;
    QString m_backendName = QStringLiteral("sqlite");
    bool m_discovered = false;
};
