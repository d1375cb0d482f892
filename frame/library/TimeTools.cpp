#include "frame/library/TimeTools.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <cmath>

void TimeTools::Pause(double seconds)
{
    QDeadlineTimer deadline(static_cast<qint64>(std::max(0.0, seconds) * 1000));
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(10, deadline.remainingTime())));
    }
}

void TimeTools::BriefWait(double seconds)
{
    QCoreApplication::processEvents();
    QThread::msleep(static_cast<unsigned long>(std::max(0.0, seconds) * 1000));
    QCoreApplication::processEvents();
}

QString TimeTools::FormatDuration(double seconds, int style)
{
    if (!(seconds > 0))
        seconds = 0;
    const qint64 hundredths = std::llround(seconds * 100);
    const qint64 totalSeconds = hundredths / 100;
    const qint64 h = totalSeconds / 3600;
    const qint64 m = (totalSeconds / 60) % 60;
    const qint64 s = totalSeconds % 60;
    if (style == 0)
        return QStringLiteral("%1:%2:%3").arg(h, 2, 10, QLatin1Char('0')).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    const QString fraction = QStringLiteral(".%1").arg(hundredths % 100, 2, 10, QLatin1Char('0'));
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0')) + fraction;
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0')) + fraction;
}

double TimeTools::RoundToMilliseconds(double seconds) { return std::round(seconds * 1000) / 1000; }

std::optional<double> TimeTools::ParseDuration(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    double seconds = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const double value = part.toDouble(&ok);
        if (!ok || value < 0)
            return std::nullopt;
        seconds = seconds * 60 + value;
    }
    return seconds;
}
