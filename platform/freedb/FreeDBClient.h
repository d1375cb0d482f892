#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What a CDDB server knows about one disc.
struct FreeDBDisc {
    QString artist;
    QString title;
    QString genre;
    QString notes;
    QString year; // empty when the server gives none
    int trackCount = 0;
    QStringList trackTitles; // one per track, empty where the server has none
};

// Where the server is: "host[:port]", with "http://" in front for the HTTP
// protocol (the server's cddb.cgi), the CDDB protocol otherwise.
struct FreeDBServerAddress {
    QString host;
    quint16 port = 0;
    bool http = false;
    // "path" of an HTTP address ("/~cddb/cddb.cgi" when none is given).
    QString path;

    static std::optional<FreeDBServerAddress> parse(const QString& text);
};

// Asks a CDDB server for the disc with a given table of contents. The query
// blocks on a worker thread while the caller's thread keeps its events
// running (except user input), so a window stays painted but cannot start a
// second lookup under the first.
class FreeDBClient
{
public:
    QString server;
    QString email;
    QString clientName;
    QString clientVersion;
    // A server that has not answered by then gives no information.
    int timeoutSeconds = 10;

    // trackOffsets: each track's start in frames, lead-in included;
    // discSeconds: the disc's length. No value when the server is unknown,
    // unreachable, silent or has no match.
    std::optional<FreeDBDisc> lookup(const QList<qint32>& trackOffsets, qint32 discSeconds) const;

    // The disc id the server is asked for.
    static quint32 discId(const QList<qint32>& trackOffsets, qint32 discSeconds);
};
