#include "audio/WaveChunkReader.h"

#include "frame/LegacyText.h"
#include "platform/riff/RiffFile.h"

#include <limits>

bool WaveChunkReader::readChunk(RiffFile& file, quint32 chunkId, int fixedSize, QByteArray& fixed, QByteArray& extra)
{
    fixed.clear();
    extra.clear();
    if (file.seek(0) != 0)
        return false;
    RiffChunk riff;
    riff.formType = RiffFile::fourCC("WAVE");
    if (file.descend(riff, nullptr, RiffFile::FindRiff) != RiffFile::NoError)
        return false;
    RiffChunk chunk;
    chunk.id = chunkId;
    if (file.descend(chunk, &riff, RiffFile::FindChunk) != RiffFile::NoError) {
        file.ascend(riff);
        return false;
    }

    // A size with the top bit set is no length a writer means; taken as a
    // signed 32-bit length it is negative and the read of it fails.
    const qint64 size = chunk.size;
    bool read = size > 0 && size <= std::numeric_limits<qint32>::max();
    if (read) {
        const qint64 fixedBytes = std::min<qint64>(fixedSize, size);
        fixed.resize(fixedBytes);
        read = file.read(fixed.data(), fixedBytes) == fixedBytes;
    }
    const qint64 extraBytes = size - fixedSize;
    if (read && extraBytes >= 1) {
        // Only the first MaxExtraBytes are kept, so no more are read: a size
        // of several gigabytes costs nothing.
        extra.resize(std::min<qint64>(extraBytes, MaxExtraBytes));
        const qint64 got = file.read(extra.data(), extra.size());
        extra.resize(std::max<qint64>(got, 0));
    }
    file.ascend(chunk);
    file.ascend(riff);
    if (!read)
        fixed.clear();
    return read;
}

QString WaveChunkReader::fieldText(const QByteArray& layout, int offset, int width)
{
    // UTF-8 may take fewer characters than bytes; the field keeps its width.
    return LegacyText::decode(QByteArrayView(layout).sliced(offset, width)).leftJustified(width, QLatin1Char(' '));
}

QString WaveChunkReader::cleanedFieldText(const QByteArray& layout, int offset, int width)
{
    // Cut before decoding: writers leave whatever was in memory after the
    // NUL, and those bytes would make good UTF-8 look like 1252.
    const qsizetype nul = layout.indexOf('\0', offset);
    const qsizetype length = nul >= 0 && nul < offset + width ? nul - offset : width;
    return LegacyText::decode(QByteArrayView(layout).sliced(offset, length)).leftJustified(width, QLatin1Char(' '));
}

QByteArray WaveChunkReader::fieldBytes(const QString& text, int width)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    QByteArray bytes = text.left(end).toUtf8();
    if (bytes.size() > width) {
        qsizetype cut = width;
        while (cut > 0 && (static_cast<uchar>(bytes.at(cut)) & 0xC0) == 0x80) // not inside a character
            --cut;
        bytes.truncate(cut);
    }
    return bytes.leftJustified(width, '\0');
}
