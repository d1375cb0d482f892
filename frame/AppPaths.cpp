#include "frame/AppPaths.h"

#include <QDir>
#include <QtGlobal>
#include <pwd.h>
#include <unistd.h>

namespace {
QString fromEnvironment(const char* variable, const QString& fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    // The XDG rules say a relative value is to be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + fallbackBelowHome;
}
} // namespace

QString AppPaths::configHome() { return fromEnvironment("XDG_CONFIG_HOME", QStringLiteral(".config")); }
QString AppPaths::dataHome() { return fromEnvironment("XDG_DATA_HOME", QStringLiteral(".local/share")); }
QString AppPaths::stateHome() { return fromEnvironment("XDG_STATE_HOME", QStringLiteral(".local/state")); }

QString AppPaths::configFolder() { return configHome() + QStringLiteral("/orvane"); }
QString AppPaths::dataFolder() { return dataHome() + QStringLiteral("/orvane"); }
QString AppPaths::logFolder() { return stateHome() + QStringLiteral("/orvane"); }

QString AppPaths::systemUserName(QString* why)
{
    const uid_t uid = geteuid();
    if (const passwd* entry = getpwuid(uid); entry && entry->pw_name && *entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    if (why)
        *why = QStringLiteral("User id %1 has no entry in the system's user database, so the Cartvault cannot tell who you are")
                   .arg(uid);
    return {};
}
