#pragma once
#include <QString>

// Value of `name` in a text of name<separator>value entries separated by
// `delimiter`, matched without regard to case; the first such entry wins.
// An entry begins the text or follows a delimiter, so "Title" is not found
// inside "ItemTitle=" nor inside another entry's quoted value. A value that
// starts with a double quote runs to the next double quote; inside it, two
// double quotes stand for one, so any text reads back whole. Empty when the
// name is not there.
QString GetParameter(const QString& text, const QString& name, const QString& separator = QStringLiteral("="),
                     const QString& delimiter = QStringLiteral(" "));

// Where an entry is and what it holds, for the routines that write entries.
struct ParameterEntry {
    qsizetype start = -1; // of the name; -1 when there is no such entry
    qsizetype end = -1;   // just after the value
    QString value;
};
ParameterEntry FindParameter(const QString& text, const QString& name, const QString& separator, const QString& delimiter);
// Reads the value that starts at `from` (quoted or not); returns where it ends.
qsizetype ReadParameterValue(const QString& text, qsizetype from, const QString& delimiter, QString* value);
// The value as an entry must hold it: quoted (quotes doubled) when it is
// empty or holds the delimiter or a double quote.
QString QuoteParameterValue(const QString& value, const QString& delimiter);
