#include "BatchHandler.h"

#include "audio/cCopyAudioFileNCT.h"
#include "wizard/ImportItem.h"
#include "wizard/ImportProgress.h"

#include <cstdio>

void BatchHandler::plan(const QList<ImportItem>& planned)
{
    for (const ImportItem& row : planned)
        m_meant.insert(row.Key, row.field(QStringLiteral("DEST")));
}

DropFolderWatcher::Result BatchHandler::describe(const QString& key) const
{
    const Outcome outcome = m_outcomes.value(key);
    DropFolderWatcher::Result result;
    result.cart = outcome.cart;
    switch (outcome.outcome) {
    case FileImportHandler::Outcome::Imported:
        result.outcome = QStringLiteral("imported");
        result.meantCart = m_meant.value(key);
        return result;
    case FileImportHandler::Outcome::SkippedInUse:
        result.outcome = QStringLiteral("skipped");
        result.reason = QStringLiteral("cart %1 holds audio (see --overwrite)").arg(outcome.cart);
        return result;
    case FileImportHandler::Outcome::SkippedType:
        result.outcome = QStringLiteral("skipped");
        result.cart.clear();
        result.reason = QStringLiteral("not a kind of file the import takes");
        return result;
    case FileImportHandler::Outcome::Failed: break;
    }
    result.outcome = QStringLiteral("failed");
    result.reason = outcome.error.isEmpty() ? QStringLiteral("the import failed") : outcome.error;
    return result;
}

void BatchHandler::printLine(const QString& line)
{
    m_progress.clear(); // lines never share the terminal's line with the bar
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void BatchHandler::finish()
{
    m_progress.done();
    if (m_lines != Lines::Items || !m_retaking)
        return;
    for (auto it = m_outcomes.begin(); it != m_outcomes.end(); ++it)
        if (it.value().outcome == FileImportHandler::Outcome::SkippedInUse)
            printLine(DropFolderWatcher::line(sourceOf(it.key()), describe(it.key())));
}

void BatchHandler::status(const QString& text)
{
    if (!text.isEmpty())
        m_status = text;
}

// A results line is built from an announcement and its end; it is printed
// whole, so that the bar redrawn meanwhile does not wipe its first half.
void BatchHandler::result(const QString& text, bool endOfLine)
{
    // The run's closing message follows its last results line: it gets a clean line too.
    if (m_lines != Lines::Results) {
        if (endOfLine)
            m_progress.clear();
        return;
    }
    m_pending += text;
    if (!endOfLine)
        return;
    printLine(m_pending);
    m_pending.clear();
}

void BatchHandler::itemStarted(int currentItem, int itemCount)
{
    m_currentItem = currentItem;
    m_itemCount = itemCount;
    if (currentItem == 1)
        m_done = 0;
}

void BatchHandler::progress(int current, int overall)
{
    m_current = current;
    m_overall = overall;
    drawBar();
}

// The copy job's scan and write move the item's bar and its share of the
// whole, by the same rule as the wizard's bars.
void BatchHandler::copyJob(cCopyAudioFileNCT* job)
{
    if (!job || m_lines == Lines::None)
        return;
    QObject::connect(job, &cCopyAudioFileNCT::ScanAudioProgress, job, [this](qint16 percent) {
        progress(ImportProgress::current(percent),
                 ImportProgress::overallWhileScanning(100, m_currentItem, m_itemCount, percent));
    });
    QObject::connect(job, &cCopyAudioFileNCT::AddAudioProgress, job, [this](qint16 percent) {
        progress(ImportProgress::current(percent),
                 ImportProgress::overallWhileAdding(100, m_currentItem, m_itemCount, percent));
    });
}

void BatchHandler::drawBar()
{
    if (m_lines != Lines::None && m_itemCount > 0)
        m_progress.showRun(m_status, m_current, m_done, m_itemCount, m_overall);
}

void BatchHandler::itemDone(const QString& key, const QString& cart, FileImportHandler::Outcome outcome, const QString& error)
{
    m_outcomes.insert(key, {cart, outcome, error, m_verdicts.contains(key) ? std::optional(m_verdicts.take(key)) : std::nullopt});
    ++m_done;
    // A cart lost to another importer: the item's line comes with the cart it gets.
    if (m_lines != Lines::Items || (m_retaking && outcome == FileImportHandler::Outcome::SkippedInUse))
        return;
    printLine(DropFolderWatcher::line(sourceOf(key), describe(key)));
}
