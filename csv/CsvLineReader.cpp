#include "csv/CsvLineReader.h"

#include "frame/LegacyText.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QtEndian>

CsvLineReader::CsvLineReader(QIODevice* device)
    : m_device(device)
{
}

void CsvLineReader::setDevice(QIODevice* device)
{
    m_device = device;
    m_encoding = Encoding::Bytes;
}

bool CsvLineReader::atEnd() const { return !m_device || !m_device->isOpen() || m_device->atEnd(); }

qint64 CsvLineReader::pos() const { return m_device ? m_device->pos() : 0; }

bool CsvLineReader::seek(qint64 position) { return m_device && m_device->seek(position); }

// Editors on station PCs often start a file with a byte-order mark; left in
// place it would hide the "#" of the first header. Only a UTF-16 mark says
// how the rest is written.
void CsvLineReader::readByteOrderMark()
{
    const QByteArray start = m_device->peek(3);
    m_encoding = Encoding::Bytes;
    if (start.startsWith("\xFF\xFE"))
        m_encoding = Encoding::Utf16LE;
    else if (start.startsWith("\xFE\xFF"))
        m_encoding = Encoding::Utf16BE;
    const qint64 markBytes = m_encoding != Encoding::Bytes ? 2 : start.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    m_device->skip(markBytes);
}

bool CsvLineReader::readLine(QString& line)
{
    line.clear();
    if (atEnd())
        return true;
    if (m_device->pos() == 0)
        readByteOrderMark();
    const qint64 unitBytes = m_encoding == Encoding::Bytes ? 1 : 2;
    QByteArray bytes;
    bool tooLong = false;
    char unit[2];
    while (!m_device->atEnd()) {
        const qint64 got = m_device->read(unit, unitBytes);
        if (got < 0)
            return true;
        if (got < unitBytes) // a stray byte at the end of a UTF-16 file is no character
            break;
        const char16_t code = m_encoding == Encoding::Utf16LE ? qFromLittleEndian<char16_t>(unit)
            : m_encoding == Encoding::Utf16BE                 ? qFromBigEndian<char16_t>(unit)
                                                              : char16_t(quint8(unit[0]));
        if (code == u'\n')
            break;
        if (code == u'\r')
            continue;
        if (bytes.size() + unitBytes > MaxLineBytes)
            tooLong = true;
        else
            bytes.append(unit, unitBytes);
    }
    if (tooLong)
        return false;
    line = decode(bytes);
    return true;
}

QString CsvLineReader::decode(const QByteArray& bytes) const
{
    switch (m_encoding) {
    case Encoding::Utf16LE:
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
    case Encoding::Utf16BE:
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes);
    case Encoding::Bytes:
        break;
    }
    return LegacyText::decode(bytes);
}
