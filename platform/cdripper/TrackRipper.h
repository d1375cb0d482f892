#pragma once
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <functional>

// Reads one audio track of a disc (a drive or a CUE image) with paranoia's
// full checking and writes it as a 44.1 kHz 16-bit stereo WAV file. Runs on
// whatever thread calls rip(); it opens a reader of its own so that the
// owner's drive handle is never shared between threads.
class TrackRipper
{
public:
    struct Report {
        std::function<void(qint32 start, qint32 end)> started;
        std::function<void(int code, qint32 value)> status;
    };

    // 0 once `destination` holds the whole track, otherwise the CDRipper
    // status code that ended the rip, with `destination` as it was before.
    // `position` ends at the last sector reached.
    static int rip(const QString& source, int track, const QString& destination, const std::atomic_bool& stop,
                   const Report& report, qint32& position);
};
