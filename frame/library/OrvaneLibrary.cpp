#include "frame/library/OrvaneLibrary.h"

#include "frame/library/CartvaultStore.h"
#include "frame/library/LibraryDialogs.h"
#include "frame/library/RegistryTools.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kLastProfileValue = QStringLiteral("LastProfile");

void rememberProfile(const QString& name)
{
    RegistryTools::SetRegString(RegistryTools::CurrentUser, RegistryTools::productKey(), kLastProfileValue, name);
}
} // namespace

QString OrvaneLibrary::ChooseProfile(const QString& name, bool allowPrompt)
{
    m_lastError.clear();
    const QStringList profiles = ProfileSettings::profileNames();
    if (profiles.isEmpty() && allowPrompt && (name.isEmpty() || name == QLatin1String(kDefaultProfile))) {
        CartvaultStore store;
        if (store.CreateStore(QLatin1String(kDefaultProfile)))
            return QLatin1String(kDefaultProfile);
        m_lastError = store.lastError();
        return {};
    }
    QString chosen;
    if (!name.isEmpty()) {
        if (ProfileSettings::profileExists(name))
            chosen = name;
    } else if (profiles.size() == 1) {
        chosen = profiles.first();
    } else {
        const QString last = RegistryTools::GetRegString(RegistryTools::CurrentUser, RegistryTools::productKey(), kLastProfileValue);
        if (profiles.contains(last))
            chosen = last;
        else if (allowPrompt)
            chosen = LibraryDialogs::current().chooseProfile(profiles, profiles.first());
    }
    // Only a person's choice becomes the next default: a script naming a
    // profile must not change which store the next wizard imports into.
    if (allowPrompt && !chosen.isEmpty() && profiles.contains(chosen))
        rememberProfile(chosen);
    return chosen;
}

int OrvaneLibrary::CheckSettings(bool, int) const
{
    if (m_profile.DataLocation.isEmpty() || !QDir::isAbsolutePath(m_profile.DataLocation))
        return 1;
    if (m_profile.backend == ProfileSettings::Backend::PostgreSQL && m_profile.pgDatabase.isEmpty())
        return 1;
    const QFileInfo folder(m_profile.DataLocation);
    if (folder.exists() && !folder.isDir())
        return 1;
    return m_profile.isDiscovered() ? 3 : 2;
}

bool OrvaneLibrary::ShowSettings() { return LibraryDialogs::current().editProfile(m_profile); }
