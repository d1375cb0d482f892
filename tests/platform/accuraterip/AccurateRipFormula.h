#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

// The published AccurateRip formulas written out plainly, apart from the
// program's own code, so tests can tell whether it got them right.
namespace AccurateRipFormula {

struct Crcs {
    quint32 v1 = 0;
    quint32 v2 = 0;
};

// pcm: the whole track, 16-bit little-endian stereo.
inline Crcs trackCrcs(const QByteArray& pcm, bool first, bool last)
{
    const quint64 samples = quint64(pcm.size() / 4);
    Crcs crcs;
    for (quint64 position = 1; position <= samples; ++position) {
        if (first && position < 5 * 588)
            continue;
        if (last && position > samples - 5 * 588)
            continue;
        const quint64 sample = qFromLittleEndian<quint32>(pcm.constData() + (position - 1) * 4);
        const quint64 product = sample * position;
        crcs.v1 += quint32(product);
        crcs.v2 += quint32(product) + quint32(product >> 32);
    }
    return crcs;
}

// A disc of audio tracks whose lengths in frames are given, starting at
// frame 0 (150 with the lead-in).
struct Disc {
    int tracks = 0;
    quint32 id1 = 0, id2 = 0, id3 = 0;
    QString path; // below the server's base address
};

inline Disc disc(const QList<int>& lengths)
{
    Disc d;
    d.tracks = int(lengths.size());
    quint32 offset = 0, digits = 0;
    for (int n = 0; n < lengths.size(); ++n) {
        d.id1 += offset;
        d.id2 += (offset ? offset : 1) * quint32(n + 1);
        for (quint32 seconds = (offset + 150) / 75; seconds; seconds /= 10)
            digits += seconds % 10;
        offset += quint32(lengths[n]);
    }
    d.id1 += offset;
    d.id2 += offset * quint32(d.tracks + 1);
    d.id3 = (digits % 255) << 24 | ((offset + 150) / 75 - 150 / 75) << 8 | quint32(d.tracks);
    d.path = QString::asprintf("%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin", d.id1 & 15, d.id1 >> 4 & 15, d.id1 >> 8 & 15,
                               d.tracks, d.id1, d.id2, d.id3);
    return d;
}

// One pressing of a record: a confidence and a CRC per track.
inline QByteArray pressing(const Disc& d, const QList<QPair<int, quint32>>& tracks)
{
    QByteArray bytes(1, char(d.tracks));
    auto put = [&bytes](quint32 value) {
        char word[4];
        qToLittleEndian(value, word);
        bytes.append(word, 4);
    };
    put(d.id1);
    put(d.id2);
    put(d.id3);
    for (const auto& [confidence, crc] : tracks) {
        bytes.append(char(confidence));
        put(crc);
        put(0); // the CRC of frame 450, which verification does not use
    }
    return bytes;
}

} // namespace AccurateRipFormula
