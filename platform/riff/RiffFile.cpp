#include "platform/riff/RiffFile.h"

#include <QFile>
#include <QIODevice>
#include <QtEndian>

namespace {
constexpr qint64 HeaderBytes = 8;
constexpr qint64 FormTypeBytes = 4;

qint64 padded(qint64 size) { return size + (size & 1); }
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

bool RiffFile::isListType(quint32 id) const { return id == fourCC("RIFF") || id == fourCC("LIST"); }

// Reads the chunk header at `at`, the form type too for RIFF and LIST chunks.
// False when the header does not fit before `limit`.
bool RiffFile::readHeader(qint64 at, qint64 limit, RiffChunk& found)
{
    if (at + HeaderBytes > limit || !m_device->seek(at))
        return false;
    char header[HeaderBytes];
    if (m_device->read(header, HeaderBytes) != HeaderBytes)
        return false;
    found.id = qFromLittleEndian<quint32>(header);
    found.size = qFromLittleEndian<quint32>(header + 4);
    found.dataOffset = at + HeaderBytes;
    found.formType = 0;
    found.flags = 0;
    if (isListType(found.id)) {
        char form[FormTypeBytes];
        if (at + HeaderBytes + FormTypeBytes > limit || m_device->read(form, FormTypeBytes) != FormTypeBytes)
            return false;
        found.formType = qFromLittleEndian<quint32>(form);
    }
    return true;
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
        limit = std::min(limit, parent->dataOffset + qint64(parent->size));

    qint64 at = m_device->pos();
    while (true) {
        RiffChunk found;
        if (!readHeader(at, limit, found))
            return ChunkNotFound;
        bool match = true;
        if (flags & FindRiff)
            match = found.id == fourCC("RIFF") && found.formType == chunk.formType;
        else if (flags & FindList)
            match = found.id == fourCC("LIST") && found.formType == chunk.formType;
        else if (flags & FindChunk)
            match = found.id == chunk.id;
        if (match) {
            chunk = found;
            const qint64 start = found.dataOffset + (isListType(found.id) ? FormTypeBytes : 0);
            return m_device->seek(start) ? NoError : CannotSeek;
        }
        // Each step moves forward by at least one header, so a hostile size
        // can end the search early but never loop it.
        at = found.dataOffset + padded(found.size);
    }
}

int RiffFile::ascend(RiffChunk& chunk)
{
    if (!isOpen())
        return CannotSeek;
    if (chunk.flags & ChunkDirty) {
        const qint64 length = m_device->pos() - chunk.dataOffset;
        if (length < 0 || length > qint64(0xFFFFFFFFu))
            return CannotWrite;
        if ((length & 1) && m_device->write("\0", 1) != 1)
            return CannotWrite;
        char sizeField[4];
        qToLittleEndian(quint32(length), sizeField);
        if (!m_device->seek(chunk.dataOffset - 4) || m_device->write(sizeField, 4) != 4)
            return CannotWrite;
        chunk.size = quint32(length);
        chunk.flags &= ~ChunkDirty;
    }
    qint64 end = chunk.dataOffset + padded(chunk.size);
    // The end of a chunk that claims more than a read-only file holds is the
    // end of the file.
    if (!m_device->isWritable())
        end = std::min(end, m_device->size());
    return m_device->seek(end) ? NoError : CannotSeek;
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
    char header[HeaderBytes + FormTypeBytes];
    qToLittleEndian(chunk.id, header);
    qToLittleEndian(chunk.size, header + 4);
    qToLittleEndian(chunk.formType, header + 8);
    const qint64 length = HeaderBytes + (withForm ? FormTypeBytes : 0);
    const qint64 at = m_device->pos();
    if (m_device->write(header, length) != length)
        return CannotWrite;
    chunk.dataOffset = at + HeaderBytes;
    chunk.flags = ChunkDirty;
    return NoError;
}

qint64 RiffFile::bytesPresent(const RiffChunk& chunk) const
{
    const qint64 inFile = std::max<qint64>(0, size() - chunk.dataOffset);
    return std::min<qint64>(inFile, chunk.size);
}
