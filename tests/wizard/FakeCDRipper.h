#pragma once
#include "platform/cdripper/CDRipper.h"
#include "tests/support/TestWav.h"

#include <QFile>
#include <QHash>
#include <QTimer>
#include <functional>

// A drive for tests: a disc of the given tracks, whose rips write a short
// tone into the destination (its length in tenths of a second is the track
// number, so each cart's audio tells which track it got) and then report
// the events a real rip raises, on the next turn of the event loop. A track
// given a failure ends as a real rip that fails after writing: its code,
// then FileAborted, and no RipFinished.
class FakeCDRipper : public CDRipper
{
public:
    QList<bool> audioTracks;       // one per track, false for a data track
    int status = DiscLoaded;       // what DriveStatus reports
    int reads = 0;                 // ReadDisc calls
    int stops = 0;                 // StopRip calls
    bool finishes = true;          // false: a rip never ends by itself
    bool unreadable = false;       // rips write bytes that are no audio
    qint32 start = 0;              // positions RipStarted reports
    qint32 end = 750;
    QList<qint32> positions{375};  // progress reported before the end
    std::function<void()> whileRipping; // runs after the progress events
    QHash<int, int> failures;      // track -> the status code its rip fails with

    int DriveCount() override { return 1; }
    bool OpenDrive(int) override { return true; }
    bool ReadDisc() override { return ++reads, status == DiscLoaded; }
    qint16 TrackCount() const override { return qint16(audioTracks.size()); }
    qint32 TrackLength(int track) const override { return track * kSectorsPerSecond; }
    bool IsAudioTrack(int track) const override { return audioTracks.value(track - 1); }
    QString LengthText(qint32 sectors) const override { return QStringLiteral("len%1").arg(sectors); }
    int DriveStatus() override { return status; }
    bool IsRipping() const override { return m_ripping; }
    void StopRip() override
    {
        m_ripping = false;
        ++stops;
    }

    bool RipTrack(int track, const QString& destination, int) override
    {
        m_ripping = true;
        QTimer::singleShot(0, this, [=, this] {
            emit RipStarted(QString(), start, end, 0);
            for (qint32 position : positions)
                emit RipStatus(Progress, position);
            if (whileRipping)
                whileRipping();
            if (!finishes || !m_ripping)
                return;
            TestWav tone;
            tone.seconds = track / 10.0;
            if (QFile file(destination); unreadable && file.open(QIODevice::WriteOnly))
                file.write(QByteArray(4096, 'x'));
            else
                tone.write(destination);
            m_ripping = false;
            if (const int failure = failures.value(track)) {
                emit RipStatus(failure, end);
                emit RipStatus(FileAborted, end);
                return;
            }
            emit RipFinished();
        });
        return true;
    }

private:
    bool m_ripping = false;
};
