#pragma once
#include "frame/library/CartAudioNames.h"

#include <QString>

// New audio for a cart on its way into the store. It is written to a file in
// the .incoming folder, locked for as long as this object lives (so the
// store's clean-up can tell it from what a killed import left behind),
// synced, then linked under its revision's name inside the transaction that
// records it. Until keep() the destructor removes every name it made.
class IncomingAudioFile
{
public:
    IncomingAudioFile(const CartAudioNames& names, qint64 number, qint64 revision);
    ~IncomingAudioFile();
    IncomingAudioFile(const IncomingAudioFile&) = delete;
    IncomingAudioFile& operator=(const IncomingAudioFile&) = delete;

    bool open(QString* error);
    // Appends to the file; false with the system's reason (a full disk says so).
    bool write(const char* data, qint64 size, QString* error);
    QString temporaryPath() const { return m_temporary; }
    QString finalPath() const { return m_final; }
    // Replaces the file's content with the source's bytes.
    bool copyFrom(const QString& source, QString* error);
    // On disk, whatever happens next.
    bool sync(QString* error);
    // Gives the audio its revision's name (never replacing a file of that
    // name) and makes that name durable. Once given, asking again (a commit
    // run once more) finds it there.
    bool publish(QString* error);
    // The committed record names the file: it stays, the incoming name goes.
    void keep();
    // Whether a record names the file is not known: both names stay, as a
    // killed import leaves them, for the store's clean-up to decide.
    void leaveUndecided() { m_undecided = true; }

private:
    QString m_final;
    QString m_temporary;
    int m_fd = -1;
    bool m_published = false;
    bool m_kept = false;
    bool m_undecided = false;
};
