#include "frame/library/GeneralTools.h"

#include "frame/GetParameter.h"
#include "frame/WriteLog.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace {
QString gStartupOptions;

// Position of `name+separator` at the start of an entry, or -1.
qsizetype findEntry(const QString& text, const QString& key, const QString& delimiter)
{
    qsizetype from = 0;
    while (true) {
        const qsizetype at = text.indexOf(key, from, Qt::CaseInsensitive);
        if (at < 0)
            return -1;
        if (at == 0 || text.mid(at - delimiter.size(), delimiter.size()) == delimiter)
            return at;
        from = at + 1;
    }
}

// End of the entry whose value starts at `valueStart`.
qsizetype entryEnd(const QString& text, qsizetype valueStart, const QString& delimiter)
{
    if (valueStart < text.size() && text.at(valueStart) == QLatin1Char('"')) {
        const qsizetype close = text.indexOf(QLatin1Char('"'), valueStart + 1);
        return close < 0 ? text.size() : close + 1;
    }
    const qsizetype end = text.indexOf(delimiter, valueStart);
    return end < 0 ? text.size() : end;
}
} // namespace

int GeneralTools::DebugLevel() { return ::DebugLevel::value(); }
void GeneralTools::setDebugLevel(int level) { ::DebugLevel::set(level); }

QString GeneralTools::StartupOptions() { return gStartupOptions; }
void GeneralTools::setStartupOptions(const QString& options) { gStartupOptions = options; }

QString GeneralTools::PadText(const QString& text, int width, bool padRight)
{
    return padRight ? text.leftJustified(width) : text.rightJustified(width);
}

qint32 GeneralTools::LimitLong(qint64 value, qint32 minimum, qint32 maximum)
{
    return static_cast<qint32>(std::clamp<qint64>(value, minimum, std::max(minimum, maximum)));
}

double GeneralTools::LimitDouble(double value, double minimum, double maximum)
{
    if (std::isnan(value))
        return minimum;
    return std::clamp(value, minimum, std::max(minimum, maximum));
}

qint32 GeneralTools::MinLong(qint32 a, qint32 b) { return std::min(a, b); }
qint32 GeneralTools::MaxLong(qint32 a, qint32 b) { return std::max(a, b); }

QString GeneralTools::SetParameter(const QString& text, const QString& name, const QString& value,
                                   const QString& separator, const QString& delimiter)
{
    QString encoded = value;
    const bool needsQuotes = value.contains(delimiter) || value.startsWith(QLatin1Char('"')) || value.isEmpty();
    if (needsQuotes)
        encoded = QLatin1Char('"') + QString(value).replace(QLatin1Char('"'), QStringLiteral("''")) + QLatin1Char('"');
    const QString entry = name + separator + encoded;

    const qsizetype at = findEntry(text, name + separator, delimiter);
    if (at < 0) {
        if (text.isEmpty())
            return entry;
        return text.endsWith(delimiter) ? text + entry : text + delimiter + entry;
    }
    const qsizetype end = entryEnd(text, at + name.size() + separator.size(), delimiter);
    QString result = text;
    result.replace(at, end - at, entry);
    return result;
}

QList<QPair<QString, QString>> GeneralTools::ParseParameters(const QString& text)
{
    QList<QPair<QString, QString>> entries;
    qsizetype pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text.at(pos) == QLatin1Char(' '))
            ++pos;
        const qsizetype eq = text.indexOf(QLatin1Char('='), pos);
        if (pos >= text.size() || eq < 0)
            break;
        const QString name = text.mid(pos, eq - pos).trimmed();
        const qsizetype end = entryEnd(text, eq + 1, QStringLiteral(" "));
        QString value = text.mid(eq + 1, end - eq - 1);
        if (value.startsWith(QLatin1Char('"')))
            value = value.mid(1, value.endsWith(QLatin1Char('"')) && value.size() > 1 ? value.size() - 2 : -1);
        entries.append({name, value});
        pos = end;
    }
    return entries;
}

double GeneralTools::TimeTextToSeconds(const QString& text, int)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    double seconds = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        if (!ok)
            return 0;
        seconds = seconds * 60 + value;
    }
    return seconds;
}

bool GeneralTools::IsCharKind(QChar character, int kind)
{
    switch (kind) {
    case 1: return character >= QLatin1Char('0') && character <= QLatin1Char('9');
    case 2: return character.isLetter();
    case 3: return character.isLetterOrNumber();
    case 4: return character == QLatin1Char(' ') || character == QLatin1Char('\t');
    default: return false;
    }
}

int GeneralTools::FilterKey(int key, int kind)
{
    if (key < 32) // backspace, tab, enter and the other control keys pass
        return key;
    if (kind == 1)
        return (IsCharKind(QChar(key), 1) || key == '.') ? key : 0;
    return key;
}

QString GeneralTools::FirstPiece(const QString& text, const QString& separator)
{
    const qsizetype at = text.indexOf(separator);
    return at < 0 ? text : text.left(at);
}

double GeneralTools::LeadingNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(0).trimmed().toDouble() : 0.0;
}

qint64 GeneralTools::RoundHalfEven(double value)
{
    return static_cast<qint64>(std::nearbyint(value)); // default rounding mode is to nearest, ties to even
}
