#include "wizard/FileListBuilder.h"

#include "frame/Messenger.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "wizard/FileRowReader.h"
#include "wizard/ImportItemList.h"
#include "wizard/TitleInterpreter.h"

#include <QDir>
#include <QFile>
#include <QFuture>
#include <QtConcurrent/QtConcurrentMap>

FileListBuilder::FileListBuilder(ImportItemList& files, const FileImportOptions& options)
    : m_files(files)
    , m_options(options)
{
}

bool FileListBuilder::AddImportFile(const QString& path)
{
    if (path.isEmpty() || isDuplicate(path))
        return false;
    return addRow(FileRowReader::read(path));
}

int FileListBuilder::addFolder(const QString& folder, const std::function<void(int percent)>& scanned)
{
    const QDir directory(folder);
    QStringList paths;
    for (const QString& name : directory.entryList(QDir::Files, QDir::Name))
        if (FileRowReader::isAccepted(name))
            paths << directory.filePath(name);

    // Rows are read on the worker threads, ahead of the list; they join it
    // here, one by one and in the folder's order, so a duplicate name meets
    // the same refusal as a file added on its own.
    QFuture<ImportItem> rows = QtConcurrent::mapped(paths, &FileRowReader::read);
    int added = 0;
    for (int n = 1; n <= paths.size(); ++n) {
        if (scanned && n % 10 == 1)
            scanned(GeneralTools::LimitLong(GeneralTools::RoundHalfEven(double(n) / paths.size() * 100), 0, 100));
        const ImportItem row = rows.resultAt(n - 1);
        if (!isDuplicate(paths.at(n - 1)) && addRow(row))
            ++added;
    }
    refuseUndecodable(folder);
    return added;
}

// A file can be imported only under a name that is text: a cart's fields
// and the results name it.
void FileListBuilder::refuseUndecodable(const QString& folder)
{
    QStringList refused;
    for (const QByteArray& name : FileTools::undecodableNames(folder))
        if (FileRowReader::isAccepted(QFile::decodeName(name)))
            refused << QDir(folder).filePath(FileTools::printableName(name));
    if (refused.isEmpty())
        return;
    m_undecodable << refused;
    ShowMessage(QStringLiteral("These files could not be added to the list as their names are not valid UTF-8 text. "
                               "Rename them, then add them again:\n\n")
                    + refused.join(QLatin1Char('\n')),
                MessageIcon::Information, MessageButtons::Ok);
}

bool FileListBuilder::addRow(ImportItem row)
{
    TitleInterpreter::interpret(row, m_options);
    return m_files.add(row);
}

// Carts are filled by name, so two files of the same name would end up
// fighting over one item even when they sit in different folders. Names on
// this system differ by letter case, so the comparison does too.
bool FileListBuilder::isDuplicate(const QString& path) const
{
    const QString name = FileTools::GetFileName(path);
    for (const ImportItem& item : m_files.items())
        if (item.field(QStringLiteral("FILENAME")) == name) {
            ShowMessage(QStringLiteral("The file '") + name
                            + QStringLiteral("' could not be added to the list as there is already a file that has the "
                                             "same name even though it may be in another directory.\n\nIf you need to "
                                             "import it, finish this import, then re-run the Import Audio Wizard."),
                        MessageIcon::Information, MessageButtons::Ok);
            return true;
        }
    return false;
}
