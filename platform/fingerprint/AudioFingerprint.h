#pragma once
#include <QByteArray>
#include <QtGlobal>
#include <optional>
#include <vector>

// What a piece of audio sounds like, as the fingerprinter sees it: one 32-bit
// item for every itemSeconds() of audio, each bit a coarse feature of the
// chroma around that moment, so similar audio gives items a few bits apart.
// seconds is the length of the audio that was fingerprinted.
struct AudioFingerprint {
    std::vector<quint32> items;
    double seconds = 0;

    // The time from one item to the next.
    static double itemSeconds();
    // The items packed for storage (a few bits for most items, as items
    // follow each other closely); the length is kept beside them.
    QByteArray encoded() const;
    // Empty when the bytes are not a packed fingerprint.
    static std::optional<AudioFingerprint> fromEncoded(const QByteArray& bytes, double seconds);
};
