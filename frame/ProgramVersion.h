#pragma once
#include <QStringList>

// The one version every program of the system reports: the project's own,
// given to this file alone by the build.
class ProgramVersion
{
public:
    static QString number();
    // "--version" among the arguments prints "PROGRAM VERSION" on standard
    // output and answers true; it needs no application object, so a window
    // program can answer before it opens the display.
    static bool printIfAsked(const QStringList& arguments, const QString& program);
};
