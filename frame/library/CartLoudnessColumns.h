#pragma once
#include "frame/library/LoudnessValues.h"

#include <QString>
#include <optional>

class QSqlQuery;

// The carts table's loudness columns, always read and bound in one order:
// loudness_measured, then the five levels (NULL where a level is empty).
namespace CartLoudnessColumns {
constexpr int Count = 6;
QStringList columns();
QString names();       // "loudness_measured, loudness_integrated, ..."
QString assignments(); // "loudness_measured = ?, loudness_integrated = ?, ..."
std::optional<LoudnessValues> read(const QSqlQuery& query, int firstColumn);
void bind(QSqlQuery& query, const std::optional<LoudnessValues>& loudness);
} // namespace CartLoudnessColumns
