#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

class QIODevice;

// One post timer of a cart chunk: a four-character usage code and a sample
// position; -1 marks an unused timer.
struct CartPostTimer {
    QString Usage = QString(4, QLatin1Char(' '));
    qint32 Value = -1;
};

// The cart chunk of a broadcast WAV file (2048 bytes of fixed fields, then
// free tag text). Text fields are fixed-width and padded with spaces: trim a
// field to get its value.
// Each field, and the text after the fixed part, is read as UTF-8 when its
// bytes are valid UTF-8 and as Windows-1252 otherwise.
struct CartChunk {
    static constexpr int FixedSize = 2048;
    static constexpr int PostTimerCount = 8;

    QString Version = QString(4, QLatin1Char(' '));
    QString Title = QString(64, QLatin1Char(' '));
    QString Artist = QString(64, QLatin1Char(' '));
    QString CutID = QString(64, QLatin1Char(' '));
    QString ClientID = QString(64, QLatin1Char(' '));
    QString Category = QString(64, QLatin1Char(' '));
    QString Classification = QString(64, QLatin1Char(' '));
    QString OutCue = QString(64, QLatin1Char(' '));
    QString StartDate = QString(10, QLatin1Char(' '));
    QString StartTime = QString(8, QLatin1Char(' '));
    QString EndDate = QString(10, QLatin1Char(' '));
    QString EndTime = QString(8, QLatin1Char(' '));
    QString ProducerAppID = QString(64, QLatin1Char(' '));
    QString ProducerAppVersion = QString(64, QLatin1Char(' '));
    QString UserDef = QString(64, QLatin1Char(' '));
    qint32 LevelReference = 0;
    std::array<CartPostTimer, PostTimerCount> PostTimer;
    QString Reserved = QString(276, QLatin1Char(' '));
    QString URL = QString(1024, QLatin1Char(' '));
};

// Reads the cart chunk of a WAV file. cart and tagText are reset first, so
// on false they hold the empty values. tagText is the text after the fixed
// fields, at most 32000 characters, cut at its first NUL. Nothing is shown
// or logged: a file without a readable cart chunk simply has none.
bool ReadCartChunk(const QString& fileName, CartChunk& cart, QString& tagText);
// The same on an open device (bytes in memory, for instance).
bool ReadCartChunk(QIODevice& device, CartChunk& cart, QString& tagText);

// The chunk's data (without its id and size) as other tools read it: the
// fixed fields, each NUL-padded, then the tag text and one NUL.
QByteArray CartChunkBytes(const CartChunk& cart, const QString& tagText);
