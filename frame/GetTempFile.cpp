#include "frame/GetTempFile.h"

#include "frame/Messenger.h"
#include "frame/WriteLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {
QString namePrefix()
{
    QString prefix = QCoreApplication::applicationName().toUpper().remove(QLatin1Char(' '));
    if (prefix.isEmpty())
        prefix = QStringLiteral("ORV");
    return prefix.left(3); // as short as the classic temp-name prefix
}
} // namespace

QString GetTempFile(const QString& folder, const QString& extension)
{
    WriteLog(QStringLiteral("Start GetTempFile"), 5, LogIndentAfter);
    QString path;
    for (;;) {
        WriteLog(QStringLiteral("Assign a string"), 5);
        QString where = folder.trimmed();
        if (where.isEmpty()) {
            WriteLog(QStringLiteral("Get the user's temp path"), 5);
            where = QDir::tempPath();
            if (where.isEmpty()) {
                ShowMessage(QStringLiteral("Error getting a temporary file name :") + QString::number(ENOENT),
                            MessageIcon::Critical);
                return {};
            }
        }
        WriteLog(QStringLiteral("AlphaNum the app.title"), 5);
        const QString prefix = namePrefix();
        WriteLog(QStringLiteral("Call GetTempFilename"), 5);
        QTemporaryFile file(QDir(where).filePath(prefix + QStringLiteral("XXXXXX.tmp")));
        file.setAutoRemove(false);
        if (!file.open()) {
            WriteLog(QStringLiteral("End GetTempFile"), 5, LogOutdentBefore);
            return {};
        }
        WriteLog(QStringLiteral("Process the return"), 5);
        path = QFileInfo(file.fileName()).absoluteFilePath();
        file.close();
        if (extension.compare(QLatin1String("TMP"), Qt::CaseInsensitive) == 0)
            break;
        QFile::remove(path);
        path.chop(3);
        path += extension;
        // An empty file of that name may be reused; one with data may not.
        const QFileInfo taken(path);
        if (!(taken.exists() && taken.size() > 0))
            break;
    }
    WriteLog(QStringLiteral("End GetTempFile"), 5, LogOutdentBefore);
    return path;
}

void TextToBytes(QByteArray& bytes, const QString& text)
{
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = i < text.size() ? static_cast<char>(text.at(i).unicode() & 0xFF) : '\0';
}
