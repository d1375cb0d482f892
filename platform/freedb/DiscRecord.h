#pragma once
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What an online service knows about one disc (a CDDB record, a
// MusicBrainz release) or what the disc says of itself (CD-Text).
struct FreeDBDisc {
    QString artist;
    QString title;
    QString genre;
    QString notes;
    QString year; // empty when the server gives none
    int trackCount = 0;
    QStringList trackTitles; // one per track, empty where the server has none
    QStringList isrcs;       // one per track where the source gives them, else empty
    QString country;         // where a MusicBrainz release was issued; tells releases apart

    // A track's title with its own artist, in the form CDDB records give
    // it ("artist / title"); the title alone when either is missing.
    static QString trackName(const QString& artist, const QString& title, const QString& separator = QStringLiteral("/"))
    {
        return title.isEmpty() || artist.isEmpty() ? title : artist + QLatin1Char(' ') + separator + QLatin1Char(' ') + title;
    }
    // Every track's name from its artist and title (pairs), joined by the
    // first of "/", "\" and "_" that none of them holds: the title rules
    // then split "AC/DC" from "Back in Black", not inside the band's name.
    static QStringList trackNames(const QList<QPair<QString, QString>>& artistsAndTitles);
};

// How a disc lookup ended. A server that could not be asked, or whose
// answer makes no sense, is a failure, not a disc it does not know.
struct DiscLookupResult {
    enum class Outcome { Found, NoMatch, Failed };
    Outcome outcome = Outcome::Failed;
    QList<FreeDBDisc> discs; // Found: one or more, the best first
    QString failure;         // Failed: why, as a person reads it

    static DiscLookupResult failed(const QString& why) { return {Outcome::Failed, {}, why}; }
};
