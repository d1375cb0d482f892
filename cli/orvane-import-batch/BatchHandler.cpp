#include "BatchHandler.h"

#include <cstdio>

void BatchHandler::status(const QString& text) { m_status = text; }

void BatchHandler::result(const QString& text, bool endOfLine)
{
    if (!m_printResults)
        return;
    m_progress.done(); // results lines never share a line with the bar
    std::fputs(qPrintable(text), stdout);
    if (endOfLine)
        std::fputc('\n', stdout);
    std::fflush(stdout);
}

void BatchHandler::itemStarted(int, int) {}

void BatchHandler::progress(int, int overall) { m_progress.show(m_status, overall); }

void BatchHandler::itemDone(const QString& key, const QString& cart, FileImportHandler::Outcome outcome, const QString& error)
{
    m_outcomes.insert(key, {cart, outcome, error, m_verdicts.contains(key) ? std::optional(m_verdicts.take(key)) : std::nullopt});
}
