#include "cli/common/TerminalProgress.h"

#include "frame/library/TimeTools.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
int terminalWidth()
{
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}
} // namespace

TerminalProgress::TerminalProgress()
    : m_terminal(isatty(STDERR_FILENO) == 1)
{
}

TerminalProgress::~TerminalProgress() { done(); }

QString TerminalProgress::bar(int percent, int width)
{
    const int filled = qBound(0, percent, 100) * width / 100;
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('-'))
        + QStringLiteral("] %1%").arg(percent, 3);
}

void TerminalProgress::show(const QString& label, int percent)
{
    draw(QStringLiteral("%1 %2").arg(label, -10).arg(bar(percent, 40)));
}

void TerminalProgress::showRun(const QString& item, int itemPercent, int done, int total, int overallPercent)
{
    if (!m_started.isValid())
        m_started.start();
    QString left;
    // The pace is only known once part of the run is behind.
    if (overallPercent > 0 && overallPercent < 100 && m_started.elapsed() > 1000)
        left = TimeTools::FormatDuration(m_started.elapsed() / 1000.0 * (100 - overallPercent) / overallPercent, 0)
            + QStringLiteral(" left");
    // Fixed widths, so that the bar does not move when the time left appears.
    const QString count = QStringLiteral("%1/%2").arg(done).arg(total);
    const QString tail = QStringLiteral(" %1 %2 %3").arg(bar(itemPercent, 20), count.rightJustified(2 * QString::number(total).size() + 1), left.leftJustified(13));
    // The item's name gives way, so the bar and the counts always fit.
    const int room = std::max(8, terminalWidth() - 1 - int(tail.size()));
    const QString name = item.size() > room ? item.left(room - 1) + QChar(0x2026) : item;
    draw(name.leftJustified(room) + tail);
}

void TerminalProgress::draw(const QString& line)
{
    if (!m_terminal || (m_drawn && line == m_line))
        return;
    m_line = line;
    std::fprintf(stderr, "\r\033[K%s", qPrintable(line));
    std::fflush(stderr);
    m_drawn = true;
}

void TerminalProgress::clear()
{
    if (!m_drawn)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_drawn = false;
}

void TerminalProgress::done()
{
    if (m_drawn) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    m_drawn = false;
    m_line.clear();
}
