#pragma once
#include "DropFolderWatcher.h"
#include "cli/common/TerminalProgress.h"
#include "wizard/FileImportHandler.h"

#include <QMap>
#include <QString>
#include <optional>

class ImportItem;

// A file import run shown on a terminal: one line per item on stdout (or
// the wizard's detailed results lines), a progress bar on stderr when that
// is a terminal, and each item's outcome kept for the JSON report.
class BatchHandler : public FileImportHandler
{
public:
    enum class Lines { None, Items, Results };
    // retakingLostCarts: an item whose cart another importer filled is run
    // again into the next free one, so its line waits for that.
    explicit BatchHandler(Lines lines, bool retakingLostCarts = false)
        : m_lines(lines), m_retaking(retakingLostCarts)
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
    // The carts the items were meant for, to tell when one was taken over.
    void plan(const QList<ImportItem>& planned);
    // What an item's line calls it (a CD track has no file); the file by default.
    void name(const QString& key, const QString& source) { m_names.insert(key, source); }
    // An item's outcome in the words of its line: imported, skipped or failed with why.
    DropFolderWatcher::Result describe(const QString& key) const;
    // Ends the bar and tells the items still waiting for a cart.
    void finish();

    void status(const QString& text) override;
    void result(const QString& text, bool endOfLine) override;
    void itemStarted(int currentItem, int itemCount) override;
    void progress(int current, int overall) override;
    void copyJob(cCopyAudioFileNCT* job) override;
    void itemDone(const QString& key, const QString& cart, FileImportHandler::Outcome outcome, const QString& error) override;
    void trackVerified(const QString& key, const AccurateRipVerdict& verdict) override { m_verdicts.insert(key, verdict); }
    bool stopRequested() override { return false; }

private:
    void printLine(const QString& line);
    QString sourceOf(const QString& key) const { return m_names.value(key, key.mid(1)); }
    void drawBar();

    Lines m_lines;
    bool m_retaking;
    QString m_status;
    QString m_pending; // a results line still waiting for its end
    int m_currentItem = 0;
    int m_itemCount = 0;
    int m_done = 0; // items of this pass that ended
    int m_current = 0;
    int m_overall = 0;
    QMap<QString, QString> m_meant;
    QMap<QString, QString> m_names;
    QMap<QString, Outcome> m_outcomes;
    QMap<QString, AccurateRipVerdict> m_verdicts;
    TerminalProgress m_progress;
};
