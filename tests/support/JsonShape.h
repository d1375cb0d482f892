#pragma once
#include <QByteArray>
#include <QString>

// What scripts rely on in every tool's JSON: one document ending in a new
// line, snake_case keys, cart numbers as numbers (or null), and lengths in
// seconds as numbers to the millisecond.
class JsonShape
{
public:
    // Empty when the output keeps to that; otherwise what it breaks.
    static QString problem(const QByteArray& output);
};
