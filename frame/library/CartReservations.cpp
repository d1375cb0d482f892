#include "frame/library/CartReservations.h"

#include "frame/library/FileTools.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray native(const QString& path) { return QFile::encodeName(path); }
} // namespace

CartReservations::CartReservations(const CartAudioNames& names)
    : m_names(names)
{
}

CartReservations::~CartReservations()
{
    for (const qint64 number : m_held.keys())
        release(number);
}

QString CartReservations::fileOf(qint64 number) const
{
    return QStringLiteral("%1/%2.reserved").arg(m_names.incomingFolder()).arg(number, 6, 10, QLatin1Char('0'));
}

bool CartReservations::reserve(qint64 number)
{
    if (m_held.contains(number))
        return true;
    // A location that is gone (a share not mounted) is not made here.
    if (!QFileInfo(m_names.location()).isDir() || !FileTools::makeFolder(m_names.incomingFolder(), nullptr))
        return true;
    const QByteArray path = native(fileOf(number));
    // The holder before may remove the file between our open and our lock:
    // a lock on a file no longer under that name holds nothing.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return true;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool taken = errno == EWOULDBLOCK;
            ::close(fd);
            return !taken;
        }
        struct stat opened {}, named {};
        if (::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 && opened.st_ino == named.st_ino
            && opened.st_dev == named.st_dev) {
            m_held.insert(number, fd);
            return true;
        }
        ::close(fd);
    }
    return true;
}

// The name goes before the lock, so nobody locks a file that is on its way out.
void CartReservations::release(qint64 number)
{
    const auto held = m_held.find(number);
    if (held == m_held.end())
        return;
    ::unlink(native(fileOf(number)).constData());
    ::close(held.value());
    m_held.erase(held);
}
