#include "frame/library/SourceIdentity.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

std::optional<SourceIdentity> SourceIdentity::of(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return SourceIdentity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                          static_cast<qint64>(info.st_size),
                          static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

QString SourceIdentity::changedText(const QString& path)
{
    return QStringLiteral("'%1' changed while it was being imported").arg(QFileInfo(path).fileName());
}
