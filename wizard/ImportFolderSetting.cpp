#include "wizard/ImportFolderSetting.h"

#include "frame/library/Directory.h"
#include "frame/library/DirectoryUser.h"
#include "frame/library/RegistryTools.h"

namespace {
const QString SettingName = QStringLiteral("ImportAudioWizardPath");

DirectoryUser* loggedInUser(Directory* directory) { return directory ? directory->CurrentUser() : nullptr; }
} // namespace

QString ImportFolderSetting::ReadImportFolder(Directory* directory)
{
    const QString workstation =
        RegistryTools::GetRegString(RegistryTools::CurrentUser, RegistryTools::productKey(), SettingName);
    DirectoryUser* user = loggedInUser(directory);
    return user ? user->Settings().GetSetting(SettingName, workstation) : workstation;
}

void ImportFolderSetting::SaveImportFolder(Directory* directory, const QString& folder)
{
    RegistryTools::SetRegString(RegistryTools::CurrentUser, RegistryTools::productKey(), SettingName, folder);
    if (DirectoryUser* user = loggedInUser(directory))
        user->Settings().SaveSetting(SettingName, folder);
}
