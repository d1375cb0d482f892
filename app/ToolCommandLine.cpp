#include "app/ToolCommandLine.h"

namespace {
QString gCommandLine;

QString quoted(const QString& argument)
{
    if (!argument.contains(QLatin1Char(' ')) || argument.startsWith(QLatin1Char('"')))
        return argument;
    const qsizetype eq = argument.indexOf(QLatin1Char('='));
    if (eq < 0)
        return QLatin1Char('"') + argument + QLatin1Char('"');
    QString value = argument.mid(eq + 1);
    if (!value.startsWith(QLatin1Char('"')))
        value = QLatin1Char('"') + value + QLatin1Char('"');
    return argument.left(eq + 1) + value;
}

// --option[=value] written as /OPTION[=value]; other arguments unchanged.
QString classic(const QString& argument)
{
    static const struct {
        const char* modern;
        const char* old;
    } kOptions[] = {{"--silent", "/SILENT"}, {"--profile", "/Profile"}, {"--players", "/PLAYERS"}, {"--debug", "/DEBUG"}};
    for (const auto& option : kOptions) {
        const QString modern = QLatin1String(option.modern);
        if (argument.compare(modern, Qt::CaseInsensitive) == 0)
            return QLatin1String(option.old);
        if (argument.startsWith(modern + QLatin1Char('='), Qt::CaseInsensitive))
            return QLatin1String(option.old) + argument.mid(modern.size());
    }
    return argument;
}
} // namespace

QString ToolCommandLine::fromArguments(const QStringList& arguments)
{
    QStringList words;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        // "--profile NAME" as two arguments.
        if (argument.compare(QLatin1String("--profile"), Qt::CaseInsensitive) == 0 && i + 1 < arguments.size())
            argument += QLatin1Char('=') + arguments.at(++i);
        words << quoted(classic(argument));
    }
    return words.join(QLatin1Char(' '));
}

bool ToolCommandLine::wantsHelp(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("/?"));
}

QString ToolCommandLine::helpText(const QString& program)
{
    return QStringLiteral("Usage: %1 [options]\n\n"
                          "Imports audio files and CD tracks into the Cartvault.\n\n"
                          "  --silent, /SILENT              start without the splash window\n"
                          "  --profile=NAME, /Profile=NAME  use that profile (quote names with blanks)\n"
                          "  --players=N, /PLAYERS=N        number of players for this session\n"
                          "  --debug[=MODE], /DEBUG[=MODE]  write the diagnostic log; MODE is MAX, NORMAL,\n"
                          "                                 MEDIUM, NONE or OFF (MAX when left out)\n"
                          "  --help                         show this text\n"
                          "  --version                      show the version\n\n"
                          "The log is written to $XDG_STATE_HOME/orvane/.\n")
        .arg(program);
}

QString ToolCommandLine::current() { return gCommandLine; }
void ToolCommandLine::setCurrent(const QString& commandLine) { gCommandLine = commandLine; }
