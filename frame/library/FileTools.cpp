#include "frame/library/FileTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <fcntl.h>
#include <unistd.h>
#include <cstring>
#include <sys/stat.h>

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

bool FileTools::makeFolder(const QString& path, QString* why)
{
    const QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists()) {
        if (why)
            *why = QStringLiteral("%1 is a file, not a folder").arg(folder);
        return false;
    }
    const QString parent = QFileInfo(folder).path();
    if (parent != folder && !makeFolder(parent, why))
        return false;
    // 0777 less the umask, like any folder a program makes.
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0 && errno != EEXIST) {
        if (why)
            *why = QStringLiteral("%1: %2").arg(folder, systemError(errno));
        return false;
    }
    return true;
}

int FileTools::createNewFile(const QString& stem, QString* path, QString* why)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 16; ++attempt) {
        QString name = stem;
        for (int i = 0; i < 8; ++i)
            name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
        const int fd = ::open(QFile::encodeName(name).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *path = name;
            return fd;
        }
        if (errno != EEXIST)
            break;
    }
    if (why)
        *why = QStringLiteral("Cannot write in %1: %2").arg(QFileInfo(stem).path(), systemError(errno));
    return -1;
}

bool FileTools::placeFile(const QString& temporary, const QString& target, bool overwrite, QString* why)
{
    const QByteArray from = QFile::encodeName(temporary), to = QFile::encodeName(target);
    const bool placed = overwrite ? ::rename(from.constData(), to.constData()) == 0 : ::link(from.constData(), to.constData()) == 0;
    if (!placed && why)
        *why = QStringLiteral("Cannot write %1: %2").arg(target, systemError(errno));
    return placed;
}

QString FileTools::resolvedPath(const QString& path)
{
    // Resolved as the system does ("link/.." is the link's target's parent),
    // never by cleaning the text first.
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : folder + QLatin1Char('/') + info.fileName();
}

QList<QByteArray> FileTools::undecodableNames(const QString& folder)
{
    QList<QByteArray> names;
    const QByteArray path = QFile::encodeName(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(path.constData()), &::closedir);
    if (!directory)
        return names;
    while (const dirent* entry = ::readdir(directory.get())) {
        const QByteArray name(entry->d_name);
        // Decoding replaces what is not UTF-8, so such a name does not come back as it was.
        if (QFile::encodeName(QFile::decodeName(name)) == name)
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(directory.get()), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode))
            names << name;
    }
    return names;
}

QString FileTools::printableName(const QByteArray& name)
{
    QString printable;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        printable += byte >= 0x20 && byte < 0x7F ? QString(QLatin1Char(c)) : QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return printable;
}

QString FileTools::systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
