#pragma once
#include <QMap>
#include <QSet>
#include <QStringList>

// Arguments of one verb: positional words and --options. Options that take
// a value are named up front, so "--link" and "--data DIR" parse alike as
// "--data=DIR". An option whose number may be left out ("--normalise" for
// the store's default level) takes the next argument only when it is a
// number. "-h" is "--help".
class CommandLine
{
public:
    CommandLine(const QStringList& arguments, const QSet<QString>& valueOptions,
                const QSet<QString>& optionalNumberOptions = {});

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    const QStringList& words() const { return m_words; }
    bool has(const QString& option) const { return m_flags.contains(option) || m_values.contains(option); }
    // The value given last, or every value of an option given several times.
    QString value(const QString& option) const { return m_values.value(option); }
    QStringList values(const QString& option) const;
    QStringList unknownOptions(const QSet<QString>& known) const;

private:
    QStringList m_words;
    QSet<QString> m_flags;
    QMultiMap<QString, QString> m_values;
    QString m_error;
};
