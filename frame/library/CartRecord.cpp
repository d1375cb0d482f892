#include "frame/library/CartRecord.h"

#include "frame/library/CartNumbers.h"
#include "frame/library/TimeTools.h"
#include <QRegularExpression>

QJsonObject CartRecord::toJson() const
{
    QJsonObject fields{
        {QStringLiteral("number"), CartNumbers::json(Number)},
        {QStringLiteral("title"), Title},
        {QStringLiteral("artist"), m_artist},
        {QStringLiteral("description"), m_description},
        {QStringLiteral("intro_start"), TimeTools::RoundToMilliseconds(IntroStart)},
        {QStringLiteral("intro_end"), TimeTools::RoundToMilliseconds(IntroEnd)},
        {QStringLiteral("extro"), TimeTools::RoundToMilliseconds(Extro)},
        {QStringLiteral("length"), TimeTools::RoundToMilliseconds(Length)},
        {QStringLiteral("audio_length"), TimeTools::RoundToMilliseconds(AudioLength)},
        {QStringLiteral("audio_file"), AudioFile},
        {QStringLiteral("linked"), Linked},
        {QStringLiteral("isrc"), Isrc},
        {QStringLiteral("mcn"), Mcn},
        {QStringLiteral("loudness"), Loudness ? QJsonValue(Loudness->toJson()) : QJsonValue(QJsonValue::Null)},
    };
    const QJsonObject metadata = Metadata.toJson();
    for (auto it = metadata.begin(); it != metadata.end(); ++it)
        fields.insert(it.key(), it.value());
    return fields;
}

QString CartRecord::isrcFrom(const QString& text)
{
    static const QRegularExpression isrc(QStringLiteral("^[A-Z]{2}[A-Z0-9]{3}[0-9]{2}[0-9]{5}$"));
    const QString plain = text.trimmed().remove(QLatin1Char('-')).toUpper();
    return isrc.match(plain).hasMatch() ? plain : QString();
}

QString CartRecord::mcnFrom(const QString& text)
{
    static const QRegularExpression mcn(QStringLiteral("^[0-9]{13}$"));
    const QString plain = text.trimmed();
    return mcn.match(plain).hasMatch() && plain != QStringLiteral("0000000000000") ? plain : QString();
}
