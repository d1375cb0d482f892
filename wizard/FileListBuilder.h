#pragma once
#include "wizard/FileImportOptions.h"
#include "wizard/ImportItem.h"

#include <QString>
#include <QStringList>
#include <functional>

class ImportItemList;

// How files enter the file list, for the wizard's add buttons, DisplayWizard's
// file list and the batch tool alike. A file whose name is already in the
// list (from any folder) is refused with the message people know; every
// added row gets its titles at once.
class FileListBuilder
{
public:
    FileListBuilder(ImportItemList& files, const FileImportOptions& options);

    // False when nothing was added (an empty path, or the name is in the list already).
    bool AddImportFile(const QString& path);
    // Adds the accepted files of one folder (not its subfolders), sorted by
    // name. `scanned` hears the percentage at the 1st, 11th, 21st ... file
    // (the window shows it on its scan bar and lets its events run there).
    // The number of files added.
    int addFolder(const QString& folder, const std::function<void(int percent)>& scanned = {});
    // The files addFolder refused because their names are not UTF-8 text,
    // as printable paths; they were named in a message too.
    const QStringList& undecodable() const { return m_undecodable; }

private:
    // Refuses, with the message, a file whose name is in the list already.
    bool isDuplicate(const QString& path) const;
    bool addRow(ImportItem row);
    void refuseUndecodable(const QString& folder);

    ImportItemList& m_files;
    const FileImportOptions& m_options;
    QStringList m_undecodable;
};
