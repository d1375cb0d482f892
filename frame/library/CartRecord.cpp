#include "frame/library/CartRecord.h"

QJsonObject CartRecord::toJson() const
{
    return QJsonObject{
        {QStringLiteral("number"), Number},
        {QStringLiteral("title"), Title},
        {QStringLiteral("artist"), m_artist},
        {QStringLiteral("description"), m_description},
        {QStringLiteral("intro_start"), IntroStart},
        {QStringLiteral("intro_end"), IntroEnd},
        {QStringLiteral("extro"), Extro},
        {QStringLiteral("length"), Length},
        {QStringLiteral("audio_length"), AudioLength},
        {QStringLiteral("audio_file"), AudioFile},
        {QStringLiteral("linked"), Linked},
    };
}
