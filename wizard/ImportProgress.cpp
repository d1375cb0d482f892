#include "wizard/ImportProgress.h"

#include "frame/library/GeneralTools.h"

qint32 ImportProgress::current(qint32 percent) { return GeneralTools::LimitLong(percent, 0, 100); }

qint32 ImportProgress::overall(qint32 maximum, double itemsDone, qint32 itemCount)
{
    // A run without items has nothing to show yet.
    if (itemCount <= 0)
        return 0;
    return GeneralTools::LimitLong(GeneralTools::RoundHalfEven(maximum * itemsDone / itemCount), 0, 100);
}

qint32 ImportProgress::overallWhileReading(qint32 maximum, qint32 currentItem, qint32 itemCount, qint32 percent)
{
    return overall(maximum, 0.4 * percent / 100.0 + currentItem - 1, itemCount);
}

qint32 ImportProgress::overallWhileScanning(qint32 maximum, qint32 currentItem, qint32 itemCount, qint32 percent)
{
    return overall(maximum, (currentItem - 0.6) + 0.2 * percent / 100.0, itemCount);
}

qint32 ImportProgress::overallWhileAdding(qint32 maximum, qint32 currentItem, qint32 itemCount, qint32 percent)
{
    return overall(maximum, (currentItem - 0.4) + 0.4 * percent / 100.0, itemCount);
}
