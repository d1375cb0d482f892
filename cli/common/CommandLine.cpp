#include "cli/common/CommandLine.h"

#include <algorithm>

CommandLine::CommandLine(const QStringList& arguments, const QSet<QString>& valueOptions,
                         const QSet<QString>& optionalNumberOptions)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--")) {
            m_words += arguments.mid(i + 1);
            break;
        }
        if (argument == QLatin1String("-h")) {
            m_flags.insert(QStringLiteral("help"));
            continue;
        }
        if (!argument.startsWith(QLatin1String("--")) || argument.size() == 2) {
            m_words << argument;
            continue;
        }
        QString name = argument.mid(2);
        const qsizetype eq = name.indexOf(QLatin1Char('='));
        if (eq >= 0) {
            m_values.insert(name.left(eq), name.mid(eq + 1));
            continue;
        }
        if (valueOptions.contains(name)) {
            if (i + 1 >= arguments.size()) {
                m_error = QStringLiteral("--%1 needs a value").arg(name);
                return;
            }
            m_values.insert(name, arguments.at(++i));
            continue;
        }
        if (bool number = false; optionalNumberOptions.contains(name) && i + 1 < arguments.size()) {
            arguments.at(i + 1).toDouble(&number);
            if (number) {
                m_values.insert(name, arguments.at(++i));
                continue;
            }
        }
        m_flags.insert(name);
    }
}

QStringList CommandLine::values(const QString& option) const
{
    QStringList all = m_values.values(option); // the latest first
    std::reverse(all.begin(), all.end());
    return all;
}

QStringList CommandLine::unknownOptions(const QSet<QString>& known) const
{
    QStringList unknown;
    for (const QString& flag : m_flags)
        if (!known.contains(flag))
            unknown << QStringLiteral("--") + flag;
    for (const QString& key : m_values.uniqueKeys())
        if (!known.contains(key))
            unknown << QStringLiteral("--") + key;
    return unknown;
}
