#pragma once
#include "platform/cdripper/CDRipper.h"

#include <QString>
#include <QStringList>

class CartvaultStore;
class Directory;
class ImportItemList;
struct FreeDBDisc;

// Where and as whom a title lookup asks.
struct CDTitleLookupOptions {
    QString server;
    QString email;
    QString clientName;
    QString clientVersion;
    int timeoutSeconds = 10;

    // The store's server and e-mail; the program's name and version.
    static CDTitleLookupOptions fromStore(const CartvaultStore& store);
};

// What a found disc proposes for the CD page's title fields.
struct CDTitleProposal {
    QStringList separators; // for the separator boxes, first box first
    QStringList titles;     // the disc title list, first entry to be selected
    QStringList artists;    // the artist list, likewise
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

// Gets the titles of the disc in the drive from a CDDB server and writes
// them into the CD rows' tag texts ("CDn" rows, n from 1).
class CDTitleLookup
{
public:
    CDTitleLookup(ImportItemList& rows, CDTitleLookupHandler& handler, Directory* directory);

    // One lookup; true when the server knew the disc.
    bool run(const CDTitleLookupOptions& options, const CDRipper::DiscIdentity& disc);
    // True while a lookup runs: titles are not recomputed meanwhile, since
    // the rows' tag texts are half rewritten.
    bool isBusy() const { return m_busy; }

    // The tag text of a titled track.
    static QString trackTagText(const QString& title, const FreeDBDisc& disc);

private:
    void audit(const QString& text, int flag) const;
    CDTitleProposal applyDisc(const FreeDBDisc& disc);

    ImportItemList& m_rows;
    CDTitleLookupHandler& m_handler;
    Directory* m_directory;
    bool m_busy = false;
};
