#pragma once
#include <QObject>
#include <memory>

class AudioDuplicates;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class frmImportAudio;

// The "Search Cartvault" button of the files page (index 0) and of the CD
// page (index 1): starts a search of the store for items like the ticked
// rows, or stops the running one, and shows the hits in that page's tree.
// The rule and the walk are MatchSearch's; this only shows them.
class MatchSearchControls : public QObject
{
    Q_OBJECT
public:
    explicit MatchSearchControls(frmImportAudio& window);
    ~MatchSearchControls() override;

    void SearchForMatches(int index);

private:
    struct Controls {
        QPushButton* button;
        QTreeWidget* tree;
        QProgressBar* bar;
    };
    Controls controls(int index) const;
    void showSearching(const Controls& c, bool searching);

    frmImportAudio& m_window;
    // The store's fingerprints, read at the first search and kept for the
    // next ones (read again when they changed).
    std::unique_ptr<AudioDuplicates> m_duplicates;
};
