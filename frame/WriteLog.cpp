#include "frame/WriteLog.h"

#include "frame/AppPaths.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTime>

#include <atomic>

namespace {
std::atomic<int> gDebugLevelValue{0};
int gIndent = 0;

qint64 statusFieldBytes(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            // e.g. "VmRSS:     1234 kB"
            const QList<QByteArray> parts = line.mid(field.size()).simplified().split(' ');
            return parts.value(0).toLongLong() * 1024;
        }
    }
    return 0;
}

QString executableBaseName()
{
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("orvane") : name;
}
} // namespace

int DebugLevel::value() { return gDebugLevelValue.load(); }
void DebugLevel::set(int level) { gDebugLevelValue.store(level); }

qint64 ProcessWorkingSetBytes() { return statusFieldBytes("VmRSS:"); }
qint64 ProcessSwapBytes() { return statusFieldBytes("VmSwap:"); }

QString LogFilePath()
{
    return AppPaths::logFolder() + QLatin1Char('/') + executableBaseName() + QLatin1Char('.')
        + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
}

void WriteLog(const QString& message, int level, int indentAction)
{
    const int debugLevel = DebugLevel::value();
    if (debugLevel == 0)
        return;
    if (debugLevel != -1) {
        if (level == -1)
            level = 5;
        if (level > debugLevel)
            return;
    }
    if (indentAction == LogOutdentBefore)
        gIndent = std::max(0, gIndent - 1);
    else if (indentAction == LogResetBefore)
        gIndent = 0;

    QString line = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    // Every Linux process has the counters the log shows at level 10 and above;
    // the figures are right-aligned in ten characters.
    if (debugLevel >= 10) {
        line += QLatin1Char(' ') + QString::number(ProcessWorkingSetBytes()).rightJustified(10);
        line += QLatin1Char(' ') + QString::number(ProcessSwapBytes()).rightJustified(10);
    }
    line += QString(gIndent * 4, QLatin1Char(' ')) + QLatin1Char(' ') + message + QStringLiteral("\r\n");

    // A log that cannot be written loses the message: logging must never stop
    // the tool.
    QDir().mkpath(AppPaths::logFolder());
    QFile file(LogFilePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line.toUtf8());

    if (indentAction == LogIndentAfter)
        ++gIndent;
}
