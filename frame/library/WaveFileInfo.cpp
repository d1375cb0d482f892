#include "frame/library/WaveFileInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {
quint32 le32(const char* p) { return qFromLittleEndian<quint32>(p); }
quint16 le16(const char* p) { return qFromLittleEndian<quint16>(p); }
} // namespace

double WaveFileInfo::seconds() const
{
    if (factSamples >= 0 && formatTag != 1 && sampleRate > 0)
        return static_cast<double>(factSamples) / sampleRate;
    if (formatTag == 1 && blockAlign > 0 && sampleRate > 0)
        return static_cast<double>(dataBytes / blockAlign) / sampleRate;
    return bytesPerSecond > 0 ? static_cast<double>(dataBytes) / bytesPerSecond : 0.0;
}

std::optional<WaveFileInfo> WaveFileInfo::read(QIODevice& device)
{
    if (device.isSequential())
        return std::nullopt;
    const qint64 fileSize = device.size();
    char header[12];
    if (!device.seek(0) || device.read(header, 12) != 12 || memcmp(header, "RIFF", 4) != 0 || memcmp(header + 8, "WAVE", 4) != 0)
        return std::nullopt;

    WaveFileInfo info;
    bool haveFormat = false;
    bool haveData = false;
    qint64 pos = 12;
    while (pos + 8 <= fileSize && !(haveFormat && haveData && info.factSamples >= 0)) {
        char chunk[8];
        if (!device.seek(pos) || device.read(chunk, 8) != 8)
            break;
        const qint64 declared = le32(chunk + 4);
        const qint64 available = fileSize - (pos + 8);
        const qint64 size = std::min(declared, available);
        if (memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            char fmt[16];
            if (device.read(fmt, 16) != 16)
                return std::nullopt;
            info.formatTag = le16(fmt);
            info.channels = le16(fmt + 2);
            info.sampleRate = le32(fmt + 4);
            info.bytesPerSecond = le32(fmt + 8);
            info.blockAlign = le16(fmt + 12);
            info.bitsPerSample = le16(fmt + 14);
            if (info.formatTag == 0xFFFE && size >= 26) { // extensible: the real tag is in the sub-format
                char extension[10];
                if (device.read(extension, 10) == 10)
                    info.formatTag = le16(extension + 8);
            }
            haveFormat = true;
        } else if (memcmp(chunk, "fact", 4) == 0 && size >= 4) {
            char samples[4];
            if (device.read(samples, 4) == 4)
                info.factSamples = le32(samples);
        } else if (memcmp(chunk, "data", 4) == 0) {
            info.dataOffset = pos + 8;
            info.dataBytes = size;
            haveData = true;
        }
        if (!haveData || memcmp(chunk, "data", 4) != 0 || declared <= available)
            pos += 8 + size + (size & 1);
        else
            break; // a data chunk running past the end: nothing can follow it
        if (haveFormat && haveData && info.formatTag == 1)
            break;
    }
    if (!haveFormat || !haveData || info.channels == 0 || info.sampleRate == 0 || info.blockAlign == 0)
        return std::nullopt;
    return info;
}

bool WaveFileInfo::holdsAudio() const
{
    if (dataBytes < blockAlign)
        return false;
    return formatTag == 1 || factSamples != 0;
}

std::optional<WaveFileInfo> WaveFileInfo::readFile(const QString& path, QString* why)
{
    auto refuse = [why](const QString& reason) -> std::optional<WaveFileInfo> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return refuse(QStringLiteral("'%1' does not exist").arg(path));
    if (info.isDir())
        return refuse(QStringLiteral("'%1' is a folder, not a WAV file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("Cannot read '%1': %2").arg(path, file.errorString()));
    auto wave = read(file);
    if (!wave)
        return refuse(QStringLiteral("'%1' is not a WAV file the Cartvault can take").arg(path));
    if (!wave->holdsAudio())
        return refuse(QStringLiteral("'%1' holds no audio (less than one sample frame)").arg(path));
    return wave;
}
