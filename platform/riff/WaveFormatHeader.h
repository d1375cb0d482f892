#pragma once
#include <QByteArray>
#include <QtGlobal>

// The fixed part of a WAVE format as it sits at the start of a "fmt " chunk
// (little-endian). Formats with codec data carry it after these 18 bytes;
// plain PCM chunks often stop after 16, without extraSize.
struct WaveFormatHeader {
    static constexpr int Size = 18;
    static constexpr int PcmSize = 16; // a PCM format on disk has no cbSize

    quint16 wFormatTag = 0;
    quint16 nChannels = 0;
    quint32 nSamplesPerSec = 0;
    quint32 nAvgBytesPerSec = 0;
    quint16 nBlockAlign = 0;
    quint16 wBitsPerSample = 0;
    quint16 cbSize = 0;

    QByteArray toBytes() const;
    // Reads the leading 18 bytes; fields beyond the end of `bytes` keep the
    // values of `base`, so a 16-byte PCM chunk leaves cbSize as it was.
    static WaveFormatHeader fromBytes(const QByteArray& bytes, const WaveFormatHeader& base);
    static WaveFormatHeader fromBytes(const QByteArray& bytes);

    bool operator==(const WaveFormatHeader& other) const = default;
};
