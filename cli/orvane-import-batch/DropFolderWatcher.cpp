#include "DropFolderWatcher.h"

#include "frame/WriteLog.h"
#include "frame/library/CartNumbers.h"
#include "frame/library/FileTools.h"
#include "wizard/FileRowReader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QSet>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t gStopSignal = 0;
void stopOnSignal(int) { gStopSignal = 1; }

// Through the journal (a service), a line says its level; on a terminal it reads plainly.
void logLine(int journalLevel, const QString& text)
{
    const bool journal = qEnvironmentVariableIsSet("JOURNAL_STREAM");
    std::fprintf(stderr, "%s%s\n", journal ? qPrintable(QStringLiteral("<%1>").arg(journalLevel)) : "orvane-import-batch: ",
                 qPrintable(text));
    WriteLog(text);
}

// Names are bytes here, so that a file whose name is not text is put aside too.
QByteArray freeName(const QByteArray& folder, const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray stem = dot > 0 ? name.left(dot) : name;
    const QByteArray suffix = dot > 0 ? name.mid(dot) : QByteArray();
    QByteArray candidate = folder + '/' + name;
    for (int n = 2; ::access(candidate.constData(), F_OK) == 0; ++n)
        candidate = folder + '/' + stem + " (" + QByteArray::number(n) + ')' + suffix;
    return candidate;
}

void writeReason(const QByteArray& path, const QString& reason)
{
    if (std::FILE* log = std::fopen(path.constData(), "w")) {
        std::fputs(qPrintable(QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + reason + QLatin1Char('\n')), log);
        std::fclose(log);
    }
}

// What tells one version of a file from another under the same name: a
// file renamed over it is another inode, one rewritten in place has another
// size or modification time.
struct Version {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec mtime{};
    bool operator==(const Version& other) const
    {
        return device == other.device && inode == other.inode && size == other.size && mtime.tv_sec == other.mtime.tv_sec
            && mtime.tv_nsec == other.mtime.tv_nsec;
    }
};

std::optional<Version> versionOf(const QByteArray& path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return std::nullopt;
    return Version{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

// The settle tick: quick enough for tests with short settle times.
constexpr int kTickMs = 250;
// Network shares miss change events: look anyway this often.
constexpr int kRescanMs = 10000;
} // namespace

DropFolderWatcher::DropFolderWatcher(const Options& options, DropboxMemory& memory, ImportOne importOne)
    : m_options(options)
    , m_memory(memory)
    , m_importOne(std::move(importOne))
{
}

bool DropFolderWatcher::isCandidate(const QString& name)
{
    if (name.startsWith(QLatin1Char('.')) || name.endsWith(QLatin1String(".part"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String(".tmp"), Qt::CaseInsensitive))
        return false;
    return FileRowReader::isAccepted(name);
}

int DropFolderWatcher::run()
{
    std::signal(SIGTERM, stopOnSignal);
    std::signal(SIGINT, stopOnSignal);
    m_watcher.addPaths(m_options.folders);
    // A change wakes the scan at once; the tick settles files and catches
    // what the watcher missed.
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &DropFolderWatcher::scan);
    QEventLoop loop;
    qint64 lastFullScan = 0;
    connect(&m_tick, &QTimer::timeout, this, [&] {
        if (gStopSignal) {
            logLine(6, QStringLiteral("stopping"));
            loop.quit();
            return;
        }
        const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
        if (m_unsettled || m_options.once || nowMs - lastFullScan >= kRescanMs) {
            lastFullScan = nowMs;
            scan();
        }
        if ((m_options.once && !m_unsettled) || m_exitCode != 0)
            loop.quit();
    });
    for (const QString& folder : m_options.folders)
        logLine(6, QStringLiteral("watching %1 (settle %2 s)").arg(folder).arg(m_options.settleSeconds));
    scan();
    m_tick.start(kTickMs);
    loop.exec();
    return m_exitCode != 0 || (m_options.once && m_anyFailed) ? 1 : 0;
}

void DropFolderWatcher::scan()
{
    m_unsettled = false;
    for (const QString& folder : m_options.folders) {
        for (const QByteArray& name : FileTools::undecodableNames(folder))
            refuseUndecodable(folder, name);
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& file : files) {
            if (gStopSignal)
                return;
            if (!isCandidate(file.fileName()))
                continue;
            const qint64 mtime = file.lastModified().toSecsSinceEpoch();
            if (settled(file.filePath(), file.size(), mtime))
                take(folder, file.fileName(), file.size(), mtime);
            else
                m_unsettled = true;
        }
    }
}

bool DropFolderWatcher::settled(const QString& path, qint64 size, qint64 mtime)
{
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    Seen& seen = m_seen[path];
    if (seen.size != size || seen.mtime != mtime) {
        seen = {size, mtime, nowMs};
        return m_options.settleSeconds == 0 && QFile(path).open(QIODevice::ReadOnly);
    }
    if (nowMs - seen.since < qint64(m_options.settleSeconds) * 1000)
        return false;
    QFile probe(path);
    return probe.open(QIODevice::ReadOnly); // still held exclusively by an uploader: not yet
}

void DropFolderWatcher::take(const QString& folder, const QString& name, qint64 size, qint64 mtime)
{
    const QString path = folder + QLatin1Char('/') + name;
    m_seen.remove(path); // whatever happens now, a later look lets it settle afresh
    const QByteArray native = QFile::encodeName(path);
    const std::optional<Version> taken = versionOf(native);
    if (!taken || taken->size != size || taken->mtime.tv_sec != mtime)
        return; // changed since it settled
    const DropboxMemory::File version{folder, name, size, mtime};
    // A file that stays (linked, left, kept) is not claimed again at every look.
    if (m_finished.contains(versionKey(version)) || !claim(version))
        return;
    m_finished.insert(versionKey(version));
    const Result result = m_importOne(version);
    m_memory.record(version, result.outcome, result.cart, result.reason);
    report(path, result);
    if (result.linked)
        return; // its cart plays it from here
    if (const std::optional<Version> now = versionOf(native); now && !(*now == *taken)) {
        logLine(5, QStringLiteral("%1 was replaced while it was being imported: the new file is left for a later look").arg(path));
        return;
    }
    putAside(folder, QFile::encodeName(name), result);
}

// True when the file is this watcher's to import now.
bool DropFolderWatcher::claim(const DropboxMemory::File& file)
{
    switch (m_memory.claim(file)) {
    case DropboxMemory::Claim::Claimed: return true;
    case DropboxMemory::Claim::NotAllowed:
        logLine(3, m_memory.lastError());
        m_exitCode = 1;
        return false;
    case DropboxMemory::Claim::Failed: // asked again at the next look
        logLine(4, m_memory.lastError());
        return false;
    case DropboxMemory::Claim::Taken: {
        if (!m_reportedTaken.contains(versionKey(file))) {
            m_reportedTaken.insert(versionKey(file));
            report(file.path(), Result::skipped(QStringLiteral("taken already (see cartvault dropbox list)")));
        }
        return false;
    }
    }
    return false;
}

// The store, the cart and the results hold names as text, so a file whose
// name is not text cannot be claimed or imported under it: it fails at once.
void DropFolderWatcher::refuseUndecodable(const QString& folder, const QByteArray& name)
{
    const QByteArray native = QFile::encodeName(folder) + '/' + name;
    if (!isCandidate(QFile::decodeName(name)) || m_refused.contains(native))
        return;
    m_refused.insert(native);
    const QString printable = FileTools::printableName(name);
    const Result result = Result::failed(QStringLiteral("the name '%1' is not valid UTF-8 text: rename the file").arg(printable));
    report(folder + QLatin1Char('/') + printable, result);
    putAside(folder, name, result);
}

void DropFolderWatcher::putAside(const QString& folder, const QByteArray& name, const Result& result)
{
    const bool failed = result.outcome == QLatin1String("failed");
    if ((failed && m_options.keepFailed) || (!failed && m_options.leaveImported))
        return;
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    if (::access(path.constData(), F_OK) != 0)
        return; // deleted by the import, as asked
    const QString aside = folder + (failed ? QStringLiteral("/failed") : QStringLiteral("/imported"));
    QDir().mkpath(aside);
    const QByteArray target = freeName(QFile::encodeName(aside), name);
    if (::rename(path.constData(), target.constData()) != 0) {
        logLine(4, QStringLiteral("cannot move %1/%2 to %3: %4").arg(folder, FileTools::printableName(name), aside, FileTools::systemError(errno)));
        return;
    }
    if (failed)
        writeReason(target + ".log", result.reason);
}

QString DropFolderWatcher::versionKey(const DropboxMemory::File& file)
{
    return QStringLiteral("%1|%2|%3").arg(file.path()).arg(file.size).arg(file.mtime);
}

void DropFolderWatcher::report(const QString& path, const Result& result)
{
    m_anyFailed = m_anyFailed || result.outcome == QLatin1String("failed");
    if (m_options.json)
        std::printf("%s\n", QJsonDocument(json(path, result)).toJson(QJsonDocument::Compact).constData());
    else
        std::printf("%s\n", qPrintable(line(path, result)));
    std::fflush(stdout);
    logLine(result.outcome == QLatin1String("failed") ? 3 : 6, QString(line(path, result)).replace(QLatin1Char('\t'), QLatin1Char(' ')));
}

QString DropFolderWatcher::line(const QString& path, const Result& result)
{
    QString detail = result.reason;
    if (result.outcome == QLatin1String("imported"))
        detail = result.meantCart.isEmpty() || result.meantCart == result.cart
            ? QStringLiteral("cart ") + result.cart
            : QStringLiteral("cart %1 in use: took %2").arg(result.meantCart, result.cart);
    if (result.duplicates && !result.duplicates->isEmpty() && result.outcome != QLatin1String("skipped"))
        detail += QStringLiteral("; the audio of ") + AudioDuplicates::text(*result.duplicates);
    return QStringLiteral("%1\t%2\t%3").arg(result.outcome, path, detail);
}

QJsonObject DropFolderWatcher::json(const QString& path, const Result& result)
{
    QJsonObject object{{"outcome", result.outcome}, {"file", path}, {"cart", CartNumbers::json(result.cart)}};
    if (result.outcome == QLatin1String("failed"))
        object.insert(QStringLiteral("error"), result.reason);
    else if (!result.reason.isEmpty())
        object.insert(QStringLiteral("reason"), result.reason);
    if (!result.meantCart.isEmpty() && result.meantCart != result.cart)
        object.insert(QStringLiteral("meant_cart"), CartNumbers::json(result.meantCart));
    if (result.duplicates)
        object.insert(QStringLiteral("duplicates"), AudioDuplicates::json(*result.duplicates));
    return object;
}
