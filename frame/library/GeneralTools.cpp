#include "frame/library/GeneralTools.h"

#include "frame/GetParameter.h"
#include "frame/WriteLog.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace {
QString gStartupOptions;

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
    const QString entry = name + separator + QuoteParameterValue(value, delimiter);
    const ParameterEntry found = FindParameter(text, name, separator, delimiter);
    if (found.start < 0) {
        if (text.isEmpty())
            return entry;
        return text.endsWith(delimiter) ? text + entry : text + delimiter + entry;
    }
    QString result = text;
    result.replace(found.start, found.end - found.start, entry);
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
        QString value;
        const qsizetype end = ReadParameterValue(text, eq + 1, QStringLiteral(" "), &value);
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
