#include "DropFolderWatcher.h"

#include "frame/WriteLog.h"
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
#include <csignal>
#include <cstdio>

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

QString freeName(const QString& folder, const QString& name)
{
    QString candidate = folder + QLatin1Char('/') + name;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = folder + QStringLiteral("/%1 (%2).%3").arg(QFileInfo(name).completeBaseName()).arg(n).arg(QFileInfo(name).suffix());
    return candidate;
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
    return m_exitCode;
}

void DropFolderWatcher::scan()
{
    m_unsettled = false;
    for (const QString& folder : m_options.folders) {
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
    const DropboxMemory::File version{folder, name, size, mtime};
    switch (m_memory.claim(version)) {
    case DropboxMemory::Claim::Claimed: break;
    case DropboxMemory::Claim::NotAllowed:
        logLine(3, m_memory.lastError());
        m_exitCode = 1;
        return;
    case DropboxMemory::Claim::Failed: // asked again at the next look
        logLine(4, m_memory.lastError());
        m_seen.remove(path);
        return;
    case DropboxMemory::Claim::Taken: {
        const QString key = QStringLiteral("%1|%2|%3").arg(path).arg(size).arg(mtime);
        if (!m_reportedTaken.contains(key)) {
            m_reportedTaken.insert(key);
            report(path, {QStringLiteral("skipped"), QString(), QStringLiteral("taken already (see cartvault dropbox list)")});
        }
        m_seen.remove(path);
        return;
    }
    }
    const Result result = m_importOne(path);
    m_memory.record(version, result.outcome, result.cart, result.reason);
    report(path, result);
    putAside(folder, name, result);
    m_seen.remove(path);
}

void DropFolderWatcher::putAside(const QString& folder, const QString& name, const Result& result)
{
    const QString path = folder + QLatin1Char('/') + name;
    if (!QFileInfo::exists(path))
        return; // deleted by the import, as asked
    const bool failed = result.outcome == QLatin1String("failed");
    if ((failed && m_options.keepFailed) || (!failed && m_options.leaveImported))
        return;
    const QString aside = folder + (failed ? QStringLiteral("/failed") : QStringLiteral("/imported"));
    QDir().mkpath(aside);
    const QString target = freeName(aside, name);
    if (!QFile::rename(path, target)) {
        logLine(4, QStringLiteral("cannot move %1 to %2").arg(path, aside));
        return;
    }
    if (failed) {
        QFile log(target + QStringLiteral(".log"));
        if (log.open(QIODevice::WriteOnly | QIODevice::Text))
            log.write((QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + result.reason + QLatin1Char('\n')).toUtf8());
    }
}

void DropFolderWatcher::report(const QString& path, const Result& result) const
{
    if (m_options.json) {
        const QJsonObject line{{"outcome", result.outcome}, {"file", path}, {"cart", result.cart}, {"reason", result.reason}};
        std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    } else {
        std::printf("%s\t%s\t%s\n", qPrintable(result.outcome), qPrintable(path),
                    qPrintable(result.outcome == QLatin1String("imported") ? QStringLiteral("cart ") + result.cart : result.reason));
    }
    std::fflush(stdout);
    const bool imported = result.outcome == QLatin1String("imported");
    logLine(result.outcome == QLatin1String("failed") ? 3 : 6,
            QStringLiteral("%1 %2 %3").arg(result.outcome, path, imported ? QStringLiteral("cart ") + result.cart : result.reason));
}
