#pragma once
#include <QString>

// The registry of a station PC, kept in QSettings files. A key such as
// "Software\Tarnwick\Orvane v3\Audio\ImportWizard" names the organisation
// "Tarnwick", application "Orvane v3" and the group "Audio/ImportWizard".
// The machine hive is the system scope (a file under XDG_CONFIG_DIRS, e.g.
// /etc/xdg/Tarnwick/Orvane v3.conf), set by an administrator; the user hive is
// the user's own file under XDG_CONFIG_HOME, which falls back to the machine's
// values when it has none of its own.
class RegistryTools
{
public:
    enum Hive { CurrentUser, LocalMachine };

    static qint32 GetRegLong(Hive hive, const QString& key, const QString& value, qint32 defaultValue = 0);
    static QString GetRegString(Hive hive, const QString& key, const QString& value,
                                const QString& defaultValue = QString());
    static bool SetRegString(Hive hive, const QString& key, const QString& value, const QString& data);
    static bool SetRegLong(Hive hive, const QString& key, const QString& value, qint32 data);

    // The product's own key.
    static QString productKey() { return QStringLiteral("Software\\Tarnwick\\Orvane v3"); }
};
