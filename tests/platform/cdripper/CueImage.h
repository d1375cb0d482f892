#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// Writes a disc image as a CUE sheet and one BIN file of raw 2352-byte
// sectors: audio tracks hold 16-bit little-endian stereo PCM, data tracks a
// fill pattern. A tone track's samples differ from their neighbours and from
// the other tracks', so a rip that drops, repeats, reorders or swaps anything
// cannot come out equal to trackBytes(). Noise and a full-scale square wave
// are audio whose byte order cannot be told from its look.
class CueImage
{
public:
    enum class Audio { Tone, Noise, Square };
    struct Track {
        int sectors = 0;
        bool audio = true;
        Audio content = Audio::Tone;
        // The track's CD-Text and ISRC lines; none where empty.
        QString title{};
        QString performer{};
        QString isrc{};
    };
    static constexpr int kSectorBytes = 2352;

    CueImage(const QString& folder, const QString& name, const QList<Track>& tracks);

    // The disc's CD-Text and CATALOG (MCN) lines; none where empty.
    QString title;
    QString performer;
    QString catalog;

    bool write() const;
    QString cuePath() const;
    QString binPath() const;
    // The bytes of track n (1-based) as they stand in the BIN file.
    QByteArray trackBytes(int track) const;

private:
    QString m_base;
    QList<Track> m_tracks;
};
