#include "CueImage.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>
#include <numbers>
#include <random>

namespace {
QString msf(qint64 sectors)
{
    return QStringLiteral("%1:%2:%3")
        .arg(sectors / 75 / 60, 2, 10, QLatin1Char('0'))
        .arg(sectors / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sectors % 75, 2, 10, QLatin1Char('0'));
}

// Left: a tone; right: a pseudo-random sequence seeded by the track.
void writeTone(int number, QByteArray& bytes)
{
    quint32 noise = 0x9E3779B9u * quint32(number);
    char* out = bytes.data();
    for (qsizetype frame = 0; frame < bytes.size() / 4; ++frame) {
        noise = noise * 1664525u + 1013904223u;
        const double left = 12000 * std::sin(2 * std::numbers::pi * 220.0 * number * double(frame) / 44100);
        qToLittleEndian<qint16>(qint16(left), out + frame * 4);
        qToLittleEndian<qint16>(qint16(noise >> 16), out + frame * 4 + 2);
    }
}

// Every byte random, both channels.
void writeNoise(int number, QByteArray& bytes)
{
    std::mt19937 random{quint32(number)};
    for (char& byte : bytes)
        byte = char(random());
}

// 3 kHz at full scale on both channels.
void writeSquare(QByteArray& bytes)
{
    char* out = bytes.data();
    for (qsizetype frame = 0; frame < bytes.size() / 4; ++frame) {
        const bool high = std::sin(2 * std::numbers::pi * 3000.0 * double(frame) / 44100) >= 0;
        const qint16 sample = high ? qint16(32767) : qint16(-32768);
        qToLittleEndian<qint16>(sample, out + frame * 4);
        qToLittleEndian<qint16>(sample, out + frame * 4 + 2);
    }
}

// One CUE line with a quoted value, or nothing for an empty value.
QString cueLine(const char* indent, const char* keyword, const QString& value, bool quoted = true)
{
    if (value.isEmpty())
        return {};
    return QStringLiteral("%1%2 %3\n").arg(QLatin1String(indent), QLatin1String(keyword),
                                           quoted ? QLatin1Char('"') + value + QLatin1Char('"') : value);
}

QByteArray trackContent(int number, const CueImage::Track& track)
{
    QByteArray bytes(qsizetype(track.sectors) * CueImage::kSectorBytes, char(0x5A ^ number));
    if (!track.audio)
        return bytes;
    switch (track.content) {
    case CueImage::Audio::Tone:
        writeTone(number, bytes);
        break;
    case CueImage::Audio::Noise:
        writeNoise(number, bytes);
        break;
    case CueImage::Audio::Square:
        writeSquare(bytes);
        break;
    }
    return bytes;
}
} // namespace

CueImage::CueImage(const QString& folder, const QString& name, const QList<Track>& tracks)
    : m_base(folder + QLatin1Char('/') + name), m_tracks(tracks)
{
}

QString CueImage::cuePath() const
{
    return m_base + QStringLiteral(".cue");
}

QString CueImage::binPath() const
{
    return m_base + QStringLiteral(".bin");
}

bool CueImage::write() const
{
    QFile bin(binPath());
    QFile cue(cuePath());
    if (!bin.open(QIODevice::WriteOnly) || !cue.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QString sheet = cueLine("", "CATALOG", catalog, false) + cueLine("", "PERFORMER", performer) + cueLine("", "TITLE", title);
    sheet += QStringLiteral("FILE \"%1\" BINARY\n").arg(QFileInfo(binPath()).fileName());
    qint64 start = 0;
    for (int n = 1; n <= m_tracks.size(); ++n) {
        const Track& track = m_tracks[n - 1];
        sheet += QStringLiteral("  TRACK %1 %2\n")
                     .arg(n, 2, 10, QLatin1Char('0'))
                     .arg(track.audio ? QStringLiteral("AUDIO") : QStringLiteral("MODE1/2352"));
        sheet += cueLine("    ", "TITLE", track.title) + cueLine("    ", "PERFORMER", track.performer) +
                 cueLine("    ", "ISRC", track.isrc, false);
        sheet += QStringLiteral("    INDEX 01 %1\n").arg(msf(start));
        if (bin.write(trackContent(n, track)) < 0)
            return false;
        start += track.sectors;
    }
    return cue.write(sheet.toUtf8()) > 0 && bin.flush() && cue.flush();
}

QByteArray CueImage::trackBytes(int track) const
{
    qint64 offset = 0;
    for (int n = 1; n < track; ++n)
        offset += qint64(m_tracks[n - 1].sectors) * kSectorBytes;
    QFile bin(binPath());
    if (!bin.open(QIODevice::ReadOnly) || !bin.seek(offset))
        return {};
    return bin.read(qint64(m_tracks[track - 1].sectors) * kSectorBytes);
}
