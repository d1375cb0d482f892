#pragma once
#include <QString>
#include <QtGlobal>

class QIODevice;

// Reads the lines of a description file: a line ends at LF, every CR is
// dropped wherever it stands. Lines are taken as UTF-8 when they are valid
// UTF-8, otherwise byte by byte (files written on older station PCs).
class CsvLineReader
{
public:
    // Nothing sensible is longer; the rest of a longer line is skipped, so a
    // binary file with no line ends cannot fill the memory.
    static constexpr qint64 MaxLineBytes = 1 << 20;

    explicit CsvLineReader(QIODevice* device = nullptr);
    void setDevice(QIODevice* device);

    bool atEnd() const;
    qint64 pos() const;
    bool seek(qint64 position);
    // The next line without CR and LF; empty at the end, without a device or
    // when a character cannot be read.
    QString readLine();

    static QString decode(const QByteArray& bytes);

private:
    QIODevice* m_device = nullptr;
};
