#include "frame/library/IncomingAudioFile.h"

#include "frame/library/FileTools.h"

#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
QByteArray native(const QString& path) { return QFile::encodeName(path); }

bool refuse(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

bool syncFolder(const QString& folder)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
} // namespace

IncomingAudioFile::IncomingAudioFile(const CartAudioNames& names, qint64 number, qint64 revision)
    : m_final(names.revisionFile(number, revision))
{
    m_temporary = names.incomingFolder() + QLatin1Char('/') + QFileInfo(m_final).fileName() + QLatin1Char('.');
}

IncomingAudioFile::~IncomingAudioFile()
{
    if (m_fd < 0)
        return;
    if (m_undecided) {
        ::close(m_fd);
        return;
    }
    if (m_published && !m_kept)
        ::unlink(native(m_final).constData());
    // The incoming name goes before the lock does, so the clean-up never
    // finds an unlocked file of a live import.
    ::unlink(native(m_temporary).constData());
    ::close(m_fd);
}

bool IncomingAudioFile::open(QString* error)
{
    QString why;
    const QString folder = QFileInfo(m_temporary).path();
    // An audio location that is gone (or a share that is not mounted) is not
    // made again: the store's audio would end up in two places.
    const QString location = QFileInfo(folder).path();
    if (!QFileInfo(location).isDir())
        return refuse(error, QStringLiteral("The audio location %1 does not exist").arg(location));
    if (!FileTools::makeFolder(folder, &why))
        return refuse(error, QStringLiteral("Cannot make a folder in the audio location: %1").arg(why));
    m_fd = FileTools::createNewFile(m_temporary, &m_temporary, error);
    if (m_fd < 0)
        return false;
    ::flock(m_fd, LOCK_EX);
    return true;
}

bool IncomingAudioFile::write(const char* data, qint64 size, QString* error)
{
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, static_cast<size_t>(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return refuse(error, QStringLiteral("Cannot write %1: %2").arg(m_temporary, FileTools::systemError(errno)));
        data += written;
        size -= written;
    }
    return true;
}

bool IncomingAudioFile::copyFrom(const QString& source, QString* error)
{
    // Whatever a writer put here before is replaced.
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0)
        return refuse(error, QStringLiteral("Cannot write %1: %2").arg(m_temporary, FileTools::systemError(errno)));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return refuse(error, QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()));
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n == 0)
            return true;
        if (n < 0)
            return refuse(error, QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()));
        if (!write(buffer.constData(), n, error))
            return false;
    }
}

bool IncomingAudioFile::sync(QString* error)
{
    if (::fsync(m_fd) != 0)
        return refuse(error, QStringLiteral("Cannot write %1 to disk: %2").arg(m_temporary, FileTools::systemError(errno)));
    return true;
}

bool IncomingAudioFile::publish(QString* error)
{
    if (m_published)
        return true;
    QString why;
    const QString folder = QFileInfo(m_final).path();
    if (!FileTools::makeFolder(folder, &why))
        return refuse(error, QStringLiteral("Cannot make the cart's folder: %1").arg(why));
    // A file under that name is never replaced: what a killed import left
    // there is cleaned when the store opens, so one found now is not ours
    // to remove (it may be the only copy of some older audio).
    if (::link(native(m_temporary).constData(), native(m_final).constData()) != 0)
        return refuse(error, QStringLiteral("Cannot put the audio in place as %1: %2").arg(m_final, FileTools::systemError(errno)));
    m_published = true;
    if (!syncFolder(folder))
        return refuse(error, QStringLiteral("Cannot write the folder %1 to disk: %2").arg(folder, FileTools::systemError(errno)));
    return true;
}

void IncomingAudioFile::keep() { m_kept = true; }
