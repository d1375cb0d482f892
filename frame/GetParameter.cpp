#include "frame/GetParameter.h"

namespace {
const QChar kQuote = QLatin1Char('"');

} // namespace

qsizetype ReadParameterValue(const QString& text, qsizetype from, const QString& delimiter, QString* value)
{
    if (from < text.size() && text.at(from) == kQuote) {
        QString unquoted;
        qsizetype pos = from + 1;
        while (pos < text.size()) {
            if (text.at(pos) == kQuote) {
                if (pos + 1 < text.size() && text.at(pos + 1) == kQuote) {
                    unquoted += kQuote;
                    pos += 2;
                    continue;
                }
                ++pos;
                break;
            }
            unquoted += text.at(pos++);
        }
        if (value)
            *value = unquoted;
        return pos;
    }
    const qsizetype end = delimiter.isEmpty() ? -1 : text.indexOf(delimiter, from);
    const qsizetype stop = end < 0 ? text.size() : end;
    if (value)
        *value = text.mid(from, stop - from);
    return stop;
}

ParameterEntry FindParameter(const QString& text, const QString& name, const QString& separator, const QString& delimiter)
{
    const QString key = name + separator;
    qsizetype pos = 0;
    while (pos < text.size()) {
        if (text.mid(pos, key.size()).compare(key, Qt::CaseInsensitive) == 0) {
            ParameterEntry entry;
            entry.start = pos;
            entry.end = ReadParameterValue(text, pos + key.size(), delimiter, &entry.value);
            return entry;
        }
        // Past this entry: its name, then its value (which may be quoted).
        const qsizetype nextSeparator = separator.isEmpty() ? -1 : text.indexOf(separator, pos);
        const qsizetype nextDelimiter = delimiter.isEmpty() ? -1 : text.indexOf(delimiter, pos);
        if (nextSeparator >= 0 && (nextDelimiter < 0 || nextSeparator < nextDelimiter))
            pos = ReadParameterValue(text, nextSeparator + separator.size(), delimiter, nullptr);
        else
            pos = nextDelimiter < 0 ? text.size() : nextDelimiter;
        if (pos < text.size() && !delimiter.isEmpty() && text.mid(pos, delimiter.size()) == delimiter)
            pos += delimiter.size();
        else if (pos < text.size() && delimiter.isEmpty())
            break;
    }
    return {};
}

QString GetParameter(const QString& text, const QString& name, const QString& separator, const QString& delimiter)
{
    return FindParameter(text, name, separator, delimiter).value;
}

QString QuoteParameterValue(const QString& value, const QString& delimiter)
{
    const bool quoted = value.isEmpty() || (!delimiter.isEmpty() && value.contains(delimiter)) || value.contains(kQuote);
    if (!quoted)
        return value;
    return kQuote + QString(value).replace(kQuote, QStringLiteral("\"\"")) + kQuote;
}
