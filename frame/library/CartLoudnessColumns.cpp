#include "frame/library/CartLoudnessColumns.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <array>

namespace {
using Level = std::optional<double> LoudnessValues::*;
constexpr std::array<Level, 5> kLevels{&LoudnessValues::integrated, &LoudnessValues::range, &LoudnessValues::truePeak,
                                       &LoudnessValues::maxMomentary, &LoudnessValues::maxShortTerm};
} // namespace

// A function, not a static: other files' statics read the names as they start.
QStringList CartLoudnessColumns::columns()
{
    return {QStringLiteral("loudness_measured"), QStringLiteral("loudness_integrated"), QStringLiteral("loudness_range"),
            QStringLiteral("loudness_true_peak"), QStringLiteral("loudness_max_momentary"),
            QStringLiteral("loudness_max_short_term")};
}

QString CartLoudnessColumns::names() { return columns().join(QStringLiteral(", ")); }

QString CartLoudnessColumns::assignments() { return columns().join(QStringLiteral(" = ?, ")) + QStringLiteral(" = ?"); }

std::optional<LoudnessValues> CartLoudnessColumns::read(const QSqlQuery& query, int firstColumn)
{
    if (query.value(firstColumn).toInt() == 0)
        return std::nullopt;
    LoudnessValues values;
    for (size_t i = 0; i < kLevels.size(); ++i) {
        const QVariant level = query.value(firstColumn + 1 + static_cast<int>(i));
        if (!level.isNull())
            values.*kLevels[i] = level.toDouble();
    }
    return values;
}

void CartLoudnessColumns::bind(QSqlQuery& query, const std::optional<LoudnessValues>& loudness)
{
    query.addBindValue(loudness ? 1 : 0);
    for (const Level level : kLevels) {
        const std::optional<double> value = loudness ? (*loudness).*level : std::nullopt;
        // A typed NULL: PostgreSQL will not guess the type of an untyped one.
        query.addBindValue(value ? QVariant(*value) : QVariant(QMetaType::fromType<double>()));
    }
}
