#pragma once
#include "frame/library/CartRecord.h"
#include "frame/library/SourceIdentity.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class IncomingAudioFile;
class PlayoutAudio;

// One import into one cart, from its first byte to its commit. The audio is
// written once, into a locked file in the store's .incoming folder (the copy
// job, the ripper and the packed-cart unpacker write straight into it); the
// cart's fields are set on record(); commit() then writes rights check, cart
// lock, revision check, record with fields, the audio's name and the old
// file's retirement in one transaction. Whatever ends this object before a
// commit (a failure, a stop, a kill) leaves the cart as it was: the
// destructor removes every file it made, and the store's next opening
// removes what a killed process could not.
//
// A source named with noteSource() is taken as it was: if its device, inode,
// size or modification time differ once the audio is written, the import
// fails and nothing is committed.
class CartImport
{
public:
    // options: PlayoutAudio::kOnlyIntoEmptyCart refuses a cart holding audio.
    CartImport(PlayoutAudio& audio, const QString& number, int options = 0);
    ~CartImport();
    CartImport(const CartImport&) = delete;
    CartImport& operator=(const CartImport&) = delete;

    // Checks the cart number, the store and the cart, and makes the incoming
    // file. False with error() saying why.
    bool begin();

    // The file a writer fills: it exists, is empty and is locked while this
    // import lives. A writer fills it in place, never by renaming over it.
    QString incomingPath() const;
    // One more file of this import in .incoming (a ripped track waiting to be
    // processed, say), removed with the import; empty when it cannot be made.
    QString scratchFile();
    // Where the new audio is until the commit: the incoming file, or the
    // original a linked cart plays.
    QString newAudioPath() const { return m_linkedFile.isEmpty() ? incomingPath() : m_linkedFile; }

    // The source the audio is read from, noted before it is read.
    bool noteSource(const QString& path);
    // Copies a WAV file's bytes as they are (after noting it as the source).
    bool copyFrom(const QString& path);
    // The cart plays the WAV file where it is instead of a copy.
    bool linkTo(const QString& path);
    // A packed cart: its audio into the incoming file, its fields onto
    // record() (timing points that do not fit the audio are left out).
    bool unpackTransportFile(const QString& path);

    // The audio is complete: checks the source and reads the length of what
    // was written (never what a header claims). From here record() shows the
    // cart as the commit will write it; the commit puts the file on disk.
    bool finishAudio();
    // The cart as it will be: its fields as they were, the new audio's length,
    // the extro at the audio's end and the other timing points cleared. The
    // caller sets titles and timing points on it before commit().
    CartRecord& record() { return m_record; }
    // Timing points that do not fit the audio are cleared; the store's
    // lastImportNote() says which.
    void dropMisplacedTimingPoints();

    // Runs inside the commit's transaction; false rolls everything back.
    void alsoCommit(std::function<bool()> work) { m_alsoCommit.append(std::move(work)); }
    // The new audio's fingerprint (packed), committed with it.
    void keepFingerprint(double seconds, const QByteArray& fingerprint);
    bool commit();

    QString error() const { return m_error; }

private:
    struct CartState {
        bool rowExists = false;
        qint64 revision = 0;
        bool holdsAudio = false;
        QString audioFile;
        bool linked = false;
    };
    bool fail(const QString& why);
    bool readCart();
    bool recordAudio(QString& why);
    bool recordInTransaction(QString& why);
    bool commitAfterLostConnection(QString& why);
    bool isRecorded();
    bool retireLater();
    void removeRetired();
    QString retiring() const;
    QString audioFile() const;

    PlayoutAudio& m_audio;
    QString m_numberText;
    qint64 m_number = 0;
    int m_options = 0;
    CartState m_before;
    std::unique_ptr<IncomingAudioFile> m_incoming;
    std::vector<std::unique_ptr<IncomingAudioFile>> m_scratch;
    QString m_linkedFile;
    QString m_sourcePath;
    std::optional<SourceIdentity> m_source;
    CartRecord m_record;
    double m_seconds = 0;
    bool m_audioFinished = false;
    QList<std::function<bool()>> m_alsoCommit;
    QString m_error;
};
