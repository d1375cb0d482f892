#pragma once
#include <QString>

// Value of `name` in a text of name<separator>value entries separated by
// `delimiter`. The first occurrence of name+separator wins, matched without
// regard to case; a value that starts with a double quote runs to the next
// double quote. Empty when the name is not there.
QString GetParameter(const QString& text, const QString& name, const QString& separator = QStringLiteral("="),
                     const QString& delimiter = QStringLiteral(" "));
