#pragma once
#include <QJsonObject>
#include <QStringList>

class NCTSampleAnalyser;

// orvane-audio: the audio engine on its own, for engineers and tests.
//   probe FILE                      format and length as the import sees them
//   chunks FILE                     cart and bext chunks of a WAV file (cart_chunk, bext_chunk)
//   copy SOURCE DEST --format SETTINGS [--normalise PERCENT | --loudness LUFS [--true-peak-ceiling DBTP]]
//        [--auto-top THRESHOLD] [--force]     also reports the copy's loudness and gain
//   loudness FILE [--json]          EBU R128 loudness, as text or JSON
//   fingerprint FILE [--json]       length and packed fingerprint (and the raw items)
// Results are one JSON document on standard output (loudness's only with
// --json), a failure's with its error. Exit codes: 0 success, 1 failure, 2 usage.
class AudioTool
{
public:
    int run(const QStringList& arguments);

private:
    int probe(const QStringList& arguments);
    int chunks(const QStringList& arguments);
    int copy(const QStringList& arguments);
    int loudness(const QStringList& arguments);
    int fingerprint(const QStringList& arguments);
    int analyseOneFile(const QStringList& arguments, const QString& verb, NCTSampleAnalyser& analyser, QString* file,
                       bool* json);
    static QJsonObject fileObject(const QString& file);
    int usageError(const QString& message);
    // Prints the report with the error, says it on stderr, and gives the exit code.
    int failure(const QString& message, QJsonObject report);
    void print(const QJsonObject& object);
};
