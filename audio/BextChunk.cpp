#include "audio/BextChunk.h"

#include "audio/WaveChunkReader.h"
#include "frame/LegacyText.h"
#include "frame/library/FileTools.h"
#include "platform/riff/RiffFile.h"

#include <QtEndian>

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
    {&BextChunk::Reserved, 412, 190, false},
};
constexpr int TimeReferenceLowOffset = 338;
constexpr int TimeReferenceHighOffset = 342;
constexpr int VersionOffset = 346;
constexpr int UmidOffset = 348;

// The fixed part of a reset record: spaces in the text fields, zeros in the
// numbers and the UMID. A short chunk overwrites only its leading bytes.
QByteArray resetLayout()
{
    QByteArray layout(BextChunk::FixedSize, ' ');
    std::fill_n(layout.begin() + TimeReferenceLowOffset, UmidOffset + BextChunk::UmidSize - TimeReferenceLowOffset, '\0');
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
