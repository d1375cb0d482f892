#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// Writes a disc image as a CUE sheet and one BIN file of raw 2352-byte
// sectors: audio tracks hold 16-bit little-endian stereo PCM, data tracks a
// fill pattern. Every audio sample differs from its neighbours and from the
// other tracks', so a rip that drops, repeats, reorders or swaps anything
// cannot come out equal to trackBytes().
class CueImage
{
public:
    struct Track {
        int sectors = 0;
        bool audio = true;
    };
    static constexpr int kSectorBytes = 2352;

    CueImage(const QString& folder, const QString& name, const QList<Track>& tracks);

    bool write() const;
    QString cuePath() const;
    QString binPath() const;
    // The bytes of track n (1-based) as they stand in the BIN file.
    QByteArray trackBytes(int track) const;

private:
    QString m_base;
    QList<Track> m_tracks;
};
