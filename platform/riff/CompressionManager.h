#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

// What the compression manager reports about one format tag.
struct FormatTagDetails {
    static constexpr quint32 RecordSize = 152;

    quint32 structSize = RecordSize;
    quint32 formatTagIndex = 0;
    quint32 formatTag = 0;
    quint32 formatSize = 0;  // bytes of a complete format of this tag, codec data included
    quint32 support = 0;     // SupportCodec, SupportConverter
    quint32 standardFormats = 0;
    QString formatTagName;
};

// The format suggestions and format-tag details a station PC's audio
// compression manager offers for the two tags the WAV templates use: PCM
// (tag 1) and IMA ADPCM (tag 17). Every other tag is refused with
// NotPossible, as on a PC without a codec for it.
//
// Formats are byte blocks: the 18-byte WaveFormatHeader followed by the
// codec data (IMA ADPCM: 2 bytes of samples per block).
class CompressionManager
{
public:
    enum FormatTag : quint16 { TagPcm = 1, TagImaAdpcm = 17 };

    // Which fields of the target a suggestion must keep.
    enum SuggestFlag : quint32 {
        SuggestFormatTag = 0x10000,
        SuggestChannels = 0x20000,
        SuggestSampleRate = 0x40000,
        SuggestBitsPerSample = 0x80000,
        SuggestMask = 0xF0000,
    };
    enum DetailsFlag : quint32 { DetailsByIndex = 0, DetailsByFormatTag = 1 };
    enum Support : quint32 { SupportCodec = 0x1, SupportConverter = 0x2 };
    enum Error : int { NoError = 0, InvalidFlag = 10, InvalidParam = 11, NotPossible = 512 };

    // Suggests a format for converting `source` into, filled in `target`,
    // whose first bytes carry the wishes that `flags` names. `targetSize` is
    // the room the caller offers; target grows to it if shorter.
    static int formatSuggest(const QByteArray& source, QByteArray& target, int targetSize, quint32 flags);

    static int formatTagDetails(FormatTagDetails& details, quint32 flags);

    // The IMA ADPCM block layout for a rate and channel count: 256 bytes per
    // channel up to 11.025 kHz, one more 256 for every further 11.025 kHz.
    static quint16 imaBlockAlign(quint32 sampleRate, quint16 channels);
    static quint16 imaSamplesPerBlock(quint16 blockAlign, quint16 channels);
};
