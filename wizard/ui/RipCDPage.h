#pragma once
#include <QWidget>

class ImportItemList;
class ImportItemView;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// Page 3: the tracks of the CD in the drive and the disc-wide title options.
class RipCDPage : public QWidget
{
    Q_OBJECT
public:
    explicit RipCDPage(QWidget* parent = nullptr);

    ImportItemList* tracks() const { return m_tracks; }

    ImportItemView* lvwCDTracks = nullptr;
    QPushButton* cmdCDSelectAll = nullptr;
    QPushButton* cmdCDDeselectAll = nullptr;
    QCheckBox* chkCDAutoTop = nullptr;
    QCheckBox* chkCDArtist = nullptr;
    QComboBox* comboCDArtist = nullptr;
    QCheckBox* chkCDTitle = nullptr;
    QComboBox* comboCDTitle = nullptr;
    QLabel* lblCDTitleOrder = nullptr;
    QComboBox* comboCDTitleOrder = nullptr;
    QLabel* lblCDSeparators = nullptr;
    QComboBox* comboCdTitleSeparator[2] = {};
    QLabel* lblCDSeparatorOr = nullptr;
    QPushButton* cmdCDQueryCDDB = nullptr;
    QComboBox* comboCDLookupService = nullptr; // "CDDB" or "MusicBrainz", asked by cmdCDQueryCDDB
    QComboBox* comboCDRelease = nullptr;       // shown when the lookup found several releases
    QFrame* pnlCDQueryStatus = nullptr;
    QLabel* lblCDQueryStatus = nullptr;
    QLabel* imgCD = nullptr;
    QLabel* imgFreeDB = nullptr;
    QPushButton* cmdSearchForMatches = nullptr; // index 1 of the search controls
    QTreeWidget* treeMatches = nullptr;
    QProgressBar* progScanForMatch = nullptr;

private:
    void buildTrackList();
    void buildTitleOptions();
    void buildStatusPanel();

    ImportItemList* m_tracks = nullptr;
};
