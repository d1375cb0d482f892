#pragma once
#include "platform/accuraterip/AccurateRipChecksum.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The CD ripping component: the drive, the disc's table of contents, the
// disc's identity for a CDDB lookup, and the ripping of one track into a
// 44.1 kHz 16-bit stereo WAV file, reported through three events that reach
// the owner's thread through queued signals. Drive 0 is the device or CUE
// image named by ORVANE_CD_DEVICE, else the system's first CD drive. Lengths
// and positions are in sectors, 75 to the second. Virtual so that tests of
// the CD page and the ripping run can stand in for a drive.
class CDRipper : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSectorsPerSecond = 75;

    // DriveStatus values.
    enum Status { Playing = 0, Paused = 1, NoDisc = 2, DiscLoaded = 4 };
    // RipStatus codes (7 is progress, its value the sector in hand).
    enum StatusCode {
        JitterNotCorrected = 2,
        SpeedAdjusted = 3,
        ReadFailed = 4,
        RetryingRead = 5,
        RetryFailed = 6,
        Progress = 7,
        FileAborted = 8,
        BufferNotInitialised = 9,
        ErrorCreatingFile = 10,
        ErrorWritingFile = 11,
        ErrorClosingFile = 12,
        DriveNotInitialised = 13,
        RipCancelled = 14,
    };

    explicit CDRipper(QObject* parent = nullptr);
    ~CDRipper() override;

    virtual int DriveCount();
    virtual bool OpenDrive(int drive);
    virtual int ReleaseDrive();
    virtual bool ReadDisc();
    virtual qint16 TrackCount() const;
    virtual qint32 TrackLength(int track) const;
    virtual bool IsAudioTrack(int track) const;
    // "m:ss".
    virtual QString LengthText(qint32 sectors) const;
    virtual int DriveStatus();

    // What a CDDB or MusicBrainz lookup needs: each track's start in frames
    // (with the 150-frame lead-in), the lead-out, and the disc's length in seconds.
    struct DiscIdentity {
        QList<qint32> trackOffsets;
        qint32 discSeconds = 0;
        qint32 leadOut = 0; // frames, with the lead-in, as the offsets
        bool endsWithData = false; // an enhanced CD: audio, then a data track
    };
    virtual DiscIdentity discIdentity() const;

    // What the disc says of itself, read with its table of contents:
    // CD-Text titles and performers, each track's ISRC as the disc holds it,
    // and the disc's media catalogue number. Empty texts where it says nothing.
    struct DiscText {
        QString title;
        QString performer;
        QStringList trackTitles;     // one per track
        QStringList trackPerformers; // one per track
        QStringList isrcs;           // one per track
        QString mcn;
    };
    const DiscText& discText() const;

    bool RipperOption = false;
    virtual void PrepareRip();
    // Starts ripping `track` into `destination` (written under a temporary
    // name and renamed once complete) on a worker thread; false when it
    // cannot start. queuePosition is handed back with RipStarted.
    // Every rip that started and was not stopped ends with exactly one of:
    // RipFinished (the destination is complete, synced and closed), or
    // RipStatus 8 (FileAborted) after the code that explains why, with the
    // destination left as it was. IsRipping is false by the time either
    // arrives, so the owner may start the next track from inside the event.
    virtual bool RipTrack(int track, const QString& destination, int queuePosition);
    // Rips fill an existing destination where it is, for an owner that made
    // it and holds it (the store's incoming file) and removes it if the rip
    // fails; nothing is renamed over it.
    void setWriteInPlace(bool inPlace);
    virtual bool IsRipping() const;
    // The drive's read offset in samples, corrected in every rip after.
    void setReadOffset(int samples);
    // Rips after this also work out each track's AccurateRip CRCs.
    void setChecksums(bool on);
    // The CRCs of the last track that finished, when asked for.
    std::optional<AccurateRipChecksum::Sums> lastChecksums() const;
    // Ends the read within a second; the destination is left as it was and
    // no further event of this rip arrives.
    virtual void StopRip();

signals:
    // text "Track nn"; start and end are the track's first sector and the
    // one after its last, the range RipStatus 7 moves through; other is the
    // queue position given to RipTrack.
    void RipStarted(const QString& text, qint32 start, qint32 end, qint32 other);
    void RipStatus(int code, qint32 value);
    void RipFinished();

private:
    void post(quint64 generation, std::function<void()> event);
    void endRip(int outcome, qint32 position);

    struct Private;
    std::unique_ptr<Private> d;
};
