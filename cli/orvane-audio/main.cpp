#include "AudioTool.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-audio"));
    return AudioTool().run(app.arguments().mid(1));
}
