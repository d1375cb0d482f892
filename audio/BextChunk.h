#pragma once
#include "frame/library/LoudnessValues.h"

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
    // Version 2: the loudness of the audio, as five signed values x100 (the
    // integrated loudness, its range, the maximum true peak, the maximum
    // momentary and short-term loudness). A value of 0x7FFF, or a chunk
    // before version 2, says nothing; so does an empty value when written.
    LoudnessValues Loudness;
    QString Reserved = QString(180, QLatin1Char(' '));
};

// Reads the bext chunk of a WAV file. bext and codingHistory are reset
// first, so on false they hold the empty values. codingHistory is the text
// after the fixed fields, at most 32000 characters, NULs included. Nothing
// is shown or logged.
bool ReadBextChunk(const QString& fileName, BextChunk& bext, QString& codingHistory);
// The same on an open device (bytes in memory, for instance).
bool ReadBextChunk(QIODevice& device, BextChunk& bext, QString& codingHistory);

// The chunk's data (without its id and size) as other tools read it: the
// text fields NUL-padded, the version at least 2 (it holds the loudness),
// the reserved bytes zero, then the coding history.
QByteArray BextChunkBytes(const BextChunk& bext, const QString& codingHistory);

// Puts the loudness into the WAV file's bext chunk, making it version 2: the
// fields of a chunk the file has are set in place; a file without one gets a
// new chunk after its last, with empty text fields. An RF64 file, a file
// whose chunks do not add up, or a RIFF size that would pass 4 GiB are left
// as they are (false); the store keeps the values either way.
bool WriteBextLoudness(const QString& fileName, const LoudnessValues& loudness);
