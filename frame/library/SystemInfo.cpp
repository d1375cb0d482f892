#include "frame/library/SystemInfo.h"

#include "frame/AppPaths.h"
#include "frame/Messenger.h"

#include <QDir>
#include <QSysInfo>

bool SystemInfo::StartupCheckA(bool showMessages, const QString&)
{
    for (const QString& folder : {AppPaths::configFolder(), AppPaths::dataFolder()}) {
        if (!QDir().mkpath(folder)) {
            if (showMessages)
                ShowMessage(QStringLiteral("The folder %1 cannot be created, so the tool cannot keep its settings.").arg(folder));
            return false;
        }
    }
    return true;
}

bool SystemInfo::StartupCheckB(bool) { return true; }

SystemInfo::VersionInfo SystemInfo::GetVersionInfo()
{
    VersionInfo info;
    info.prettyName = QSysInfo::prettyProductName();
    return info;
}
