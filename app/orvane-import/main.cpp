#include "app/ToolCommandLine.h"
#include "app/ToolStartup.h"
#include "frame/ProgramVersion.h"
#include "frame/library/dialogs/QtLibraryDialogs.h"
#include "wizard/ui/QtMessenger.h"
#include "wizard/ui/frmImportAudio.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Help and the version need no display: answer them before the window system is opened.
    if (ProgramVersion::printIfAsked(arguments, QStringLiteral("orvane-import")))
        return 0;
    if (ToolCommandLine::wantsHelp(arguments)) {
        std::printf("%s", qPrintable(ToolCommandLine::helpText(QStringLiteral("orvane-import"))));
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Import Audio"));
    QApplication::setApplicationDisplayName(QStringLiteral("Import Audio"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(ProgramVersion::number());
    ToolCommandLine::setCurrent(ToolCommandLine::fromArguments(arguments));

    QtMessenger messenger;
    Messenger::install(&messenger);
    QtLibraryDialogs dialogs;
    LibraryDialogs::install(&dialogs);

    return Main([] {
        frmImportAudio wizard;
        wizard.DisplayWizard(nullptr, 0, QString(), QString(), nullptr);
    });
}
