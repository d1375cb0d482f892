#include "CartvaultTool.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cartvault"));
    return CartvaultTool().run(app.arguments().mid(1));
}
