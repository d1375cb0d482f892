#pragma once
#include "BatchHandler.h"
#include "wizard/CDTitleLookup.h"
#include "wizard/CDTitleOptions.h"
#include "wizard/FileImportOptions.h"

#include <QStringList>

class CommandLine;
class ImportItemList;
class StoreSession;

// `orvane-import-batch --cd`: lists the disc, titles it (from its CD-Text,
// then from a CDDB or MusicBrainz server with --lookup; a lookup that cannot
// be done rips nothing unless --lookup-optional), and rips the chosen tracks
// into carts through the same run as the wizard's CD page. Messages the run
// would show go to stderr.
class BatchCDRip : public CDTitleLookupHandler
{
public:
    BatchCDRip(StoreSession& session, const FileImportOptions& options, bool json, BatchHandler::Lines lines, bool dryRun);

    // The flags of the CD path; 0, or the usage exit code after printing why.
    int readOptions(const CommandLine& args);
    // Exit code: 0 ripped, 1 a track was not or the lookup could not be
    // done, 2 nothing usable to rip.
    int run();

    void driveWatch(bool) override {}
    void status(const QString&) override {}
    void titlesFound(const CDTitleProposal& proposal) override;
    void applyTitles() override {}

private:
    QString tickTracks(ImportItemList& tracks) const;
    void printTracks(const ImportItemList& tracks, const ImportItemList& summary) const;

    StoreSession& m_session;
    FileImportOptions m_options;
    CDTitleOptions m_titles;
    bool m_autoTop = false;
    bool m_lookup = false;
    bool m_verify = false;
    bool m_lookupOptional = false; // a lookup that fails still rips
    bool m_musicBrainz = false;    // the lookup asks MusicBrainz, not CDDB
    int m_release = 0;             // which of several releases, from 0
    bool m_json;
    BatchHandler::Lines m_lines;
    bool m_dryRun;
    QList<int> m_chosen; // track numbers; empty: every audio track
};
