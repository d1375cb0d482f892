#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QtEndian>

// Builds RIFF files byte by byte, sizes included, so tests can write what no
// well-behaved writer would.
namespace RiffBytes {

inline QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

inline QByteArray le64(quint64 value)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

inline QByteArray le16(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// A chunk with the size it really has, padded to an even length.
inline QByteArray chunk(QByteArrayView id, const QByteArray& data)
{
    QByteArray bytes = id.toByteArray() + le32(quint32(data.size())) + data;
    if (data.size() % 2)
        bytes.append('\0');
    return bytes;
}

// A chunk that claims `declared` bytes whatever it holds; no pad byte.
inline QByteArray chunkClaiming(QByteArrayView id, quint32 declared, const QByteArray& data)
{
    return id.toByteArray() + le32(declared) + data;
}

inline QByteArray riff(QByteArrayView formType, const QByteArray& body)
{
    return "RIFF" + le32(quint32(4 + body.size())) + formType.toByteArray() + body;
}

inline QByteArray pcmFormat(quint16 channels, quint32 rate, quint16 bits)
{
    const quint16 blockAlign = quint16(channels * bits / 8);
    return le16(1) + le16(channels) + le32(rate) + le32(rate * blockAlign) + le16(blockAlign) + le16(bits);
}

} // namespace RiffBytes
