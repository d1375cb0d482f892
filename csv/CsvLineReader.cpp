#include "csv/CsvLineReader.h"

#include <QIODevice>
#include <QStringDecoder>

CsvLineReader::CsvLineReader(QIODevice* device)
    : m_device(device)
{
}

void CsvLineReader::setDevice(QIODevice* device) { m_device = device; }

bool CsvLineReader::atEnd() const { return !m_device || !m_device->isOpen() || m_device->atEnd(); }

qint64 CsvLineReader::pos() const { return m_device ? m_device->pos() : 0; }

bool CsvLineReader::seek(qint64 position) { return m_device && m_device->seek(position); }

QString CsvLineReader::readLine()
{
    if (atEnd())
        return {};
    const bool firstLine = m_device->pos() == 0;
    QByteArray line;
    char c = 0;
    while (!m_device->atEnd()) {
        if (!m_device->getChar(&c))
            return {};
        if (c == '\n')
            break;
        if (c != '\r' && line.size() < MaxLineBytes)
            line.append(c);
    }
    // Editors on station PCs often start a UTF-8 file with a byte-order mark;
    // left in place it would hide the "#" of the first header.
    if (firstLine && line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    return decode(line);
}

QString CsvLineReader::decode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}
