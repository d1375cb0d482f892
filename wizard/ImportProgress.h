#pragma once
#include <QtGlobal>

// How one item's copy job moves the two progress bars of a run. Each item
// owns an equal share of the overall bar: its first 40 % for reading the
// audio (ripping or decoding), the next 20 % for the level scan, the last
// 40 % for writing the audio.
class ImportProgress
{
public:
    // The current bar: the job's percentage, kept within 0..100.
    static qint32 current(qint32 percent);
    // The overall bar while item `currentItem` (1-based) of `itemCount` is
    // read at `percent`: ripping fills the first 40 % of the item's share.
    static qint32 overallWhileReading(qint32 maximum, qint32 currentItem, qint32 itemCount, qint32 percent);
    // The overall bar while the level of item `currentItem` (1-based) of
    // `itemCount` is scanned at `percent`, on a bar running to `maximum`.
    static qint32 overallWhileScanning(qint32 maximum, qint32 currentItem, qint32 itemCount, qint32 percent);
    // The same while its audio is written.
    static qint32 overallWhileAdding(qint32 maximum, qint32 currentItem, qint32 itemCount, qint32 percent);
    // Pending window events run at 1, 11, 21 ... percent, so that a stop or a
    // close can get in without slowing the job down on every step.
    static bool letsEventsRun(qint32 percent) { return percent % 10 == 1; }

private:
    static qint32 overall(qint32 maximum, double itemsDone, qint32 itemCount);
};
