#include "platform/riff/RiffFile.h"

#include <QFile>
#include <QIODevice>
#include <QtEndian>

namespace {
constexpr qint64 HeaderBytes = 8;
constexpr qint64 FormTypeBytes = 4;
// The 32-bit size that stands for "see the ds64 chunk" in an RF64 file.
constexpr quint32 LongSize = 0xFFFFFFFFu;
// riffSize, dataSize and sampleCount (64 bits each) and a table length of 0:
// the table would list other chunks past 4 GiB, and no WAV we write or read
// has one.
constexpr qint64 Ds64Bytes = 28;
// No file is this large; a hostile 64-bit size is cut to it so that adding
// it to an offset cannot overflow.
constexpr quint64 MaxLongSize = quint64(1) << 62;
// Real files have a few dozen chunks side by side at most (format, fact,
// bext, cart, iXML, LIST, cue, JUNK, data, ...). A thousand leaves plenty of
// room and bounds what a file of empty chunks costs to search to a thousand
// header reads, however many it holds.
constexpr int MaxChunksWalked = 1000;

qint64 padded(qint64 size) { return size + (size & 1); }

qint64 longSize(const char* bytes) { return qint64(std::min(qFromLittleEndian<quint64>(bytes), MaxLongSize)); }
} // namespace

RiffFile::RiffFile() = default;

RiffFile::RiffFile(QIODevice* device)
    : m_device(device)
{
}

RiffFile::~RiffFile() { close(); }

quint32 RiffFile::fourCC(QByteArrayView text)
{
    // Short ids are padded with blanks, as "fmt " is.
    char code[4] = {' ', ' ', ' ', ' '};
    std::copy_n(text.data(), std::min<qsizetype>(text.size(), 4), code);
    return qFromLittleEndian<quint32>(code);
}

int RiffFile::open(const QString& path, int openFlags)
{
    close();
    QIODevice::OpenMode mode = QIODevice::ReadOnly;
    if (openFlags & ReadWrite)
        mode = QIODevice::ReadWrite;
    else if (openFlags & WriteOnly)
        mode = QIODevice::WriteOnly;
    if (openFlags & Create)
        mode |= QIODevice::Truncate;
    else if (!QFile::exists(path))
        return FileNotFound;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(mode))
        return CannotOpen;
    m_ownFile = std::move(file);
    m_device = m_ownFile.get();
    return NoError;
}

int RiffFile::close()
{
    int result = NoError;
    if (m_ownFile) {
        // Buffered writes reach the disk here; a failure now is a lost write.
        if (m_ownFile->isWritable() && !m_ownFile->flush())
            result = CannotClose;
        m_ownFile->close();
        m_ownFile.reset();
    }
    m_device = nullptr;
    m_longDataSize = -1;
    m_rf64Reserve = -1;
    m_dataWritten = 0;
    return result;
}

bool RiffFile::isOpen() const { return m_device && m_device->isOpen(); }

qint64 RiffFile::size() const { return isOpen() ? m_device->size() : 0; }

qint64 RiffFile::pos() const { return isOpen() ? m_device->pos() : -1; }

qint64 RiffFile::seek(qint64 offset, int origin)
{
    if (!isOpen())
        return -1;
    qint64 target = offset;
    if (origin == SeekCurrent)
        target += m_device->pos();
    else if (origin == SeekEnd)
        target += m_device->size();
    // A read-only device cannot grow, so a position past its end is refused
    // rather than left for a later read to stumble over.
    if (target < 0 || (!m_device->isWritable() && target > m_device->size()))
        return -1;
    return m_device->seek(target) ? target : -1;
}

qint64 RiffFile::read(char* data, qint64 size)
{
    if (!isOpen() || size < 0)
        return -1;
    return m_device->read(data, size);
}

qint64 RiffFile::write(const char* data, qint64 size)
{
    if (!isOpen() || size < 0 || !m_device->isWritable())
        return -1;
    return m_device->write(data, size);
}

bool RiffFile::isFormType(quint32 id) { return id == fourCC("RIFF") || id == fourCC("RF64") || id == fourCC("LIST"); }

// Reads the chunk header at `at`, the form type too for RIFF, RF64 and LIST
// chunks. False when the header does not fit before `limit`.
bool RiffFile::readHeader(qint64 at, qint64 limit, RiffChunk& found)
{
    if (at + HeaderBytes > limit || !m_device->seek(at))
        return false;
    char header[HeaderBytes];
    if (m_device->read(header, HeaderBytes) != HeaderBytes)
        return false;
    found.id = qFromLittleEndian<quint32>(header);
    found.size = qFromLittleEndian<quint32>(header + 4);
    if (found.size == LongSize && found.id == fourCC("data") && m_longDataSize >= 0)
        found.size = m_longDataSize;
    found.dataOffset = at + HeaderBytes;
    found.formType = 0;
    found.flags = 0;
    if (isFormType(found.id)) {
        char form[FormTypeBytes];
        if (at + HeaderBytes + FormTypeBytes > limit || m_device->read(form, FormTypeBytes) != FormTypeBytes)
            return false;
        found.formType = qFromLittleEndian<quint32>(form);
    }
    return true;
}

// The real sizes of an RF64 form and its "data" chunk, from the "ds64" chunk
// that must follow the form type. Without one the sizes stay as declared.
void RiffFile::readLongSizes(RiffChunk& form)
{
    char ds64[HeaderBytes + 16];
    if (!m_device->seek(form.dataOffset + FormTypeBytes) || m_device->read(ds64, sizeof ds64) != qint64(sizeof ds64)
        || qFromLittleEndian<quint32>(ds64) != fourCC("ds64") || qFromLittleEndian<quint32>(ds64 + 4) < 16)
        return;
    if (form.size == LongSize)
        form.size = longSize(ds64 + HeaderBytes);
    m_longDataSize = longSize(ds64 + HeaderBytes + 8);
}

// The size of a chunk found where its header's own field does not tell it.
void RiffFile::settleSize(RiffChunk& found)
{
    const bool form = found.id == fourCC("RIFF") || found.id == fourCC("RF64");
    if (form) {
        m_longDataSize = -1;
        if (found.id == fourCC("RF64"))
            readLongSizes(found);
    }
    // A recorder that stopped before it could write the size leaves 0.
    if (found.size == 0 && (form || found.id == fourCC("data")))
        found.size = m_device->size() - found.dataOffset;
}

int RiffFile::descend(RiffChunk& chunk, const RiffChunk* parent, int flags)
{
    if (!isOpen())
        return CannotRead;
    // The search ends where the parent or the file ends, whichever comes
    // first: a parent that claims more than the file holds is common in
    // recordings that were cut short.
    qint64 limit = m_device->size();
    if (parent)
        limit = std::min(limit, parent->dataOffset + parent->size);

    qint64 at = m_device->pos();
    for (int walked = 0; walked < MaxChunksWalked; ++walked) {
        RiffChunk found;
        if (!readHeader(at, limit, found))
            return ChunkNotFound;
        bool match = true;
        if (flags & FindRiff)
            match = (found.id == fourCC("RIFF") || found.id == fourCC("RF64")) && found.formType == chunk.formType;
        else if (flags & FindList)
            match = found.id == fourCC("LIST") && found.formType == chunk.formType;
        else if (flags & FindChunk)
            match = found.id == chunk.id;
        if (match) {
            settleSize(found);
            chunk = found;
            const qint64 start = found.dataOffset + (isFormType(found.id) ? FormTypeBytes : 0);
            return m_device->seek(start) ? NoError : CannotSeek;
        }
        // Each step moves forward by at least one header, so a hostile size
        // can end the search early but never loop it.
        at = found.dataOffset + padded(found.size);
    }
    return ChunkNotFound;
}

int RiffFile::ascend(RiffChunk& chunk)
{
    if (!isOpen())
        return CannotSeek;
    if (chunk.flags & ChunkDirty) {
        const qint64 length = m_device->pos() - chunk.dataOffset;
        const bool tooLong = length >= qint64(LongSize);
        if (length < 0 || (tooLong && m_rf64Reserve < 0))
            return CannotWrite;
        if ((length & 1) && m_device->write("\0", 1) != 1)
            return CannotWrite;
        if (chunk.id == fourCC("data"))
            m_dataWritten = length;
        if (!writeSizeField(chunk, tooLong ? LongSize : quint32(length)))
            return CannotWrite;
        if (tooLong && chunk.id == fourCC("RIFF") && writeLongSizes(chunk, length) != NoError)
            return CannotWrite;
        chunk.size = length;
        chunk.flags &= ~ChunkDirty;
    }
    qint64 end = chunk.dataOffset + padded(chunk.size);
    // The end of a chunk that claims more than a read-only file holds is the
    // end of the file.
    if (!m_device->isWritable())
        end = std::min(end, m_device->size());
    return m_device->seek(end) ? NoError : CannotSeek;
}

bool RiffFile::writeSizeField(const RiffChunk& chunk, quint32 size)
{
    char field[4];
    qToLittleEndian(size, field);
    return m_device->seek(chunk.dataOffset - 4) && m_device->write(field, 4) == 4;
}

// Turns the form being ascended into RF64: the reserved "JUNK" chunk becomes
// the "ds64" chunk with the real sizes, and the form's id changes last, so a
// file cut off before that still reads as the RIFF it was.
int RiffFile::writeLongSizes(const RiffChunk& form, qint64 length)
{
    QByteArray ds64(HeaderBytes + Ds64Bytes, '\0');
    qToLittleEndian(fourCC("ds64"), ds64.data());
    qToLittleEndian(quint32(Ds64Bytes), ds64.data() + 4);
    qToLittleEndian(quint64(length), ds64.data() + HeaderBytes);
    qToLittleEndian(quint64(m_dataWritten), ds64.data() + HeaderBytes + 8);
    char id[4];
    qToLittleEndian(fourCC("RF64"), id);
    const bool written = m_device->seek(m_rf64Reserve) && m_device->write(ds64) == ds64.size()
        && m_device->seek(form.dataOffset - HeaderBytes) && m_device->write(id, 4) == 4;
    return written ? NoError : CannotWrite;
}

int RiffFile::createChunk(RiffChunk& chunk, int flags)
{
    if (!isOpen() || !m_device->isWritable())
        return CannotWrite;
    if (flags & CreateRiff)
        chunk.id = fourCC("RIFF");
    else if (flags & CreateList)
        chunk.id = fourCC("LIST");
    const bool withForm = flags & (CreateRiff | CreateList);
    const bool reserve = (flags & CreateRiff) && (flags & ReserveRf64);
    QByteArray header(HeaderBytes + FormTypeBytes, '\0');
    qToLittleEndian(chunk.id, header.data());
    qToLittleEndian(quint32(chunk.size), header.data() + 4);
    qToLittleEndian(chunk.formType, header.data() + 8);
    if (!withForm)
        header.truncate(HeaderBytes);
    if (reserve) {
        header += "JUNK";
        header += QByteArray(4 + Ds64Bytes, '\0');
        qToLittleEndian(quint32(Ds64Bytes), header.data() + HeaderBytes + FormTypeBytes + 4);
    }
    const qint64 at = m_device->pos();
    if (m_device->write(header) != header.size())
        return CannotWrite;
    chunk.dataOffset = at + HeaderBytes;
    chunk.flags = ChunkDirty;
    if (reserve)
        m_rf64Reserve = at + HeaderBytes + FormTypeBytes;
    return NoError;
}

qint64 RiffFile::bytesPresent(const RiffChunk& chunk) const
{
    const qint64 inFile = std::max<qint64>(0, size() - chunk.dataOffset);
    return std::min(inFile, chunk.size);
}
