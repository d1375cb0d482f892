#include "wizard/ui/FilesPageActions.h"

#include "frame/library/FileTools.h"
#include "frame/library/FolderBrowser.h"
#include "frame/library/LibraryGlobals.h"
#include "wizard/FileListBuilder.h"
#include "wizard/FileRowReader.h"
#include "wizard/ImportFolderSetting.h"
#include "wizard/ImportItemList.h"
#include "wizard/ui/BusyPointer.h"
#include "wizard/ui/ImportFilesPage.h"
#include "wizard/ui/ImportItemView.h"
#include "wizard/ui/frmImportAudio.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>

FilesPageActions::FilesPageActions(frmImportAudio& window)
    : QObject(&window)
    , m_window(window)
    , m_sort(window.fileList())
{
    ImportFilesPage* page = window.fraImportFiles;
    connect(page->cmdFilesAddFiles, &QPushButton::clicked, this, &FilesPageActions::addFiles);
    connect(page->cmdFilesAddFolder, &QPushButton::clicked, this, &FilesPageActions::addFolder);
    connect(page->cmdFileRemove, &QPushButton::clicked, this, &FilesPageActions::removeSelected);
    connect(page->lvwFiles, &QAbstractItemView::clicked, this, &FilesPageActions::UpdateFileButtons);
    page->lvwFiles->header()->setSectionsClickable(true);
    connect(page->lvwFiles->header(), &QHeaderView::sectionClicked, this, &FilesPageActions::sortByColumn);
}

QStringList FilesPageActions::fileFilters()
{
    const QString allAudio = QStringLiteral("*.") + FileRowReader::audioExtensions().join(QStringLiteral(" *."));
    return {QStringLiteral("All Audio Files (%1)").arg(allAudio), QStringLiteral("Ogg/Vorbis Files (*.ogg *.oga)"),
            QStringLiteral("MPEG 2 Files (*.mp2)"),      QStringLiteral("mp3 Files (*.mp3)"),
            QStringLiteral("Microsoft WAV Files (*.wav)"), QStringLiteral("Windows Media Files (*.wma)"),
            QStringLiteral("FLAC, AIFF, Opus and AAC Files (*.flac *.aif *.aiff *.aifc *.opus *.m4a *.aac)"),
            QStringLiteral("Transport Files (*.zip)"),   QStringLiteral("All files (*)")};
}

void FilesPageActions::addFiles()
{
    // Qt's own dialog: its filters match without regard to letter case, so
    // SONG.MP3 shows under "*.mp3" as it would on a station PC.
    QFileDialog dialog(&m_window, QStringLiteral("Select the files to import..."),
                       ImportFolderSetting::ReadImportFolder(gDirectory.get()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(fileFilters());
    dialog.setDefaultSuffix(QStringLiteral("WAV"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QStringList files = dialog.selectedFiles();
    BusyPointer busy;
    ImportFolderSetting::SaveImportFolder(gDirectory.get(), FileTools::GetFolder(files.first(), 0));
    for (const QString& file : files)
        m_window.AddImportFile(file);
    UpdateFileButtons();
}

void FilesPageActions::addFolder()
{
    const QString folder = FolderBrowser::BrowseForFolder(QStringLiteral("Select the directory to import files from.."),
                                                          ImportFolderSetting::ReadImportFolder(gDirectory.get()));
    if (folder.isEmpty())
        return;
    ImportFolderSetting::SaveImportFolder(gDirectory.get(), folder);
    QProgressBar* bar = m_window.fraImportFiles->progScanForMatch;
    bar->setValue(0);
    bar->show();
    {
        BusyPointer busy;
        FileListBuilder(m_window.fileList(), m_window.importOptions()).addFolder(folder, [bar](int percent) {
            bar->setValue(percent);
            QCoreApplication::processEvents();
        });
    }
    bar->hide();
    bar->setValue(0);
    UpdateFileButtons();
}

void FilesPageActions::removeSelected()
{
    QList<int> rows;
    for (const QModelIndex& index : m_window.fraImportFiles->lvwFiles->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows)
        m_window.fileList().remove(row);
    UpdateFileButtons();
}

// Column k (from 1) sorts by field k - 1, except the FileName column, which
// sorts by the tag text: it begins with the file's full path. Clicking the
// column of the current sort field again turns the order round.
void FilesPageActions::sortByColumn(int column)
{
    m_sort.sortByField(column == 1 ? 0 : column);
}

void FilesPageActions::UpdateFileButtons()
{
    ImportFilesPage* page = m_window.fraImportFiles;
    page->cmdSearchForMatches->setEnabled(!m_window.fileList().isEmpty());
    page->cmdFileRemove->setEnabled(page->lvwFiles->selectionModel()->hasSelection());
}
