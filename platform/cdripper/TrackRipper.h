#pragma once
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>

class AccurateRipChecksum;

// Reads audio tracks of a disc (a drive or a CUE image) with paranoia's full
// checking and writes each as a 44.1 kHz 16-bit stereo WAV file. rip() runs
// on whatever thread calls it, one call at a time. The reader it opens is its
// own, so the owner's drive handle is never shared between threads, and it is
// kept from one track to the next: paranoia's cache then carries over as on
// a disc read straight through, instead of starting cold on every track.
class TrackRipper
{
public:
    struct Report {
        std::function<void(qint32 start, qint32 end)> started;
        std::function<void(int code, qint32 value)> status;
    };

    struct Settings {
        bool inPlace = false;
        // The drive's read offset in samples: it delivers a sample that
        // many samples late (early when negative), so the track is read
        // from that much further on. Beyond the disc's audio is silence.
        int readOffset = 0;
        // Given the track's samples as they are written.
        AccurateRipChecksum* checksum = nullptr;
    };

    TrackRipper();
    ~TrackRipper();

    // 0 once `destination` holds the whole track, otherwise the CDRipper
    // status code that ended the rip, with `destination` as it was before
    // (unless written in place). `position` ends at the last sector reached.
    int rip(const QString& source, int track, const QString& destination, const Settings& settings,
            const std::atomic_bool& stop, const Report& report, qint32& position);
    // Forgets the reader, for a disc that may have changed.
    void close();

private:
    struct Reader;
    std::unique_ptr<Reader> m_reader;
};
