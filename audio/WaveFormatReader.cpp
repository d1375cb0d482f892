#include "audio/WaveFormatReader.h"

#include "frame/library/FileTools.h"
#include "platform/riff/RiffFile.h"

#include <limits>

namespace {
constexpr qint32 ReadFailed = -1;

// Reads the "fmt " chunk, the file positioned inside it.
qint32 readFormat(RiffFile& file, const RiffChunk& fmt, WaveFormatHeader& format)
{
    // A size with the top bit set is no length a writer means (read as a
    // signed length it is negative), so the read of it fails.
    if (fmt.size > std::numeric_limits<qint32>::max())
        return ReadFailed;
    QByteArray bytes(std::min<qint64>(fmt.size, WaveFormatHeader::Size), '\0');
    if (file.read(bytes.data(), bytes.size()) != bytes.size())
        return ReadFailed;
    format = WaveFormatHeader::fromBytes(bytes, format);
    return 0;
}

// Size of the "data" chunk as far as the file holds it; 0 without one.
qint64 dataChunkBytes(RiffFile& file, const RiffChunk& riff)
{
    RiffChunk data;
    data.id = RiffFile::fourCC("data");
    if (file.seek(riff.dataOffset + 4) < 0 || file.descend(data, &riff, RiffFile::FindChunk) != RiffFile::NoError)
        return 0;
    // Recordings that were cut short, and writers that could not go back to
    // fill in the size, claim more than there is: the file is what counts.
    const qint64 present = file.bytesPresent(data);
    file.ascend(data);
    return present;
}

qint32 readWave(RiffFile& file, WaveFormatHeader& format, qint64& dataBytes)
{
    if (!file.isOpen() || file.seek(0) != 0)
        return ReadFailed;
    RiffChunk riff;
    riff.formType = RiffFile::fourCC("WAVE");
    int rc = file.descend(riff, nullptr, RiffFile::FindRiff);
    if (rc != RiffFile::NoError)
        return rc;
    RiffChunk fmt;
    fmt.id = RiffFile::fourCC("fmt ");
    rc = file.descend(fmt, &riff, RiffFile::FindChunk);
    if (rc != RiffFile::NoError) {
        file.ascend(riff);
        return rc;
    }
    if (fmt.size == 0) {
        file.ascend(fmt);
        file.ascend(riff);
        return 0;
    }
    const qint32 result = readFormat(file, fmt, format);
    file.ascend(fmt);
    if (result == 0)
        dataBytes = dataChunkBytes(file, riff);
    file.ascend(riff);
    return result;
}

float durationOf(qint32 result, const WaveFormatHeader& format, qint64 dataBytes)
{
    if (result != 0 || format.nAvgBytesPerSec == 0)
        return 0.0f;
    return float(double(dataBytes) / double(format.nAvgBytesPerSec));
}
} // namespace

qint32 ReadWaveFormat(const QString& fileName, WaveFormatHeader& format, qint64& dataBytes)
{
    if (FileTools::GetFileLength(fileName) <= 0)
        return ReadFailed;
    dataBytes = 0;
    RiffFile file;
    if (file.open(fileName, RiffFile::ReadOnly) != RiffFile::NoError)
        return ReadFailed;
    return readWave(file, format, dataBytes);
}

qint32 ReadWaveFormat(QIODevice& device, WaveFormatHeader& format, qint64& dataBytes)
{
    RiffFile file(&device);
    if (file.size() <= 0)
        return ReadFailed;
    dataBytes = 0;
    return readWave(file, format, dataBytes);
}

float GetWaveDuration(const QString& fileName)
{
    WaveFormatHeader format;
    qint64 dataBytes = 0;
    const qint32 result = ReadWaveFormat(fileName, format, dataBytes);
    return durationOf(result, format, dataBytes);
}

float GetWaveDuration(QIODevice& device)
{
    WaveFormatHeader format;
    qint64 dataBytes = 0;
    const qint32 result = ReadWaveFormat(device, format, dataBytes);
    return durationOf(result, format, dataBytes);
}
