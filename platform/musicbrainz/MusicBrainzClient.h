#pragma once
#include "platform/freedb/DiscRecord.h"

#include <QUrl>

// Asks a MusicBrainz server which releases hold a disc, by the disc id of its
// table of contents. Like the CDDB client it blocks while the caller's thread
// keeps its events running (except user input). Requests of the whole process
// are spaced at least a second apart, as the service asks of its clients.
class MusicBrainzClient
{
public:
    QString server;    // "https://musicbrainz.org"
    QString userAgent; // "Orvane/3.0.0 ( studio@example.org )"
    int timeoutSeconds = 10;

    // The disc id of a table of contents: each track's start and the
    // lead-out, in frames with the 150-frame lead-in; tracks numbered from 1.
    // The closing data track of an enhanced CD (endsWithData) is not part of
    // the id. Empty when libdiscid refuses the table.
    static QString discId(QList<qint32> trackOffsets, qint32 leadOut, bool endsWithData = false);

    // Found: every release holding the disc, as the server lists them, each
    // with the tracks of the medium that is this disc.
    DiscLookupResult lookup(const QList<qint32>& trackOffsets, qint32 leadOut, bool endsWithData) const;

    // What a person choosing among releases reads: "Title - Artist (year, country)".
    static QString releaseLabel(const FreeDBDisc& release);

private:
    DiscLookupResult ask(const QUrl& url, const QString& discId) const;
};
