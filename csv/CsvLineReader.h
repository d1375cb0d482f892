#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;

// Reads the lines of a description file: a line ends at LF, every CR is
// dropped wherever it stands. A file that starts with a UTF-16 byte-order
// mark is UTF-16 throughout; otherwise each line is taken as UTF-8 when it is
// valid UTF-8 and as Windows-1252 when not (files written on older station
// PCs), so one file may mix both.
class CsvLineReader
{
public:
    // Nothing sensible is longer. A longer line is refused rather than cut,
    // so no value is taken from half a line, and a binary file with no line
    // ends cannot fill the memory.
    static constexpr qint64 MaxLineBytes = 1 << 20;

    explicit CsvLineReader(QIODevice* device = nullptr);
    void setDevice(QIODevice* device);

    bool atEnd() const;
    qint64 pos() const;
    bool seek(qint64 position);
    // The next line without CR and LF in `line`; empty at the end, without a
    // device or when a character cannot be read. False when the line is
    // longer than MaxLineBytes: it is passed over to its end and `line` is
    // empty.
    bool readLine(QString& line);

private:
    enum class Encoding { Bytes, Utf16LE, Utf16BE };

    void readByteOrderMark();
    QString decode(const QByteArray& bytes) const;

    QIODevice* m_device = nullptr;
    Encoding m_encoding = Encoding::Bytes;
};
