#include "wizard/ui/WindowImportHandler.h"

#include "wizard/ui/ImportResultsPage.h"
#include "wizard/ui/frmImportAudio.h"

#include <QCoreApplication>
#include <QProgressBar>

void WindowImportHandler::status(const QString& text) { m_window.setCurrentStatus(text); }

void WindowImportHandler::result(const QString& text, bool endOfLine) { m_window.AddResultText(text, endOfLine); }

void WindowImportHandler::itemStarted(int currentItem, int itemCount)
{
    m_window.CurrentItem = currentItem;
    m_window.ItemCount = itemCount;
    m_window.RunTally.setItemCount(itemCount);
}

void WindowImportHandler::itemDone(const QString&, const QString& cart, Outcome outcome, const QString&)
{
    m_window.RunTally.add(cart, outcome);
}

void WindowImportHandler::progress(int current, int overall)
{
    m_window.fraResults->prgCurrent->setValue(current);
    m_window.fraResults->prgOverall->setValue(overall);
}

void WindowImportHandler::copyJob(cCopyAudioFileNCT* job) { m_window.showCopyJob(job); }

bool WindowImportHandler::stopRequested()
{
    QCoreApplication::processEvents();
    return m_window.StopRequested || m_window.Closing;
}
