#pragma once
#include <QByteArray>
#include <QString>

// Writes small PCM WAV fixtures: a sine tone (or silence with amplitude 0).
// amplitude is the peak as a fraction of full scale.
struct TestWav {
    int sampleRate = 44100;
    int channels = 2;
    int bitsPerSample = 16;
    double seconds = 1.0;
    double frequency = 440.0;
    double amplitude = 0.5;

    QByteArray bytes() const;
    bool write(const QString& path) const;
};
