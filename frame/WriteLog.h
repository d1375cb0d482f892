#pragma once
#include <QString>

// The diagnostic log: one file per program and day in the log folder, written
// only while the debug level is not 0 (-1 writes everything).

enum LogIndentAction {
    LogIndentNone = 0,
    LogIndentAfter = 1,  // opening line of a routine: indent grows after it
    LogOutdentBefore = 2, // closing line: indent shrinks (not below 0) before it
    LogResetBefore = 3,  // indent back to 0 before the line
};

class DebugLevel
{
public:
    static int value();
    static void set(int level);
};

void WriteLog(const QString& message, int level = -1, int indentAction = LogIndentNone);

// Full path of today's log file for this executable.
QString LogFilePath();

// Process memory figures for the log: resident set and swap, in bytes.
qint64 ProcessWorkingSetBytes();
qint64 ProcessSwapBytes();
