#pragma once
#include <QString>
#include <QStringList>

// The tool's command line as one text, the way its options are matched:
// the arguments joined by blanks, an argument that contains a blank quoted
// again (the value after '=' when it has one). This platform's own spellings
// (--silent, --profile=NAME or --profile NAME, --players=N, --debug[=MODE])
// are written as the classic options they stand for.
class ToolCommandLine
{
public:
    static QString fromArguments(const QStringList& arguments);
    static bool wantsHelp(const QStringList& arguments);
    static QString helpText(const QString& program);

    // The command line InitialiseTool reads; set by main() (and tests).
    static QString current();
    static void setCurrent(const QString& commandLine);
};
