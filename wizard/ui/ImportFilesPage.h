#pragma once
#include <QWidget>

class ImportItemList;
class ImportItemView;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// Page 2: the audio files to import, how their titles are read and what
// happens to the files.
class ImportFilesPage : public QWidget
{
    Q_OBJECT
public:
    explicit ImportFilesPage(QWidget* parent = nullptr);

    ImportItemList* files() const { return m_files; }

    ImportItemView* lvwFiles = nullptr;
    QPushButton* cmdFilesAddFiles = nullptr;
    QPushButton* cmdFilesAddFolder = nullptr;
    QPushButton* cmdFileRemove = nullptr;
    QPushButton* cmdSearchForMatches = nullptr; // index 0 of the search controls
    QLabel* lblItemTitling = nullptr;
    QComboBox* comboFilesTitleProcessing = nullptr;
    QLabel* lblFileNameSeparators = nullptr;
    QComboBox* comboFileNameSeparator[2] = {};
    QLabel* lblFileNameSeparatorOr = nullptr;
    QCheckBox* chkFilesDeleteOriginal = nullptr;
    QCheckBox* chkFilesCreateLink = nullptr;
    QTreeWidget* treeMatches = nullptr;
    QProgressBar* progScanForMatch = nullptr;

    // Enables the separators for the titling chosen now.
    void applyTitlingRule();
    // The separators mean something only to the two name-splitting modes.
    static bool titlingUsesSeparators(int titlingIndex) { return titlingIndex == 2 || titlingIndex == 3; }

signals:
    // A titling choice changed: every row's title is to be worked out again.
    void titlingChanged();

private:
    void buildList();
    void buildTitling();
    void applyLinkRule();
    void titlingChosen();

    ImportItemList* m_files = nullptr;
};
