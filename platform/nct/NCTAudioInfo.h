#pragma once
#include <QMap>
#include <QString>
#include <memory>

namespace nct {
class MediaInput;
}

// What the audio component knows about one file without playing it: its
// classification, format, exact length and tags. Every call reports failure
// by its result; the description of the last failure is in lastError().
class NCTAudioInfo
{
public:
    // The component's own classification of a file (FileType).
    enum FileTypeCode : qint16 {
        FileTypeUnknown = 0,
        FileTypeWave = 1,         // RIFF WAVE, any coding inside
        FileTypeMpeg = 2,         // an MPEG audio stream, any layer
        FileTypeWindowsMedia = 3, // an ASF file with Windows Media Audio
        FileTypeOgg = 5,          // Ogg Vorbis
        FileTypeOther = 6,        // a media file of some other kind
    };

    NCTAudioInfo();
    ~NCTAudioInfo();
    NCTAudioInfo(const NCTAudioInfo&) = delete;
    NCTAudioInfo& operator=(const NCTAudioInfo&) = delete;

    // With exact lengths on (the default is off), Samples counts what the
    // decoder delivers instead of trusting the file's headers, which costs a
    // pass over the file.
    void setExactLength(bool exact) { m_exactLength = exact; }
    bool exactLength() const { return m_exactLength; }

    bool OpenFile(const QString& fileName);
    void CloseFile();
    bool isOpen() const;
    QString lastError() const { return m_lastError; }

    qint16 FileType() const;
    qint32 SampleRate() const;
    qint32 Channels() const;
    // The WAVE format tag (the sub-format's tag for WAVE_FORMAT_EXTENSIBLE).
    qint32 FormatTag() const;
    // Average coded bit rate in bit/s.
    qint32 BitRate() const;
    // Bits per coded sample as the file's header gives them (a WAV's
    // wBitsPerSample); 0 when the container does not say.
    qint32 BitsPerSample() const;
    // Length in frames (samples per channel); 0 when unknown.
    qint64 Samples() const;
    // The codec-specific bytes after a WAVE format header, as hex text.
    QString CodecData() const;

    QString TitleTag() const;
    QString ArtistTag() const;
    QString AlbumTag() const;
    // Any tag under the tag library's common name ("ISRC", "COMPOSER",
    // "LABEL", "PUBLISHER", "ORGANIZATION", "DATE"); empty when absent.
    QString TagProperty(const QString& name) const;
    // Writes this file's title, artist and album into another audio file.
    bool WriteTags(const QString& destinationFile);

    // Tests of a file's content; the name only says which file to look at.
    bool IsWave(const QString& fileName);
    bool IsMpegLayer2(const QString& fileName);
    bool IsMpegLayer3(const QString& fileName);
    bool IsMpegOther(const QString& fileName); // MPEG Layer 1
    bool IsOgg(const QString& fileName);
    bool IsWma(const QString& fileName);
    bool IsFlac(const QString& fileName);
    bool IsAiff(const QString& fileName); // any PCM in an AIFF or AIFF-C file
    bool IsOpus(const QString& fileName);
    bool IsAac(const QString& fileName);  // in MP4 (M4A) or as an ADTS stream

private:
    struct Kind;
    Kind kindOf(const QString& fileName);
    void loadTags() const;

    bool m_exactLength = false;
    QString m_fileName;
    QString m_lastError;
    std::unique_ptr<nct::MediaInput> m_input;
    mutable qint64 m_samples = -1;
    mutable qint64 m_bitRate = -1;
    mutable bool m_tagsLoaded = false;
    mutable QString m_title, m_artist, m_album;
    mutable QMap<QString, QString> m_properties;
};
