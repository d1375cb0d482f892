#pragma once
#include "wizard/ImportListSort.h"

#include <QObject>

class frmImportAudio;

// What the buttons and the list of the files page do: adding files or a
// folder through the dialogs, removing, sorting by a column, and the
// buttons' states. The rules of the list itself live in the toolkit-free
// FileListBuilder; this only asks the person and forwards.
class FilesPageActions : public QObject
{
    Q_OBJECT
public:
    explicit FilesPageActions(frmImportAudio& window);

    // Qt's form of the file dialog's filters, first one chosen at start.
    static QStringList fileFilters();

    void addFiles();
    void addFolder();
    void removeSelected();
    void sortByColumn(int column);
    void UpdateFileButtons();

private:
    frmImportAudio& m_window;
    ImportListSort m_sort;
};
