#pragma once
#include <QByteArrayView>
#include <QString>

// Text that other programs wrote into files without saying how: the fields
// of WAV cart and bext chunks and the lines of description files. Station
// PCs write such text in Windows-1252; newer tools write UTF-8. Bytes that
// are valid UTF-8 are almost never meant as 1252 (it would take an accented
// capital followed by one or more symbols), so UTF-8 is tried first.
class LegacyText
{
public:
    // UTF-8 when the bytes are valid UTF-8, else Windows-1252. A UTF-8
    // character cut off at the end of a full fixed-width field makes the
    // field invalid UTF-8: telling it from 1252 text that ends in an accented
    // letter is guesswork, so it is not tried.
    static QString decode(QByteArrayView bytes);
};
