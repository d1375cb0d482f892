#include "frame/library/PendingAudioFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

PendingAudioFile::PendingAudioFile(const QString& finalPath)
    : m_finalPath(finalPath)
    , m_file(QFileInfo(finalPath).absolutePath() + QStringLiteral("/.") + QFileInfo(finalPath).fileName()
             + QStringLiteral(".XXXXXX.part"))
{
}

PendingAudioFile::~PendingAudioFile()
{
    if (m_committed)
        m_file.setAutoRemove(false);
}

bool PendingAudioFile::open(QString* error)
{
    QDir().mkpath(QFileInfo(m_finalPath).absolutePath());
    if (m_file.open()) {
        // Studios on other accounts play the store's audio too.
        m_file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther);
        return true;
    }
    if (error)
        *error = QStringLiteral("Cannot write in the audio location: %1").arg(m_file.errorString());
    return false;
}

bool PendingAudioFile::copyFrom(const QString& source, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(source, in.errorString());
        return false;
    }
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n == 0)
            return true;
        if (n < 0 || m_file.write(buffer.constData(), n) != n) {
            if (error)
                *error = QStringLiteral("Cannot copy %1 into the store: %2")
                             .arg(source, n < 0 ? in.errorString() : m_file.errorString());
            return false;
        }
    }
}

bool PendingAudioFile::commit(QString* error)
{
    if (!m_file.flush() || ::fsync(m_file.handle()) != 0
        || std::rename(QFile::encodeName(m_file.fileName()).constData(), QFile::encodeName(m_finalPath).constData()) != 0) {
        if (error)
            *error = QStringLiteral("Cannot put the audio in place as %1: %2").arg(m_finalPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_committed = true;
    m_file.setAutoRemove(false);
    return true;
}
