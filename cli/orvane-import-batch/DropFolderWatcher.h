#pragma once
#include "frame/library/DropboxMemory.h"
#include "wizard/AudioDuplicates.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

// Watches drop folders and imports what arrives, unattended: a file is taken
// once its size and modification time have stood still for the settle time
// and it can be opened; partial uploads (".part", ".tmp", hidden names) never
// are. The store remembers every version taken, so nothing is imported
// twice, across restarts and across watchers sharing a folder. Imported files
// move to imported/, failed ones to failed/ with a .log naming the reason; a
// file a cart links to stays where it is, and one replaced while it was
// imported stays for the next look, as the new version it is.
class DropFolderWatcher : public QObject
{
    Q_OBJECT
public:
    struct Options {
        QStringList folders;
        int settleSeconds = 5;
        bool once = false;          // process what is there, then end
        bool keepFailed = false;    // leave failed files where they are
        bool leaveImported = false; // leave imported files where they are
        bool json = false;
    };
    struct Result {
        QString outcome; // imported, skipped, failed
        QString cart;
        QString reason;
        bool linked = false; // the cart plays the file where it is
        QString meantCart;   // the cart first meant for it, when another importer filled that one first
        std::optional<QList<AudioDuplicates::Duplicate>> duplicates; // carts holding its audio, when looked for

        static Result failed(const QString& reason) { return withReason(QStringLiteral("failed"), reason); }
        static Result skipped(const QString& reason) { return withReason(QStringLiteral("skipped"), reason); }

    private:
        static Result withReason(const QString& outcome, const QString& reason)
        {
            Result result;
            result.outcome = outcome;
            result.reason = reason;
            return result;
        }
    };
    // The line a person reads for one file: "imported PATH cart N",
    // "skipped PATH reason" or "failed PATH reason", tab-separated; when
    // duplicates were looked for and found, "; the audio of cart 12 (same
    // audio 0.931)" follows.
    static QString line(const QString& path, const Result& result);
    // The same as one JSON object: outcome, file, cart (a number), and the
    // reason of a skip or the error of a failure, and the duplicates when
    // they were looked for.
    static QJsonObject json(const QString& path, const Result& result);
    using ImportOne = std::function<Result(const DropboxMemory::File& file)>;

    DropFolderWatcher(const Options& options, DropboxMemory& memory, ImportOne importOne);

    // Runs until SIGTERM or SIGINT (the file in hand is finished first), or
    // with `once` until every file there has settled and been dealt with.
    // 0; 1 when the store could not be used, or with `once` when a file failed.
    int run();

    static bool isCandidate(const QString& name);

private:
    void scan();
    bool settled(const QString& path, qint64 size, qint64 mtime);
    void take(const QString& folder, const QString& name, qint64 size, qint64 mtime);
    bool claim(const DropboxMemory::File& file);
    void refuseUndecodable(const QString& folder, const QByteArray& name);
    void putAside(const QString& folder, const QByteArray& name, const Result& result);
    void report(const QString& path, const Result& result);
    static QString versionKey(const DropboxMemory::File& file);

    struct Seen {
        qint64 size = -1;
        qint64 mtime = -1;
        qint64 since = 0; // ms since the epoch
    };

    Options m_options;
    DropboxMemory& m_memory;
    ImportOne m_importOne;
    QHash<QString, Seen> m_seen;
    QSet<QString> m_reportedTaken; // versions found taken by others, said once
    QSet<QString> m_finished;      // versions this watcher dealt with: not asked for again
    QSet<QByteArray> m_refused;    // files refused for their names, said once
    QFileSystemWatcher m_watcher;
    QTimer m_tick;
    bool m_unsettled = false; // a candidate is still changing
    int m_exitCode = 0;
    bool m_anyFailed = false;
};
