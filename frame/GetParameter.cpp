#include "frame/GetParameter.h"

QString GetParameter(const QString& text, const QString& name, const QString& separator, const QString& delimiter)
{
    const QString key = name + separator;
    const qsizetype at = text.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const qsizetype start = at + key.size();
    if (start < text.size() && text.at(start) == QLatin1Char('"')) {
        const qsizetype close = text.indexOf(QLatin1Char('"'), start + 1);
        return close < 0 ? text.mid(start + 1) : text.mid(start + 1, close - start - 1);
    }
    const qsizetype end = delimiter.isEmpty() ? -1 : text.indexOf(delimiter, start);
    return end < 0 ? text.mid(start) : text.mid(start, end - start);
}
