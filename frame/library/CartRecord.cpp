#include "frame/library/CartRecord.h"

#include "frame/library/CartNumbers.h"
#include "frame/library/TimeTools.h"

QJsonObject CartRecord::toJson() const
{
    return QJsonObject{
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
    };
}
