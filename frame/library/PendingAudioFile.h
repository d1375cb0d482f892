#pragma once
#include <QString>
#include <QTemporaryFile>

// Audio on its way into the store: written to a temporary file beside its
// final place, and renamed over it in one step once the store has recorded
// it. Dropped without a trace when it is never committed.
class PendingAudioFile
{
public:
    explicit PendingAudioFile(const QString& finalPath);
    ~PendingAudioFile();

    bool open(QString* error);
    QIODevice& device() { return m_file; }
    QString temporaryPath() const { return m_file.fileName(); }
    bool copyFrom(const QString& source, QString* error);
    // Makes what was written readable through temporaryPath().
    bool flush() { return m_file.flush(); }
    // Flushes to disk and renames over the final path.
    bool commit(QString* error);

private:
    QString m_finalPath;
    QTemporaryFile m_file;
    bool m_committed = false;
};
