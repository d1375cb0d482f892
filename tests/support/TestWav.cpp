#include "tests/support/TestWav.h"

#include <QFile>
#include <QtEndian>
#include <cmath>

namespace {
void put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}
void put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}
} // namespace

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
    QByteArray out("RIFF");
    put32(out, static_cast<quint32>(36 + data.size()));
    out.append("WAVEfmt ");
    put32(out, 16);
    put16(out, 1);
    put16(out, static_cast<quint16>(channels));
    put32(out, static_cast<quint32>(sampleRate));
    put32(out, static_cast<quint32>(sampleRate * channels * bytesPerSample));
    put16(out, static_cast<quint16>(channels * bytesPerSample));
    put16(out, static_cast<quint16>(bitsPerSample));
    out.append("data");
    put32(out, static_cast<quint32>(data.size()));
    out.append(data);
    if (data.size() % 2)
        out.append('\0');
    return out;
}

bool TestWav::write(const QString& path) const
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes()) >= 0;
}
