#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

class RiffFile;

// Shared by the cart and bext readers: finds one chunk inside the RIFF
// "WAVE" form and reads its fixed part and the free text after it, trusting
// no size in the file further than the file reaches.
class WaveChunkReader
{
public:
    // The most free-text bytes after a fixed part that a reader keeps.
    static constexpr int MaxExtraBytes = 32000;

    // fixed: the first min(fixedSize, chunk size) bytes of the chunk; extra:
    // at most MaxExtraBytes of the bytes after the fixed part, as many as the
    // file really holds. False when there is no RIFF "WAVE" form or no such
    // chunk, when the chunk is empty or its size is not a valid 32-bit
    // length, or when its fixed part is cut short by the end of the file.
    static bool readChunk(RiffFile& file, quint32 chunkId, int fixedSize, QByteArray& fixed, QByteArray& extra);

    // The text of a fixed-width field as the station wrote it: UTF-8 when
    // the bytes are valid UTF-8, else Windows-1252; each field on its own,
    // as different programs may have filled them. Padded with spaces to
    // `width` where UTF-8 took several bytes for a character.
    static QString fieldText(const QByteArray& layout, int offset, int width);
    // The same for the bytes before the field's first NUL, padded with
    // spaces to `width`.
    static QString cleanedFieldText(const QByteArray& layout, int offset, int width);
    // A field as the chunk writers put it: the text without its padding
    // spaces, as UTF-8 cut to `width` bytes at a character's end, then NULs.
    static QByteArray fieldBytes(const QString& text, int width);
};
