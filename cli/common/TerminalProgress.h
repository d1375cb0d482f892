#pragma once
#include <QElapsedTimer>
#include <QString>

// A one-line progress bar on standard error, redrawn in place, drawn only
// when standard error is a terminal (a pipe or a log file gets nothing).
class TerminalProgress
{
public:
    TerminalProgress();
    ~TerminalProgress();
    // One job: what it does and how far it is.
    void show(const QString& label, int percent);
    // A run of several items: the item in hand and its own progress, how
    // many items are done of all, and the time left from the pace so far.
    void showRun(const QString& item, int itemPercent, int done, int total, int overallPercent);
    // Wipes the bar so that a line can be printed; the next show draws it again.
    void clear();
    // Ends the line so that later output starts on a fresh one.
    void done();

private:
    void draw(const QString& line);
    static QString bar(int percent, int width);

    bool m_terminal = false;
    bool m_drawn = false;
    QString m_line;
    QElapsedTimer m_started;
};
