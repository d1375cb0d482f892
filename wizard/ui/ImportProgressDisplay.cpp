#include "wizard/ui/ImportProgressDisplay.h"

#include "audio/cCopyAudioFileNCT.h"
#include "wizard/ImportProgress.h"
#include "wizard/ui/ImportResultsPage.h"
#include "wizard/ui/frmImportAudio.h"

#include <QCoreApplication>
#include <QProgressBar>

ImportProgressDisplay::ImportProgressDisplay(frmImportAudio& window)
    : m_window(window)
{
}

ImportProgressDisplay::~ImportProgressDisplay() { attach(nullptr); }

void ImportProgressDisplay::attach(cCopyAudioFileNCT* job)
{
    for (const QMetaObject::Connection& c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_job = job;
    if (!job)
        return;
    m_connections << connect(job, &cCopyAudioFileNCT::ScanAudioStart, this, &ImportProgressDisplay::scanStart)
                  << connect(job, &cCopyAudioFileNCT::ScanAudioProgress, this, &ImportProgressDisplay::scanProgress)
                  << connect(job, &cCopyAudioFileNCT::ScanAudioEnd, this, &ImportProgressDisplay::scanEnd)
                  << connect(job, &cCopyAudioFileNCT::AddAudioStart, this, &ImportProgressDisplay::addStart)
                  << connect(job, &cCopyAudioFileNCT::AddAudioProgress, this, &ImportProgressDisplay::addProgress)
                  << connect(job, &cCopyAudioFileNCT::AddAudioEnd, this, &ImportProgressDisplay::addEnd);
}

QString ImportProgressDisplay::jobName() const { return m_job ? m_job->Description() : QString(); }

void ImportProgressDisplay::announce(const QString& text)
{
    m_window.setCurrentStatus(text);
    m_window.AddResultText(text, false);
}

void ImportProgressDisplay::scanStart() { announce(QStringLiteral("Scanning '") + jobName() + QStringLiteral("'...")); }

void ImportProgressDisplay::scanProgress(qint16 percent)
{
    const int maximum = m_window.fraResults->prgOverall->maximum();
    showBars(percent, ImportProgress::overallWhileScanning(maximum, m_window.CurrentItem, m_window.ItemCount, percent));
}

void ImportProgressDisplay::scanEnd()
{
    m_window.AddResultText(QStringLiteral("Finished"), true);
    m_window.setCurrentStatus(QStringLiteral("Finished Scanning '") + jobName() + QStringLiteral("'"));
}

void ImportProgressDisplay::addStart() { announce(QStringLiteral("Processing '") + jobName() + QStringLiteral("'...")); }

void ImportProgressDisplay::addProgress(qint16 percent)
{
    const int maximum = m_window.fraResults->prgOverall->maximum();
    showBars(percent, ImportProgress::overallWhileAdding(maximum, m_window.CurrentItem, m_window.ItemCount, percent));
}

void ImportProgressDisplay::addEnd()
{
    m_window.AddResultText(QStringLiteral("Finished"), true);
    m_window.setCurrentStatus(QStringLiteral("Finished Processing '") + jobName() + QStringLiteral("'"));
}

void ImportProgressDisplay::showBars(qint32 percent, qint32 overall)
{
    QProgressBar* current = m_window.fraResults->prgCurrent;
    QProgressBar* total = m_window.fraResults->prgOverall;
    current->setValue(ImportProgress::current(percent));
    total->setValue(overall);
    if (current->isVisible()) {
        current->repaint();
        total->repaint();
    }
    if (ImportProgress::letsEventsRun(percent))
        QCoreApplication::processEvents();
}
