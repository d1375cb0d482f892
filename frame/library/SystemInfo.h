#pragma once
#include <QString>

class SystemInfo
{
public:
    // Start-up checks of the workstation: A makes sure the tool's own folders
    // (configuration, data, log) can be created; B that a second instance is
    // not needed to refuse (always true on this platform: several wizards may
    // run side by side on one store).
    static bool StartupCheckA(bool showMessages, const QString& reserved = QString());
    static bool StartupCheckB(bool showMessages);

    struct VersionInfo {
        int platformId = 2; // 2: a system with per-process memory counters
        QString prettyName; // e.g. "Debian GNU/Linux 12 (bookworm)"
    };
    static VersionInfo GetVersionInfo();
};
