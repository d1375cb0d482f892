#include "audio/BroadcastWaveWriter.h"

#include "frame/library/FileTools.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QtEndian>

#include <unistd.h>

namespace {
constexpr qint64 kHeaderBytes = 8;
constexpr qint64 kMaxRiffSize = 0xFFFFFFFFLL;

bool refuse(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

struct SourceChunk {
    QByteArray id;
    qint64 at;   // of its header
    qint64 size; // of its data
};

// The source's chunks, each within the file; none when it is no RIFF WAVE
// or a size points past its end.
QList<SourceChunk> sourceChunks(QFile& file)
{
    const QByteArray header = file.read(12);
    if (header.size() != 12 || !header.startsWith("RIFF") || header.mid(8, 4) != "WAVE")
        return {};
    QList<SourceChunk> chunks;
    const qint64 end = file.size();
    for (qint64 at = 12; at + kHeaderBytes <= end;) {
        if (!file.seek(at))
            return {};
        const QByteArray chunk = file.read(kHeaderBytes);
        const qint64 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        if (chunk.size() != kHeaderBytes || at + kHeaderBytes + size > end)
            return {};
        chunks.append({chunk.left(4), at, size});
        at += kHeaderBytes + size + (size & 1);
    }
    return chunks;
}

QByteArray chunkBytes(const BroadcastWaveWriter::Chunk& chunk)
{
    QByteArray bytes = chunk.id.leftJustified(4, ' ', true) + QByteArray(4, '\0') + chunk.data;
    qToLittleEndian<quint32>(static_cast<quint32>(chunk.data.size()), bytes.data() + 4);
    if (chunk.data.size() & 1)
        bytes.append('\0');
    return bytes;
}

bool copyChunk(QFile& from, const SourceChunk& chunk, QFile& to)
{
    if (!from.seek(chunk.at))
        return false;
    qint64 left = kHeaderBytes + chunk.size;
    while (left > 0) {
        const QByteArray block = from.read(std::min<qint64>(left, 1 << 20));
        if (block.isEmpty() || to.write(block) != block.size())
            return false;
        left -= block.size();
    }
    return !(chunk.size & 1) || to.write("\0", 1) == 1;
}

bool writeBody(QFile& from, const QList<SourceChunk>& source, const QList<BroadcastWaveWriter::Chunk>& chunks, QFile& to)
{
    bool placed = false;
    for (const SourceChunk& chunk : source) {
        if (std::any_of(chunks.cbegin(), chunks.cend(), [&](const auto& own) { return own.id == chunk.id; }))
            continue;
        if (chunk.id == "data" && !placed) {
            for (const auto& own : chunks)
                if (to.write(chunkBytes(own)) < 0)
                    return false;
            placed = true;
        }
        if (!copyChunk(from, chunk, to))
            return false;
    }
    return placed;
}
} // namespace

bool BroadcastWaveWriter::write(const QString& source, const QString& target, const QList<Chunk>& chunks, bool overwrite,
                                QString* error)
{
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        return refuse(error, QStringLiteral("Cannot read %1: %2").arg(source, from.errorString()));
    const QList<SourceChunk> sourceList = sourceChunks(from);
    if (sourceList.isEmpty())
        return refuse(error, QStringLiteral("%1 is not a WAV file whose chunks can be copied").arg(source));
    const QFileInfo info(target);
    QString temporary;
    const int fd = FileTools::createNewFile(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.'), &temporary, error);
    if (fd < 0)
        return false;
    const auto removeTemporary = qScopeGuard([&] { QFile::remove(temporary); });
    QFile to;
    if (!to.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return refuse(error, QStringLiteral("Cannot write %1").arg(temporary));
    if (to.write(QByteArray("RIFF\0\0\0\0WAVE", 12)) != 12 || !writeBody(from, sourceList, chunks, to))
        return refuse(error, QStringLiteral("Cannot write %1: %2").arg(target, to.errorString()));
    const qint64 riffSize = to.pos() - kHeaderBytes;
    if (riffSize > kMaxRiffSize)
        return refuse(error, QStringLiteral("%1 would be larger than a WAV file can be").arg(target));
    QByteArray size(4, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(riffSize), size.data());
    if (!to.seek(4) || to.write(size) != 4 || !to.flush() || ::fsync(to.handle()) != 0)
        return refuse(error, QStringLiteral("Cannot write %1: %2").arg(target, to.errorString()));
    to.close();
    return FileTools::placeFile(temporary, info.absoluteFilePath(), overwrite, error);
}
