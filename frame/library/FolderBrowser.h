#pragma once
#include <QString>

class FolderBrowser
{
public:
    // Asks for a folder; empty = cancelled (or nobody to ask).
    static QString BrowseForFolder(const QString& title, const QString& startFolder);
};
