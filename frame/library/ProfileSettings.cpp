#include "frame/library/ProfileSettings.h"

#include "frame/AppPaths.h"
#include "frame/library/GeneralTools.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
QString profilesFolder() { return AppPaths::configFolder() + QStringLiteral("/profiles"); }
const QString kExtension = QStringLiteral(".conf");
const QString kPortKey = QStringLiteral("Database/Port");
const QString kTargetSessionKey = QStringLiteral("Database/TargetSessionAttrs");

bool validTargetSession(const QString& attrs)
{
    static const QStringList known{QStringLiteral("any"),     QStringLiteral("read-write"), QStringLiteral("read-only"),
                                   QStringLiteral("primary"), QStringLiteral("standby"),    QStringLiteral("prefer-standby")};
    return attrs.isEmpty() || known.contains(attrs);
}
} // namespace

bool ProfileSettings::isValidName(const QString& name)
{
    const QString trimmed = name.trimmed();
    return !trimmed.isEmpty() && trimmed == name && !name.contains(QLatin1Char('/'))
        && !name.contains(QLatin1Char('\\')) && !name.startsWith(QLatin1Char('.')) && name.size() <= 64;
}

QString ProfileSettings::profileFile(const QString& name) { return profilesFolder() + QLatin1Char('/') + name + kExtension; }

QString ProfileSettings::defaultDataLocation(const QString& name) { return AppPaths::dataFolder() + QLatin1Char('/') + name; }

QStringList ProfileSettings::profileNames()
{
    QStringList names;
    const QFileInfoList files = QDir(profilesFolder()).entryInfoList({QStringLiteral("*") + kExtension}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files)
        names << file.fileName().chopped(kExtension.size());
    return names;
}

bool ProfileSettings::profileExists(const QString& name)
{
    return isValidName(name) && QFileInfo::exists(profileFile(name));
}

bool ProfileSettings::LoadProfile(const QString& name)
{
    *this = ProfileSettings();
    m_name = name;
    if (!isValidName(name))
        return false;
    if (!profileExists(name)) {
        DataLocation = defaultDataLocation(name);
        m_discovered = true;
        return false;
    }
    QSettings file(profileFile(name), QSettings::IniFormat);
    DataLocation = file.value(QStringLiteral("DataLocation")).toString();
    m_backendName = file.value(QStringLiteral("Database/Backend"), m_backendName).toString();
    backend = m_backendName.compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0 ? Backend::PostgreSQL
        : m_backendName.compare(QLatin1String("sqlite"), Qt::CaseInsensitive) == 0         ? Backend::SQLite
                                                                                             : Backend::Unknown;
    pgHost = file.value(QStringLiteral("Database/Host")).toString();
    pgPort = file.value(kPortKey, pgPort).toString();
    pgTargetSession = file.value(kTargetSessionKey).toString();
    pgDatabase = file.value(QStringLiteral("Database/Name")).toString();
    pgUser = file.value(QStringLiteral("Database/User")).toString();
    return true;
}

bool ProfileSettings::SaveProfile(const QString& name)
{
    if (!isValidName(name) || !QDir().mkpath(profilesFolder()))
        return false;
    QSettings file(profileFile(name), QSettings::IniFormat);
    file.setValue(QStringLiteral("DataLocation"), DataLocation);
    // An unknown backend is kept as written: it may be a typing slip to correct.
    file.setValue(QStringLiteral("Database/Backend"), backend == Backend::PostgreSQL ? QStringLiteral("postgresql")
                                                      : backend == Backend::SQLite   ? QStringLiteral("sqlite")
                                                                                     : m_backendName);
    file.setValue(QStringLiteral("Database/Host"), pgHost);
    file.setValue(kPortKey, pgPort);
    if (pgTargetSession.isEmpty())
        file.remove(kTargetSessionKey);
    else
        file.setValue(kTargetSessionKey, pgTargetSession);
    file.setValue(QStringLiteral("Database/Name"), pgDatabase);
    file.setValue(QStringLiteral("Database/User"), pgUser);
    file.sync();
    if (file.status() != QSettings::NoError)
        return false;
    m_name = name;
    m_discovered = false;
    return true;
}

bool ProfileSettings::isValidPortList(const QString& ports, const QString& hosts)
{
    const QStringList list = ports.split(QLatin1Char(','));
    const qsizetype hostCount = hosts.isEmpty() ? 1 : hosts.split(QLatin1Char(',')).size();
    if (list.size() != 1 && list.size() != hostCount)
        return false;
    for (const QString& port : list) {
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number <= 0 || number > 65535)
            return false;
    }
    return true;
}

QString ProfileSettings::sqliteFile() const { return DataLocation + QStringLiteral("/cartvault.sqlite"); }

QString ProfileSettings::databaseText() const
{
    if (backend == Backend::SQLite)
        return sqliteFile();
    if (backend == Backend::Unknown)
        return QStringLiteral("unknown backend '%1'").arg(m_backendName);
    const QString text = QStringLiteral("host=%1 port=%2 dbname=%3 user=%4").arg(pgHost, pgPort, pgDatabase, pgUser);
    return pgTargetSession.isEmpty() ? text : text + QStringLiteral(" target_session_attrs=") + pgTargetSession;
}

bool ProfileSettings::setPostgresConnection(const QString& connInfo)
{
    QString host, database, user, targetSession;
    QString port = QStringLiteral("5432");
    for (const auto& [key, value] : GeneralTools::ParseParameters(connInfo)) {
        const QString k = key.toLower();
        if (k == QLatin1String("host"))
            host = value;
        else if (k == QLatin1String("port"))
            port = value;
        else if (k == QLatin1String("dbname"))
            database = value;
        else if (k == QLatin1String("user"))
            user = value;
        else if (k == QLatin1String("target_session_attrs"))
            targetSession = value;
    }
    if (database.isEmpty() || !isValidPortList(port, host) || !validTargetSession(targetSession))
        return false;
    backend = Backend::PostgreSQL;
    pgHost = host;
    pgPort = port;
    pgDatabase = database;
    pgUser = user;
    pgTargetSession = targetSession;
    return true;
}
