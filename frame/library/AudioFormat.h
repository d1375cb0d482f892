#pragma once
#include <QString>

// Format type codes: single bits, shared by the probe, the copy job and the
// wizard.
enum AudioFormatType : qint32 {
    aftUnknown = 1,
    aftWAV = 2,
    aftMP2 = 4,
    aftWMA = 8,
    aftOgg = 16,
    aftMP3 = 32,
    // Codings the import reads but never writes: always converted.
    aftFLAC = 64,
    aftAIFF = 128,
    aftOpus = 256,
    aftAAC = 512,
};

// An audio format: what the store's default format, a chosen import format
// and a probed file are described with. Plain value type; copying the
// settings text of one format into another copies the whole format.
class AudioFormat
{
public:
    qint32 FormatType = aftWAV;
    qint32 SampleRate = 48000;
    qint32 Channels = 2;
    qint32 BitRate = 0;        // kbit/s, compressed types
    qint32 BitsPerSample = 16; // PCM
    qint32 FormatTag = 1;      // WAVE format tag: 1 PCM, 17 IMA ADPCM
    qint32 Quality = 5;        // Ogg Vorbis quality, 0..10
    QString CodecData;

    // e.g. "PCM 16 bit 48 kHz Stereo", "MPEG Layer 3 128 kbit/s 44.1 kHz Stereo".
    QString Description() const;

    // The whole format as one name=value text, e.g.
    // "FormatType=2 SampleRate=48000 Channels=2 FormatTag=1 BitsPerSample=16".
    QString SettingsText() const;
    // Reads a settings text: members it names are set, the others return to
    // their defaults. Returns false (format unchanged) when the text names a
    // member with a value that is not a number, or an unknown format type.
    bool setSettingsText(const QString& text);

    // Asks the person to choose a format (through the library's dialogs);
    // false = cancelled, format unchanged. allowedTypes is a mask of format
    // types to offer (aftWAV alone for a destination that must be a WAV
    // file); options are kept for callers that pass display flags and change
    // nothing here.
    static constexpr qint32 kAllTypes = aftWAV | aftMP2 | aftWMA | aftOgg | aftMP3;
    bool ShowFormatDialog(qint32 allowedTypes = kAllTypes, qint32 options = 0, const QString& title = QString());

    bool operator==(const AudioFormat& other) const = default;
    // Whether audio in this format can be stored as it is where `target` is
    // asked for: same type, tag, rate and channels, and for PCM the same
    // sample size (a compressed tag fixes its own).
    bool storesAs(const AudioFormat& target) const;

    static QString typeName(qint32 formatType);
    static QString rateText(qint32 sampleRate);
    static QString channelsText(qint32 channels);
};
