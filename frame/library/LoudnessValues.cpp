#include "LoudnessValues.h"

#include <QJsonValue>
#include <cmath>

namespace {
std::optional<double> shifted(std::optional<double> level, double gainDb)
{
    if (!level)
        return level;
    return *level + gainDb;
}

std::optional<double> levelFrom(const QJsonValue& json)
{
    const double level = json.toDouble(std::nan(""));
    if (!json.isDouble() || !std::isfinite(level) || level < -200 || level > 50)
        return std::nullopt;
    return level;
}

QJsonValue jsonValue(std::optional<double> value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}
} // namespace

LoudnessValues LoudnessValues::shiftedBy(double gainDb) const
{
    LoudnessValues moved = *this;
    moved.integrated = shifted(integrated, gainDb);
    moved.truePeak = shifted(truePeak, gainDb);
    moved.maxMomentary = shifted(maxMomentary, gainDb);
    moved.maxShortTerm = shifted(maxShortTerm, gainDb);
    return moved;
}

QJsonObject LoudnessValues::toJson() const
{
    return {
        {QStringLiteral("integrated_lufs"), jsonValue(integrated)},
        {QStringLiteral("range_lu"), jsonValue(range)},
        {QStringLiteral("true_peak_dbtp"), jsonValue(truePeak)},
        {QStringLiteral("max_momentary_lufs"), jsonValue(maxMomentary)},
        {QStringLiteral("max_short_term_lufs"), jsonValue(maxShortTerm)},
    };
}

std::optional<LoudnessValues> LoudnessValues::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    LoudnessValues values;
    values.integrated = levelFrom(object.value(QStringLiteral("integrated_lufs")));
    values.range = levelFrom(object.value(QStringLiteral("range_lu")));
    values.truePeak = levelFrom(object.value(QStringLiteral("true_peak_dbtp")));
    values.maxMomentary = levelFrom(object.value(QStringLiteral("max_momentary_lufs")));
    values.maxShortTerm = levelFrom(object.value(QStringLiteral("max_short_term_lufs")));
    return values;
}
