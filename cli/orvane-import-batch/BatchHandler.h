#pragma once
#include "cli/common/TerminalProgress.h"
#include "wizard/FileImportHandler.h"

#include <QMap>
#include <QString>
#include <optional>

// A file import run shown on a terminal: the results lines on stdout (the
// same as the wizard's results pane), a progress bar on stderr when that is
// a terminal, and each item's outcome kept for the JSON report.
class BatchHandler : public FileImportHandler
{
public:
    explicit BatchHandler(bool printResults)
        : m_printResults(printResults)
    {
    }

    struct Outcome {
        QString cart;
        FileImportHandler::Outcome outcome = FileImportHandler::Outcome::Failed;
        QString error;
        std::optional<AccurateRipVerdict> verdict; // when the run verified the track
    };
    // By the summary row's key; the last run of an item wins.
    const QMap<QString, Outcome>& outcomes() const { return m_outcomes; }
    void finish() { m_progress.done(); }

    void status(const QString& text) override;
    void result(const QString& text, bool endOfLine) override;
    void itemStarted(int currentItem, int itemCount) override;
    void progress(int current, int overall) override;
    void copyJob(cCopyAudioFileNCT*) override {}
    void itemDone(const QString& key, const QString& cart, FileImportHandler::Outcome outcome, const QString& error) override;
    void trackVerified(const QString& key, const AccurateRipVerdict& verdict) override { m_verdicts.insert(key, verdict); }
    bool stopRequested() override { return false; }

private:
    bool m_printResults;
    QString m_status;
    QMap<QString, Outcome> m_outcomes;
    QMap<QString, AccurateRipVerdict> m_verdicts;
    TerminalProgress m_progress;
};
