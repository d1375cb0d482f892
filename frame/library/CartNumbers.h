#pragma once
#include <QJsonValue>
#include <QString>
#include <optional>

// The store's numbering: carts are the whole numbers of one range. Cart
// numbers travel as text everywhere; only this class reads them.
class CartNumbers
{
public:
    CartNumbers(qint64 first = 1, qint64 last = 999999);

    qint64 first() const { return m_first; }
    qint64 last() const { return m_last; }

    // The number a text names: digits only (blanks around are allowed), inside
    // the range. "007" names cart 7.
    std::optional<qint64> parse(const QString& text) const;
    // Any run of digits, in range or not.
    static std::optional<qint64> parseDigits(const QString& text);
    bool contains(qint64 number) const { return number >= m_first && number <= m_last; }
    static QString text(qint64 number) { return QString::number(number); }
    // A cart number as JSON gives it to scripts: a number, null for none.
    static QJsonValue json(const QString& text);

private:
    qint64 m_first;
    qint64 m_last;
};
