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

    // At least one whole sample frame of audio.
    bool holdsAudio() const;

    static std::optional<WaveFileInfo> read(QIODevice& device);
    // None, with the reason a person can act on in `why`, for a missing file,
    // a folder, an unreadable file, a file that is not a WAV and a WAV that
    // holds less than one sample frame.
    static std::optional<WaveFileInfo> readFile(const QString& path, QString* why = nullptr);
};
