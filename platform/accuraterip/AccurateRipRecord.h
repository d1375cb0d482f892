#pragma once
#include "platform/accuraterip/AccurateRipDisc.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A disc's record in the AccurateRip database: one block per pressing the
// database knows, each a header (track count, the disc's three ids) and per
// track how many rips agreed and their CRC. The record comes from a server
// and is read as untrusted bytes: a count that runs past the end, an empty
// pressing or one for another disc make the whole record unusable.
class AccurateRipRecord
{
public:
    struct Track {
        int confidence = 0;
        quint32 crc = 0;
    };
    using Pressing = QList<Track>;

    // The pressings of `bytes`, which must all belong to `disc`; none, and
    // error() says why, when the record is not one.
    static AccurateRipRecord parse(const QByteArray& bytes, const AccurateRipDisc& disc);

    const QList<Pressing>& pressings() const { return m_pressings; }
    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    QList<Pressing> m_pressings;
    QString m_error;
};
