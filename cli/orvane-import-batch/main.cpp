#include "BatchImportTool.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-import-batch"));
    return BatchImportTool().run(app.arguments().mid(1));
}
