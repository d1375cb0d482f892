#pragma once
#include <QJsonObject>
#include <QJsonValue>
#include <optional>

// What a loudness measurement (EBU R128) says about a piece of audio.
// Loudness in LUFS, range in LU, true peak in dBTP. Audio too quiet to pass
// the absolute gate (silence) has no integrated loudness: it stays empty,
// and so does the range then; the peaks of silence are -inf and read empty.
struct LoudnessValues {
    std::optional<double> integrated;
    std::optional<double> range;
    std::optional<double> truePeak;
    std::optional<double> maxMomentary;
    std::optional<double> maxShortTerm;

    // The same audio after a fixed gain: every level moves by the gain,
    // the range stays.
    LoudnessValues shiftedBy(double gainDb) const;
    // integrated_lufs, range_lu, true_peak_dbtp, max_momentary_lufs,
    // max_short_term_lufs; null where a value is empty.
    QJsonObject toJson() const;
    // From what toJson wrote (a packed cart's fields): none unless it is an
    // object; a value that is not a plausible level reads empty.
    static std::optional<LoudnessValues> fromJson(const QJsonValue& json);
    bool operator==(const LoudnessValues&) const = default;
};
