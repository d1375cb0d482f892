#pragma once
#include <QString>
#include <optional>

class QIODevice;

// What the store needs to know of a WAV file it takes in: that it is one,
// and how long its audio is. Sizes inside the file are never trusted: a
// chunk that claims more than the file holds is cut to what is there.
struct WaveFileInfo {
    quint16 formatTag = 0;
    quint16 channels = 0;
    quint32 sampleRate = 0;
    quint32 bytesPerSecond = 0;
    quint16 blockAlign = 0;
    quint16 bitsPerSample = 0;
    qint64 dataOffset = 0;
    qint64 dataBytes = 0;
    qint64 factSamples = -1; // from a fact chunk, when the coding needs one

    double seconds() const;

    static std::optional<WaveFileInfo> read(QIODevice& device);
    static std::optional<WaveFileInfo> readFile(const QString& path);
};
