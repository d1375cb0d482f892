#include "LoudnessValues.h"

#include <QJsonValue>

namespace {
std::optional<double> shifted(std::optional<double> level, double gainDb)
{
    if (!level)
        return level;
    return *level + gainDb;
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
