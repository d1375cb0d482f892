#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// Writes a copy of a RIFF WAV file with metadata chunks of its own: chunks
// of the given ids the source has are left out, the given ones go before
// the audio (where readers that stop at "data" still find them), everything
// else is copied as it stands. The copy is written under a temporary name
// beside the target and then given its name, so a failure leaves no half
// file and, without overwrite, never replaces one.
class BroadcastWaveWriter
{
public:
    struct Chunk {
        QByteArray id; // four characters
        QByteArray data;
    };
    static bool write(const QString& source, const QString& target, const QList<Chunk>& chunks, bool overwrite, QString* error);
};
