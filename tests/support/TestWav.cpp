#include "tests/support/TestWav.h"

#include "tests/support/RiffBytes.h"

#include <QFile>
#include <cmath>

QByteArray TestWav::bytes() const
{
    const int bytesPerSample = bitsPerSample / 8;
    const qint64 frames = static_cast<qint64>(std::llround(seconds * sampleRate));
    QByteArray data;
    data.reserve(frames * channels * bytesPerSample);
    for (qint64 i = 0; i < frames; ++i) {
        const double value = amplitude * std::sin(2 * M_PI * frequency * static_cast<double>(i) / sampleRate);
        for (int c = 0; c < channels; ++c) {
            if (bitsPerSample == 8) {
                data.append(static_cast<char>(static_cast<quint8>(std::lround(128 + value * 127))));
            } else {
                const qint64 full = (qint64(1) << (bitsPerSample - 1)) - 1;
                const qint64 sample = std::llround(value * static_cast<double>(full));
                for (int b = 0; b < bytesPerSample; ++b)
                    data.append(static_cast<char>((sample >> (8 * b)) & 0xFF));
            }
        }
    }
    using namespace RiffBytes;
    const auto fmt = pcmFormat(quint16(channels), quint32(sampleRate), quint16(bitsPerSample));
    return riff("WAVE", chunk("fmt ", fmt) + chunk("data", data));
}

bool TestWav::write(const QString& path) const
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes()) >= 0;
}
