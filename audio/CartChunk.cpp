#include "audio/CartChunk.h"

#include "audio/WaveChunkReader.h"
#include "frame/LegacyText.h"
#include "frame/library/FileTools.h"
#include "platform/riff/RiffFile.h"

#include <QtEndian>

namespace {
struct TextField {
    QString CartChunk::*member;
    int offset;
    int width;
    bool cleaned; // cut at its first NUL after reading
};

// The fixed fields in their order on disk.
const TextField TextFields[] = {
    {&CartChunk::Version, 0, 4, false},
    {&CartChunk::Title, 4, 64, true},
    {&CartChunk::Artist, 68, 64, true},
    {&CartChunk::CutID, 132, 64, true},
    {&CartChunk::ClientID, 196, 64, true},
    {&CartChunk::Category, 260, 64, true},
    {&CartChunk::Classification, 324, 64, true},
    {&CartChunk::OutCue, 388, 64, true},
    {&CartChunk::StartDate, 452, 10, true},
    {&CartChunk::StartTime, 462, 8, true},
    {&CartChunk::EndDate, 470, 10, true},
    {&CartChunk::EndTime, 480, 8, true},
    {&CartChunk::ProducerAppID, 488, 64, true},
    {&CartChunk::ProducerAppVersion, 552, 64, true},
    {&CartChunk::UserDef, 616, 64, true},
    {&CartChunk::Reserved, 748, 276, true},
    {&CartChunk::URL, 1024, 1024, true},
};
constexpr int LevelReferenceOffset = 680;
constexpr int PostTimerOffset = 684;
constexpr int PostTimerBytes = 8;

// The fixed part as a reset record would be written: spaces in the text
// fields, level 0, unused timers. A chunk shorter than the fixed part
// overwrites only its leading bytes, so the rest keep these values.
QByteArray resetLayout()
{
    QByteArray layout(CartChunk::FixedSize, ' ');
    qToLittleEndian<qint32>(0, layout.data() + LevelReferenceOffset);
    for (int i = 0; i < CartChunk::PostTimerCount; ++i)
        qToLittleEndian<qint32>(-1, layout.data() + PostTimerOffset + i * PostTimerBytes + 4);
    return layout;
}

void decodeLayout(const QByteArray& layout, CartChunk& cart)
{
    for (const TextField& field : TextFields) {
        cart.*field.member = field.cleaned ? WaveChunkReader::cleanedFieldText(layout, field.offset, field.width)
                                         : WaveChunkReader::fieldText(layout, field.offset, field.width);
    }
    cart.LevelReference = qFromLittleEndian<qint32>(layout.constData() + LevelReferenceOffset);
    for (int i = 0; i < CartChunk::PostTimerCount; ++i) {
        const int at = PostTimerOffset + i * PostTimerBytes;
        cart.PostTimer[i].Usage = WaveChunkReader::fieldText(layout, at, 4);
        cart.PostTimer[i].Value = qFromLittleEndian<qint32>(layout.constData() + at + 4);
    }
}

bool readCart(RiffFile& file, CartChunk& cart, QString& tagText)
{
    QByteArray fixed;
    QByteArray extra;
    if (!file.isOpen() || !WaveChunkReader::readChunk(file, RiffFile::fourCC("cart"), CartChunk::FixedSize, fixed, extra))
        return false;
    QByteArray layout = resetLayout();
    std::copy(fixed.cbegin(), fixed.cend(), layout.begin());
    decodeLayout(layout, cart);
    // The tag text ends at its first NUL; writers pad it with zeros.
    const qsizetype nul = extra.indexOf('\0');
    tagText = LegacyText::decode(nul >= 0 ? extra.left(nul) : extra);
    return true;
}
} // namespace

bool ReadCartChunk(const QString& fileName, CartChunk& cart, QString& tagText)
{
    cart = CartChunk();
    tagText.clear();
    if (FileTools::GetFileLength(fileName) <= 0)
        return false;
    RiffFile file;
    if (file.open(fileName, RiffFile::ReadOnly) != RiffFile::NoError)
        return false;
    return readCart(file, cart, tagText);
}

bool ReadCartChunk(QIODevice& device, CartChunk& cart, QString& tagText)
{
    cart = CartChunk();
    tagText.clear();
    RiffFile file(&device);
    if (file.size() <= 0)
        return false;
    return readCart(file, cart, tagText);
}

QByteArray CartChunkBytes(const CartChunk& cart, const QString& tagText)
{
    QByteArray layout(CartChunk::FixedSize, '\0');
    for (const TextField& field : TextFields)
        layout.replace(field.offset, field.width, WaveChunkReader::fieldBytes(cart.*field.member, field.width));
    qToLittleEndian<qint32>(cart.LevelReference, layout.data() + LevelReferenceOffset);
    for (int i = 0; i < CartChunk::PostTimerCount; ++i) {
        const int at = PostTimerOffset + i * PostTimerBytes;
        // A usage code is four characters as they stand, blanks included.
        layout.replace(at, 4, cart.PostTimer[i].Usage.toLatin1().leftJustified(4, '\0', true));
        qToLittleEndian<qint32>(cart.PostTimer[i].Value, layout.data() + at + 4);
    }
    return tagText.isEmpty() ? layout : layout + tagText.toUtf8() + '\0';
}
