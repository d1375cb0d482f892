#pragma once
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <memory>

class QFile;
class QIODevice;

// One chunk as the chunk functions see it. For "RIFF" and "LIST" chunks the
// data starts with the form type, so dataOffset points at the form type and
// size counts it.
struct RiffChunk {
    quint32 id = 0;
    quint32 size = 0; // as declared in the file: never trust it further than the file reaches
    quint32 formType = 0;
    qint64 dataOffset = 0;
    quint32 flags = 0;
};

// Chunk-level access to a RIFF file: open, seek, read, write, descend into a
// chunk, ascend out of it and create chunks, with the pad byte that follows
// every chunk of odd size. Works on a file of its own or on a device the
// caller owns (bytes in a QBuffer, for instance).
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

    int descend(RiffChunk& chunk, const RiffChunk* parent, int flags);
    int ascend(RiffChunk& chunk);
    int createChunk(RiffChunk& chunk, int flags);

    // How many of the chunk's declared data bytes the file really holds.
    qint64 bytesPresent(const RiffChunk& chunk) const;

    static quint32 fourCC(QByteArrayView text);

private:
    bool readHeader(qint64 at, qint64 limit, RiffChunk& found);
    bool isListType(quint32 id) const;

    std::unique_ptr<QFile> m_ownFile;
    QIODevice* m_device = nullptr;
};
