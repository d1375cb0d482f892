#include "cli/common/TerminalProgress.h"

#include <cstdio>
#include <unistd.h>

TerminalProgress::TerminalProgress()
    : m_terminal(isatty(STDERR_FILENO) == 1)
{
}

TerminalProgress::~TerminalProgress() { done(); }

void TerminalProgress::show(const QString& label, int percent)
{
    if (!m_terminal || (label == m_label && percent == m_percent))
        return;
    m_label = label;
    m_percent = percent;
    constexpr int width = 40;
    const int filled = percent * width / 100;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('-'));
    std::fprintf(stderr, "\r%-10s [%s] %3d%%", qPrintable(label), qPrintable(bar), percent);
    std::fflush(stderr);
    m_drawn = true;
}

void TerminalProgress::done()
{
    if (m_drawn) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    m_drawn = false;
    m_label.clear();
    m_percent = -1;
}
