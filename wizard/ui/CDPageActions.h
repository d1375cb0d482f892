#pragma once
#include "wizard/CDTitleOptions.h"
#include "wizard/ImportListSort.h"

#include <QObject>

class frmImportAudio;

// What the fields of the CD page do: the tick-all buttons, the boxes that
// force a title or an artist, the title options re-titling the rows, the
// list's sorting, and which controls are enabled while a disc is in. The
// rules of the list itself live in the toolkit-free CDTrackList.
class CDPageActions : public QObject
{
    Q_OBJECT
public:
    explicit CDPageActions(frmImportAudio& window);

    // The title choices as the page's fields stand.
    CDTitleOptions titleOptions() const;
    void ApplyCDTitles();
    void EnableCDControls(bool enable);
    void sortByColumn(int column);

private:
    void artistRule();
    void titleRule();

    frmImportAudio& m_window;
    ImportListSort m_sort;
};
