#pragma once
#include "frame/library/ProfileSettings.h"

#include <QString>

class Directory;

// The root of the library: which profile this tool works with, and whether
// its settings are usable.
class OrvaneLibrary
{
public:
    int DebugLevel = 0;
    bool DebugSwitch = false;
    ::Directory* Directory = nullptr; // not owned

    // The profile to use. A given name is used when such a profile exists.
    // With no name: the only profile; with several the one chosen last, else
    // the person is asked when allowPrompt. With none at all, the first run
    // of an interactive tool (allowPrompt) gets "Default": its embedded store
    // is made here, the profile itself is discovered and saved by the caller;
    // a script gets none. Empty = none (lastError() says why when a store
    // could not be made). With allowPrompt the choice is remembered as the
    // last one used; a script's choice is not.
    QString ChooseProfile(const QString& name, bool allowPrompt);
    QString lastError() const { return m_lastError; }
    ProfileSettings& Profile() { return m_profile; }

    // 1 = settings bad, 2 = OK, 3 = found (discovered) but not saved.
    int CheckSettings(bool allowRepair, int reserved) const;
    // Lets a person edit the profile; false = cancelled.
    bool ShowSettings();

    static constexpr const char* kDefaultProfile = "Default";

private:
    ProfileSettings m_profile;
    QString m_lastError;
};
