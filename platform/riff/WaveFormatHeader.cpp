#include "platform/riff/WaveFormatHeader.h"

#include <QtEndian>

QByteArray WaveFormatHeader::toBytes() const
{
    QByteArray bytes(Size, '\0');
    char* out = bytes.data();
    qToLittleEndian(wFormatTag, out);
    qToLittleEndian(nChannels, out + 2);
    qToLittleEndian(nSamplesPerSec, out + 4);
    qToLittleEndian(nAvgBytesPerSec, out + 8);
    qToLittleEndian(nBlockAlign, out + 12);
    qToLittleEndian(wBitsPerSample, out + 14);
    qToLittleEndian(cbSize, out + 16);
    return bytes;
}

WaveFormatHeader WaveFormatHeader::fromBytes(const QByteArray& bytes, const WaveFormatHeader& base)
{
    // Overlaying the given bytes on the base's own layout keeps the base's
    // values for whatever the bytes do not reach.
    QByteArray layout = base.toBytes();
    const qsizetype count = std::min<qsizetype>(bytes.size(), Size);
    std::copy_n(bytes.constData(), count, layout.data());
    const char* in = layout.constData();
    WaveFormatHeader header;
    header.wFormatTag = qFromLittleEndian<quint16>(in);
    header.nChannels = qFromLittleEndian<quint16>(in + 2);
    header.nSamplesPerSec = qFromLittleEndian<quint32>(in + 4);
    header.nAvgBytesPerSec = qFromLittleEndian<quint32>(in + 8);
    header.nBlockAlign = qFromLittleEndian<quint16>(in + 12);
    header.wBitsPerSample = qFromLittleEndian<quint16>(in + 14);
    header.cbSize = qFromLittleEndian<quint16>(in + 16);
    return header;
}

WaveFormatHeader WaveFormatHeader::fromBytes(const QByteArray& bytes) { return fromBytes(bytes, WaveFormatHeader()); }
