#pragma once
#include <QJsonObject>
#include <QStringList>

// orvane-audio: the audio engine on its own, for engineers and tests.
//   probe FILE                      format and length as the import sees them
//   chunks FILE                     cart and bext chunks of a WAV file
//   copy SOURCE DEST --format SETTINGS [--normalise PERCENT] [--autotop THRESHOLD]
// Results are JSON on standard output. Exit codes: 0 success, 1 failure,
// 2 usage.
class AudioTool
{
public:
    int run(const QStringList& arguments);

private:
    int probe(const QStringList& arguments);
    int chunks(const QStringList& arguments);
    int copy(const QStringList& arguments);
    int usageError(const QString& message);
    int failure(const QString& message);
    void print(const QJsonObject& object);
};
