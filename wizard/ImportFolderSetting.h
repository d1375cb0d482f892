#pragma once
#include <QString>

class Directory;

// The folder the user last imported from: kept for the user in the
// registry stand-in and, when someone is logged in to the directory, in that
// user's settings too, which win when read (they follow the user between
// workstations).
class ImportFolderSetting
{
public:
    static QString ReadImportFolder(Directory* directory);
    static void SaveImportFolder(Directory* directory, const QString& folder);
};
