#include "frame/library/CartMetadata.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>

namespace {
struct TextField {
    const char* key;
    QString CartMetadata::*member;
};

const TextField kTextFields[] = {
    {"category", &CartMetadata::category},   {"classification", &CartMetadata::classification},
    {"client_id", &CartMetadata::clientId},  {"cut_id", &CartMetadata::cutId},
    {"out_cue", &CartMetadata::outCue},      {"user_def", &CartMetadata::userDef},
    {"composer", &CartMetadata::composer},   {"publisher", &CartMetadata::publisher},
    {"label", &CartMetadata::label},         {"url", &CartMetadata::url},
    {"tag_text", &CartMetadata::tagText},    {"producer_app_id", &CartMetadata::producerAppId},
    {"producer_app_version", &CartMetadata::producerAppVersion},
};

// Constant from the start: other files' statics ask for columns() while
// they are set up.
constexpr QLatin1String kStartAir("start_air");
constexpr QLatin1String kEndAir("end_air");
constexpr QLatin1String kYear("year");
constexpr QLatin1String kPostTimers("post_timers");
constexpr QLatin1String kLevelReference("level_reference");

bool anyTimerUsed(const std::array<CartMetadata::PostTimer, CartMetadata::PostTimerCount>& timers)
{
    return std::any_of(timers.cbegin(), timers.cend(), [](const auto& t) { return t != CartMetadata::PostTimer{}; });
}

// All eight in their places when one is used, so a file written from them
// has each timer where the imported one had it; else none.
QJsonArray timersJson(const std::array<CartMetadata::PostTimer, CartMetadata::PostTimerCount>& timers)
{
    QJsonArray list;
    if (anyTimerUsed(timers))
        for (const auto& timer : timers)
            list.append(QJsonObject{{QStringLiteral("usage"), timer.usage}, {QStringLiteral("value"), timer.value}});
    return list;
}

void readTimers(const QJsonArray& list, std::array<CartMetadata::PostTimer, CartMetadata::PostTimerCount>& timers)
{
    for (int i = 0; i < CartMetadata::PostTimerCount && i < list.size(); ++i) {
        const QJsonObject timer = list.at(i).toObject();
        timers[i].usage = timer.value(QStringLiteral("usage")).toString().left(4);
        timers[i].value = static_cast<qint32>(timer.value(QStringLiteral("value")).toDouble(-1));
    }
}

// The store's text columns take no NULL (nor, on PostgreSQL, a NUL).
QString storedText(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : QString(text).remove(QChar(0));
}

QDateTime airTime(const QJsonValue& value, bool endOfDay)
{
    return CartMetadata::airTimeFrom(value.toString(), endOfDay).value_or(QDateTime());
}
} // namespace

QJsonObject CartMetadata::toJson() const
{
    QJsonObject fields{{kStartAir, airTimeText(startAir)}, {kEndAir, airTimeText(endAir)}, {kYear, year},
                       {kPostTimers, timersJson(postTimers)}, {kLevelReference, levelReference}};
    for (const TextField& field : kTextFields)
        fields.insert(QLatin1String(field.key), this->*field.member);
    return fields;
}

CartMetadata CartMetadata::fromJson(const QJsonObject& fields)
{
    CartMetadata metadata;
    metadata.startAir = airTime(fields.value(kStartAir), false);
    metadata.endAir = airTime(fields.value(kEndAir), true);
    metadata.year = yearFrom(QString::number(fields.value(kYear).toInt()));
    readTimers(fields.value(kPostTimers).toArray(), metadata.postTimers);
    metadata.levelReference = fields.value(kLevelReference).toInt();
    for (const TextField& field : kTextFields)
        metadata.*field.member = fields.value(QLatin1String(field.key)).toString();
    return metadata;
}

const QStringList& CartMetadata::columns()
{
    static const QStringList names = [] {
        QStringList list{kStartAir, kEndAir, kYear, kPostTimers, kLevelReference};
        for (const TextField& field : kTextFields)
            list << QLatin1String(field.key);
        return list;
    }();
    return names;
}

QVariantList CartMetadata::values() const
{
    QVariantList list{storedText(airTimeText(startAir)), storedText(airTimeText(endAir)), year,
                      QString::fromUtf8(QJsonDocument(timersJson(postTimers)).toJson(QJsonDocument::Compact)),
                      levelReference};
    for (const TextField& field : kTextFields)
        list << storedText(this->*field.member);
    return list;
}

CartMetadata CartMetadata::fromValues(const QVariantList& values)
{
    QJsonObject fields;
    for (int i = 0; i < columns().size() && i < values.size(); ++i)
        fields.insert(columns().at(i), QJsonValue::fromVariant(values.at(i)));
    fields.insert(kPostTimers, QJsonDocument::fromJson(values.value(3).toString().toUtf8()).array());
    return fromJson(fields);
}

void CartMetadata::fillFrom(const CartMetadata& other)
{
    if (!startAir.isValid())
        startAir = other.startAir;
    if (!endAir.isValid())
        endAir = other.endAir;
    if (year == 0)
        year = other.year;
    if (!anyTimerUsed(postTimers))
        postTimers = other.postTimers;
    if (levelReference == 0)
        levelReference = other.levelReference;
    for (const TextField& field : kTextFields)
        if ((this->*field.member).isEmpty())
            this->*field.member = other.*field.member;
}

std::optional<QDateTime> CartMetadata::airTimeFrom(const QString& text, bool endOfDay)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4})[-/](\\d{2})[-/](\\d{2})(?:[T ](\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QDateTime();
    const QRegularExpressionMatch match = pattern.match(trimmed);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    QTime time = endOfDay ? QTime(23, 59, 59) : QTime(0, 0);
    if (!match.captured(4).isEmpty())
        time = QTime(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

QString CartMetadata::airTimeText(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : QString();
}

int CartMetadata::yearFrom(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^\\s*(\\d{4})"));
    const QRegularExpressionMatch match = digits.match(text);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}
