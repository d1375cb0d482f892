#include "frame/ProgramVersion.h"

#include <cstdio>

QString ProgramVersion::number() { return QStringLiteral(ORVANE_VERSION); }

bool ProgramVersion::printIfAsked(const QStringList& arguments, const QString& program)
{
    if (!arguments.contains(QStringLiteral("--version")))
        return false;
    std::printf("%s %s\n", qPrintable(program), qPrintable(number()));
    return true;
}
