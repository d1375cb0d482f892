#include "frame/library/CartNumbers.h"

CartNumbers::CartNumbers(qint64 first, qint64 last)
    : m_first(std::max<qint64>(0, first))
    , m_last(std::max(m_first, last))
{
}

std::optional<qint64> CartNumbers::parseDigits(const QString& text)
{
    const QString trimmed = text.trimmed();
    // Eighteen digits always fit a 64-bit number.
    if (trimmed.isEmpty() || trimmed.size() > 18)
        return std::nullopt;
    for (const QChar c : trimmed)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return trimmed.toLongLong();
}

std::optional<qint64> CartNumbers::parse(const QString& text) const
{
    const auto number = parseDigits(text);
    if (!number || !contains(*number))
        return std::nullopt;
    return number;
}

QJsonValue CartNumbers::json(const QString& text)
{
    const auto number = parseDigits(text);
    return number ? QJsonValue(*number) : QJsonValue();
}
