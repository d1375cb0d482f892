#pragma once
#include "platform/cdripper/CDRipper.h"
#include "platform/freedb/DiscRecord.h"

#include <QString>
#include <QStringList>

class CartvaultStore;
class Directory;
class ImportItemList;

// Where and as whom a title lookup asks.
struct CDTitleLookupOptions {
    enum class Service { Cddb, MusicBrainz };
    Service service = Service::Cddb;
    QString server; // the CDDB server
    QString email;
    QString clientName;
    QString clientVersion;
    int timeoutSeconds = 10;
    QString musicBrainzServer;
    int release = 0; // which of several releases is applied, from 0

    // The store's server, e-mail and time-out; the program's name and version.
    static CDTitleLookupOptions fromStore(const CartvaultStore& store);
    // How the program introduces itself to MusicBrainz: name, version and
    // the station's contact.
    QString userAgent() const;
};

// What a found disc proposes for the CD page's title fields.
struct CDTitleProposal {
    QStringList separators; // for the separator boxes, first box first
    QStringList titles;     // the disc title list, first entry to be selected
    QStringList artists;    // the artist list, likewise
    QStringList releases;   // the releases to choose from when there are several
    int release = 0;        // the one applied
};

// Whoever shows a lookup: the CD page, the batch tool, a test.
class CDTitleLookupHandler
{
public:
    virtual ~CDTitleLookupHandler() = default;
    // The drive watch pauses while a lookup runs, so a disc change cannot
    // empty the rows under it.
    virtual void driveWatch(bool running) = 0;
    // The lookup panel's text; an empty text hides the panel.
    virtual void status(const QString& text) = 0;
    // A disc was found: its proposals for the title fields.
    virtual void titlesFound(const CDTitleProposal& proposal) = 0;
    // The rows' tag texts are new: recompute their titles.
    virtual void applyTitles() = 0;
};

// Gets the titles of the disc in the drive from a CDDB or MusicBrainz
// server and writes them into the CD rows' tag texts ("CDn" rows, n from 1).
class CDTitleLookup
{
public:
    CDTitleLookup(ImportItemList& rows, CDTitleLookupHandler& handler, Directory* directory);

    // One lookup: Found when the server knew the disc, NoMatch when it
    // did not, Failed when it could not be asked (no e-mail address, no
    // connection, no answer in time, an answer that makes no sense) or has
    // no release options.release.
    DiscLookupResult::Outcome run(const CDTitleLookupOptions& options, const CDRipper::DiscIdentity& disc);
    // True while a lookup runs: titles are not recomputed meanwhile, since
    // the rows' tag texts are half rewritten.
    bool isBusy() const { return m_busy; }
    // Applies another of the releases the last lookup found; false when
    // there is no such release.
    bool chooseRelease(int release);

    // The tag text of a titled track.
    static QString trackTagText(const QString& title, const FreeDBDisc& disc);
    // Writes a disc's track titles into the rows' tag texts; what it
    // proposes for the title fields.
    static CDTitleProposal applyDisc(ImportItemList& rows, const FreeDBDisc& disc);

private:
    void audit(const QString& text, int flag) const;
    static DiscLookupResult askCddb(const CDTitleLookupOptions& options, const CDRipper::DiscIdentity& identity);
    static DiscLookupResult askMusicBrainz(const CDTitleLookupOptions& options, const CDRipper::DiscIdentity& identity);
    void finish(const QString& server, int release);
    void applyRelease(int release);

    ImportItemList& m_rows;
    CDTitleLookupHandler& m_handler;
    Directory* m_directory;
    bool m_busy = false;
    DiscLookupResult m_result; // the last lookup's
    QString m_auditTitle = QStringLiteral("CDDB Queried");
};
