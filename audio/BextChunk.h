#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;

// The broadcast-wave "bext" chunk (602 bytes of fixed fields, then the
// coding history). Text fields are fixed-width and padded with spaces: trim a
// field to get its value.
// Each field, and the text after the fixed part, is read as UTF-8 when its
// bytes are valid UTF-8 and as Windows-1252 otherwise.
struct BextChunk {
    static constexpr int FixedSize = 602;
    static constexpr int UmidSize = 64;

    QString Description = QString(256, QLatin1Char(' '));
    QString Originator = QString(32, QLatin1Char(' '));
    QString OriginatorReference = QString(32, QLatin1Char(' '));
    QString OriginationDate = QString(10, QLatin1Char(' '));
    QString OriginationTime = QString(8, QLatin1Char(' '));
    quint32 TimeReferenceLow = 0;
    quint32 TimeReferenceHigh = 0;
    quint16 Version = 0;
    QByteArray UMID = QByteArray(UmidSize, '\0');
    QString Reserved = QString(190, QLatin1Char(' '));
};

// Reads the bext chunk of a WAV file. bext and codingHistory are reset
// first, so on false they hold the empty values. codingHistory is the text
// after the fixed fields, at most 32000 characters, NULs included. Nothing
// is shown or logged.
bool ReadBextChunk(const QString& fileName, BextChunk& bext, QString& codingHistory);
// The same on an open device (bytes in memory, for instance).
bool ReadBextChunk(QIODevice& device, BextChunk& bext, QString& codingHistory);
