#include "tests/support/JsonShape.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

namespace {
const QStringList kCartKeys{"cart", "number", "meant_cart"};
const QStringList kSecondsKeys{"length", "seconds", "audio_length", "intro_start", "intro_end", "extro"};

QString valueProblem(const QString& key, const QJsonValue& value);

QString objectProblem(const QJsonObject& object)
{
    static const QRegularExpression snake(QStringLiteral("^[a-z][a-z0-9]*(_[a-z0-9]+)*$"));
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!snake.match(it.key()).hasMatch())
            return QStringLiteral("key '%1' is not snake_case").arg(it.key());
        if (const QString why = valueProblem(it.key(), it.value()); !why.isEmpty())
            return why;
    }
    return {};
}

QString valueProblem(const QString& key, const QJsonValue& value)
{
    if (kCartKeys.contains(key) && !value.isDouble() && !value.isNull())
        return QStringLiteral("'%1' is not a number").arg(key);
    if (kSecondsKeys.contains(key) && !value.isNull()
        && (!value.isDouble() || std::abs(value.toDouble() * 1000 - std::round(value.toDouble() * 1000)) > 1e-6))
        return QStringLiteral("'%1' is not seconds to the millisecond").arg(key);
    if (value.isObject())
        return objectProblem(value.toObject());
    if (value.isArray())
        for (const QJsonValue element : value.toArray())
            if (const QString why = valueProblem(key, element); !why.isEmpty())
                return why;
    return {};
}
} // namespace

QString JsonShape::problem(const QByteArray& output)
{
    if (!output.endsWith('\n'))
        return QStringLiteral("no new line at the end");
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(output, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not one JSON document: ") + error.errorString();
    return document.isObject() ? objectProblem(document.object()) : valueProblem(QString(), document.array());
}
