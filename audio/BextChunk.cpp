#include "audio/BextChunk.h"

#include "audio/WaveChunkReader.h"
#include "frame/LegacyText.h"
#include "frame/library/FileTools.h"
#include "platform/riff/RiffFile.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {
struct TextField {
    QString BextChunk::*member;
    int offset;
    int width;
    bool cleaned; // cut at its first NUL after reading
};

const TextField TextFields[] = {
    {&BextChunk::Description, 0, 256, true},
    {&BextChunk::Originator, 256, 32, true},
    {&BextChunk::OriginatorReference, 288, 32, true},
    {&BextChunk::OriginationDate, 320, 10, true},
    {&BextChunk::OriginationTime, 330, 8, true},
    {&BextChunk::Reserved, 422, 180, false},
};
constexpr int TimeReferenceLowOffset = 338;
constexpr int TimeReferenceHighOffset = 342;
constexpr int VersionOffset = 346;
constexpr int UmidOffset = 348;
constexpr int LoudnessOffset = 412;
constexpr int LoudnessFields = 5;
constexpr qint16 NoLoudness = 0x7FFF;

// The five loudness values in the order the chunk keeps them.
std::optional<double>* loudnessField(LoudnessValues& values, int index)
{
    std::optional<double>* fields[LoudnessFields] = {&values.integrated, &values.range, &values.truePeak,
                                                      &values.maxMomentary, &values.maxShortTerm};
    return fields[index];
}

QByteArray loudnessBytes(LoudnessValues values)
{
    QByteArray bytes(LoudnessFields * 2, '\0');
    for (int i = 0; i < LoudnessFields; ++i) {
        const std::optional<double> value = *loudnessField(values, i);
        const qint16 stored = value && std::isfinite(*value)
            ? static_cast<qint16>(std::clamp(std::lround(*value * 100.0), -32768L, 32766L))
            : NoLoudness;
        qToLittleEndian(stored, bytes.data() + i * 2);
    }
    return bytes;
}

LoudnessValues loudnessFrom(const char* bytes)
{
    LoudnessValues values;
    for (int i = 0; i < LoudnessFields; ++i) {
        const qint16 stored = qFromLittleEndian<qint16>(bytes + i * 2);
        if (stored != NoLoudness)
            *loudnessField(values, i) = stored / 100.0;
    }
    return values;
}

// The fixed part of a reset record: spaces in the text fields, zeros in the
// numbers and the UMID. A short chunk overwrites only its leading bytes.
QByteArray resetLayout()
{
    QByteArray layout(BextChunk::FixedSize, ' ');
    std::fill_n(layout.begin() + TimeReferenceLowOffset, UmidOffset + BextChunk::UmidSize - TimeReferenceLowOffset, '\0');
    layout.replace(LoudnessOffset, LoudnessFields * 2, loudnessBytes({}));
    return layout;
}

void decodeLayout(const QByteArray& layout, BextChunk& bext)
{
    for (const TextField& field : TextFields) {
        bext.*field.member = field.cleaned ? WaveChunkReader::cleanedFieldText(layout, field.offset, field.width)
                                         : WaveChunkReader::fieldText(layout, field.offset, field.width);
    }
    bext.TimeReferenceLow = qFromLittleEndian<quint32>(layout.constData() + TimeReferenceLowOffset);
    bext.TimeReferenceHigh = qFromLittleEndian<quint32>(layout.constData() + TimeReferenceHighOffset);
    bext.Version = qFromLittleEndian<quint16>(layout.constData() + VersionOffset);
    bext.UMID = layout.mid(UmidOffset, BextChunk::UmidSize);
    if (bext.Version >= 2)
        bext.Loudness = loudnessFrom(layout.constData() + LoudnessOffset);
}

bool readBext(RiffFile& file, BextChunk& bext, QString& codingHistory)
{
    QByteArray fixed;
    QByteArray extra;
    if (!file.isOpen() || !WaveChunkReader::readChunk(file, RiffFile::fourCC("bext"), BextChunk::FixedSize, fixed, extra))
        return false;
    QByteArray layout = resetLayout();
    std::copy(fixed.cbegin(), fixed.cend(), layout.begin());
    decodeLayout(layout, bext);
    // Unlike the cart tag text, the coding history keeps whatever follows a
    // NUL: it is handed on as it stands.
    codingHistory = LegacyText::decode(extra);
    return true;
}
} // namespace

bool ReadBextChunk(const QString& fileName, BextChunk& bext, QString& codingHistory)
{
    bext = BextChunk();
    codingHistory.clear();
    if (FileTools::GetFileLength(fileName) <= 0)
        return false;
    RiffFile file;
    if (file.open(fileName, RiffFile::ReadOnly) != RiffFile::NoError)
        return false;
    return readBext(file, bext, codingHistory);
}

bool ReadBextChunk(QIODevice& device, BextChunk& bext, QString& codingHistory)
{
    bext = BextChunk();
    codingHistory.clear();
    RiffFile file(&device);
    if (file.size() <= 0)
        return false;
    return readBext(file, bext, codingHistory);
}

QByteArray BextChunkBytes(const BextChunk& bext, const QString& codingHistory)
{
    QByteArray layout(BextChunk::FixedSize, '\0');
    for (const TextField& field : TextFields)
        if (field.member != &BextChunk::Reserved)
            layout.replace(field.offset, field.width, WaveChunkReader::fieldBytes(bext.*field.member, field.width));
    qToLittleEndian<quint32>(bext.TimeReferenceLow, layout.data() + TimeReferenceLowOffset);
    qToLittleEndian<quint32>(bext.TimeReferenceHigh, layout.data() + TimeReferenceHighOffset);
    qToLittleEndian<quint16>(std::max<quint16>(2, bext.Version), layout.data() + VersionOffset);
    layout.replace(UmidOffset, BextChunk::UmidSize, bext.UMID.leftJustified(BextChunk::UmidSize, '\0', true));
    layout.replace(LoudnessOffset, LoudnessFields * 2, loudnessBytes(bext.Loudness));
    return layout + codingHistory.toUtf8();
}

namespace {
constexpr qint64 ChunkHeaderSize = 8;

// Where the file's bext chunk starts, or where a new chunk would go (the
// end of the last chunk); -1 when the chunks and the RIFF size do not
// account for the file exactly.
qint64 findBext(QFile& file, bool& found)
{
    found = false;
    const QByteArray header = file.read(12);
    if (header.size() != 12 || !header.startsWith("RIFF") || header.mid(8, 4) != "WAVE")
        return -1;
    const qint64 fileSize = file.size();
    if (static_cast<qint64>(qFromLittleEndian<quint32>(header.constData() + 4)) + ChunkHeaderSize != fileSize)
        return -1;
    qint64 at = 12;
    while (at + ChunkHeaderSize <= fileSize) {
        if (!file.seek(at))
            return -1;
        const QByteArray chunk = file.read(ChunkHeaderSize);
        if (chunk.size() != ChunkHeaderSize)
            return -1;
        const quint32 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        if (chunk.startsWith("bext")) {
            found = true;
            return size >= BextChunk::FixedSize ? at : -1;
        }
        at += ChunkHeaderSize + size + (size & 1);
    }
    return at == fileSize ? at : -1;
}

bool writeAt(QFile& file, qint64 at, const QByteArray& bytes)
{
    return file.seek(at) && file.write(bytes) == bytes.size();
}

bool updateBext(QFile& file, qint64 chunk, const LoudnessValues& loudness)
{
    const qint64 data = chunk + ChunkHeaderSize;
    if (!file.seek(data + VersionOffset))
        return false;
    const QByteArray version = file.read(2);
    if (version.size() != 2)
        return false;
    QByteArray newVersion(2, '\0');
    qToLittleEndian<quint16>(std::max<quint16>(2, qFromLittleEndian<quint16>(version.constData())), newVersion.data());
    return writeAt(file, data + VersionOffset, newVersion) && writeAt(file, data + LoudnessOffset, loudnessBytes(loudness));
}

bool appendBext(QFile& file, qint64 end, const LoudnessValues& loudness)
{
    const qint64 riffSize = end + BextChunk::FixedSize; // the file's new size less the RIFF header
    if (riffSize >= 0xFFFFFFFFLL)
        return false;
    BextChunk bext;
    bext.Loudness = loudness;
    QByteArray chunk = "bext" + QByteArray(4, '\0') + BextChunkBytes(bext, QString());
    qToLittleEndian<quint32>(BextChunk::FixedSize, chunk.data() + 4);
    QByteArray size(4, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(riffSize), size.data());
    // The chunk first, the size that takes it in last: cut short, the file
    // still reads as it did.
    return writeAt(file, end, chunk) && file.flush() && writeAt(file, 4, size);
}
} // namespace

bool WriteBextLoudness(const QString& fileName, const LoudnessValues& loudness)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    bool found = false;
    const qint64 at = findBext(file, found);
    if (at < 0)
        return false;
    return found ? updateBext(file, at, loudness) : appendBext(file, at, loudness);
}
