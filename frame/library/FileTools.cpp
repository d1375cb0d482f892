#include "frame/library/FileTools.h"

#include <QFileInfo>

namespace {
qsizetype lastSeparator(const QString& path)
{
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
}
qsizetype extensionDot(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > lastSeparator(path) ? dot : -1;
}
} // namespace

bool FileTools::FileExists(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && info.isFile();
}

double FileTools::GetFileLength(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isFile())
        return -1;
    return static_cast<double>(info.size());
}

QString FileTools::GetExtension(const QString& path)
{
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? QString() : path.mid(dot + 1);
}

QString FileTools::GetFileName(const QString& path) { return path.mid(lastSeparator(path) + 1); }

QString FileTools::GetFolder(const QString& path, int withSeparator)
{
    const qsizetype sep = lastSeparator(path);
    if (sep < 0)
        return {};
    return path.left(withSeparator ? sep + 1 : (sep == 0 ? 1 : sep));
}

QString FileTools::GetBaseName(const QString& path)
{
    const QString name = GetFileName(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString FileTools::GetPathWithoutExtension(const QString& path)
{
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? path : path.left(dot);
}
