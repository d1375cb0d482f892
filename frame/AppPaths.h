#pragma once
#include <QString>

// Where the program keeps its files on a Linux desktop. The XDG variables are
// read on every call so that tests and the command-line tools can point a
// process at throwaway folders without restarting it.
class AppPaths
{
public:
    static QString configHome(); // $XDG_CONFIG_HOME or ~/.config
    static QString dataHome();   // $XDG_DATA_HOME or ~/.local/share
    static QString stateHome();  // $XDG_STATE_HOME or ~/.local/state

    // The same, with our own "orvane" sub-folder appended.
    static QString configFolder();
    static QString dataFolder();
    static QString logFolder();

    // Name of the person logged in to this workstation, from the system's
    // user database only: empty, with the reason in `why`, when the user id
    // has no entry there (an environment variable can name anyone).
    static QString systemUserName(QString* why = nullptr);
};
