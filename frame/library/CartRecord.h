#pragma once
#include "frame/library/CartMetadata.h"
#include "frame/library/LoudnessValues.h"

#include <QJsonObject>
#include <QString>
#include <optional>

// What the store keeps for one cart. Times are in seconds. A cart without
// audio has an AudioLength below 0.
class CartRecord
{
public:
    QString Number;
    float AudioLength = -1; // length of the audio the cart holds
    float Length = 0;       // playing length; bounds the timing points
    QString Title;
    float IntroStart = 0;
    float IntroEnd = 0;
    float Extro = 0;
    QString AudioFile; // the store's own file, or the original for a linked cart
    bool Linked = false;
    // The recording's ISRC as 12 characters (CC XXX YY NNNNN, no hyphens)
    // and the catalogue number (MCN, 13 digits) of the disc it came from;
    // empty when unknown. Both belong to the audio and go with it.
    QString Isrc;
    QString Mcn;
    // Measured as the audio was imported; empty for audio never measured.
    std::optional<LoudnessValues> Loudness;
    // Air dates, scheduler codes, rights holders and post timers; these go
    // with the audio too.
    CartMetadata Metadata;

    // "GB-AAA-99-00001" or "gbaaa9900001" -> "GBAAA9900001"; empty when
    // the text is not an ISRC.
    static QString isrcFrom(const QString& text);
    // 13 digits; empty for anything else, and for the all-zero number
    // drives report for a disc without one.
    static QString mcnFrom(const QString& text);

    // One artist and one description per cart; other indices read empty and
    // are not kept.
    QString Artist(int index = 1) const { return index == 1 ? m_artist : QString(); }
    void setArtist(const QString& artist, int index = 1)
    {
        if (index == 1)
            m_artist = artist;
    }
    QString Description(int index = 1) const { return index == 1 ? m_description : QString(); }
    void setDescription(const QString& description, int index = 1)
    {
        if (index == 1)
            m_description = description;
    }

    bool holdsAudio() const { return AudioLength >= 0; }

    // The cart's fields under the names tools and packed carts use:
    // number, title, artist, description, intro_start, intro_end, extro,
    // length, audio_length, audio_file, linked, isrc, mcn, loudness (an
    // object, null when never measured), and the metadata's own
    // (CartMetadata::toJson).
    QJsonObject toJson() const;

private:
    QString m_artist;
    QString m_description;
};
