#pragma once
#include "platform/freedb/DiscRecord.h"

#include <optional>

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
    // A server that has not answered by then has failed.
    int timeoutSeconds = 10;

    // trackOffsets: each track's start in frames, lead-in included;
    // discSeconds: the disc's length. Found holds the one disc read.
    DiscLookupResult lookup(const QList<qint32>& trackOffsets, qint32 discSeconds) const;

    // The disc id the server is asked for.
    static quint32 discId(const QList<qint32>& trackOffsets, qint32 discSeconds);
};
