#include "BatchImportTool.h"

#include "frame/ProgramVersion.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-import-batch"));
    QCoreApplication::setApplicationVersion(ProgramVersion::number());
    if (ProgramVersion::printIfAsked(app.arguments().mid(1), QCoreApplication::applicationName()))
        return 0;
    return BatchImportTool().run(app.arguments().mid(1));
}
