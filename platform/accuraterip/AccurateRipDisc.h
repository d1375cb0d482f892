#pragma once
#include <QList>
#include <QString>

// A disc's key in the AccurateRip database, worked out from its table of
// contents: the sum of the audio tracks' offsets, the sum of each offset
// times its track number, and the disc's CDDB id. The record of the disc
// lives at a path made of the three.
struct AccurateRipDisc {
    int audioTracks = 0;
    quint32 id1 = 0;
    quint32 id2 = 0;
    quint32 id3 = 0;

    // trackStarts: each track's first frame, with the 150-frame lead-in as
    // a CDDB lookup takes them; audio: one flag per track; leadOut: the
    // lead-out's frame, likewise.
    static AccurateRipDisc fromToc(const QList<qint32>& trackStarts, const QList<bool>& audio, qint32 leadOut);

    // "c/b/a/dBAR-nnn-id1-id2-id3.bin", a, b and c the low hex digits of id1.
    QString recordPath() const;
    // The record's address under a server's base address.
    QString recordUrl(const QString& server) const;
};
