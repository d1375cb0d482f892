#include "frame/library/FolderBrowser.h"

#include "frame/library/LibraryDialogs.h"

QString FolderBrowser::BrowseForFolder(const QString& title, const QString& startFolder)
{
    return LibraryDialogs::current().browseForFolder(title, startFolder);
}
