#pragma once
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <memory>

class QFile;
class QIODevice;

// One chunk as the chunk functions see it. For "RIFF", "RF64" and "LIST"
// chunks the data starts with the form type, so dataOffset points at the form
// type and size counts it.
struct RiffChunk {
    quint32 id = 0;
    // As declared in the file (for the form and "data" chunk of an RF64 file,
    // in its "ds64" chunk): never trust it further than the file reaches.
    qint64 size = 0;
    quint32 formType = 0;
    qint64 dataOffset = 0;
    quint32 flags = 0;
};

// Chunk-level access to a RIFF file: open, seek, read, write, descend into a
// chunk, ascend out of it and create chunks, with the pad byte that follows
// every chunk of odd size. Works on a file of its own or on a device the
// caller owns (bytes in a QBuffer, for instance).
//
// Files past 4 GiB are RF64: the 32-bit sizes of the form and of its "data"
// chunk hold 0xFFFFFFFF and a "ds64" chunk right after the form type holds
// the real ones. Descending reads them; a form created with ReserveRf64 can
// become one when it is ascended.
//
// Results are 0 or one of the Error numbers, so callers can tell a missing
// chunk from a failed read.
class RiffFile
{
public:
    enum OpenFlag : int {
        ReadOnly = 0x0000,
        WriteOnly = 0x0001,
        ReadWrite = 0x0002,
        Create = 0x1000, // create or truncate
    };
    enum DescendFlag : int {
        DescendHere = 0x00, // the chunk at the current position, whatever its id
        FindChunk = 0x10,   // the next chunk with chunk.id
        FindRiff = 0x20,    // the next "RIFF" chunk with form type chunk.formType
        FindList = 0x40,    // the next "LIST" chunk with form type chunk.formType
    };
    enum CreateFlag : int {
        CreatePlain = 0x00,
        CreateRiff = 0x20,
        CreateList = 0x40,
        // With CreateRiff: a "JUNK" chunk the size of a "ds64" chunk follows
        // the form type, so that ascend can turn the form into RF64 in place
        // when it or its "data" chunk outgrows 32-bit sizes.
        ReserveRf64 = 0x80,
    };
    enum SeekOrigin : int { SeekSet = 0, SeekCurrent = 1, SeekEnd = 2 };
    enum Error : int {
        NoError = 0,
        FileNotFound = 257,
        OutOfMemory = 258,
        CannotOpen = 259,
        CannotClose = 260,
        CannotRead = 261,
        CannotWrite = 262,
        CannotSeek = 263,
        CannotExpand = 264,
        ChunkNotFound = 265,
    };
    // Set on a chunk made by createChunk until ascend has written its size.
    static constexpr quint32 ChunkDirty = 0x10000000;

    RiffFile();
    // Works on an open device owned by the caller; close() leaves it open.
    explicit RiffFile(QIODevice* device);
    ~RiffFile();
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    int open(const QString& path, int openFlags);
    int close();
    bool isOpen() const;
    qint64 size() const;
    qint64 pos() const;

    // New position, or -1.
    qint64 seek(qint64 offset, int origin = SeekSet);
    // Bytes read or written (fewer at the end of the file), or -1.
    qint64 read(char* data, qint64 size);
    qint64 write(const char* data, qint64 size);

    // A "RIFF" form or "data" chunk of size 0 (a recorder that stopped before
    // it could write the size) is found as reaching to the end of the file.
    int descend(RiffChunk& chunk, const RiffChunk* parent, int flags);
    int ascend(RiffChunk& chunk);
    int createChunk(RiffChunk& chunk, int flags);

    // How many of the chunk's declared data bytes the file really holds.
    qint64 bytesPresent(const RiffChunk& chunk) const;

    static quint32 fourCC(QByteArrayView text);

private:
    bool readHeader(qint64 at, qint64 limit, RiffChunk& found);
    void settleSize(RiffChunk& found);
    void readLongSizes(RiffChunk& form);
    int writeLongSizes(const RiffChunk& form, qint64 length);
    bool writeSizeField(const RiffChunk& chunk, quint32 size);
    static bool isFormType(quint32 id);

    std::unique_ptr<QFile> m_ownFile;
    QIODevice* m_device = nullptr;
    qint64 m_longDataSize = -1; // the "data" size of an RF64 form read, -1 without one
    qint64 m_rf64Reserve = -1;  // where the reserved "JUNK" chunk of a form being written starts
    qint64 m_dataWritten = 0;   // the length of the last "data" chunk written
};
