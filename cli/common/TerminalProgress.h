#pragma once
#include <QString>

// A one-line progress bar on standard error, drawn only when standard error
// is a terminal (a pipe or a log file gets nothing).
class TerminalProgress
{
public:
    TerminalProgress();
    ~TerminalProgress();
    void show(const QString& label, int percent);
    // Ends the line so that later output starts on a fresh one.
    void done();

private:
    bool m_terminal = false;
    bool m_drawn = false;
    QString m_label;
    int m_percent = -1;
};
