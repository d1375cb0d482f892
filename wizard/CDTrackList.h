#pragma once
#include "wizard/CDTitleLookup.h"
#include "wizard/CDTitleOptions.h"

#include <functional>
#include <optional>

class CDRipper;
class ImportItem;
class ImportItemList;

// The CD track list: reading the disc in the drive into rows, titling the
// rows from their Title tags, and following the drive as discs come and go.
class CDTrackList
{
public:
    // The row of track `track`: key "CD<n>", tag text Title="Track <n>",
    // unticked.
    static ImportItem trackRow(const CDRipper& ripper, int track);

    // Empties the list and reads the disc into it; true when the disc's
    // contents could be read (the list then holds its tracks). A drive that
    // cannot be opened is released again. An error while reading is shown as
    // "Error# <number> <description>" and leaves the rows read so far;
    // `failed` then says so.
    static bool ReadCDTracks(CDRipper& ripper, ImportItemList& tracks, bool* failed = nullptr);

    // Titles the rows from the disc's CD-Text, under the same rules as a
    // lookup's answer; what it proposes for the title fields. Nothing when
    // the disc has no track titles.
    static std::optional<CDTitleProposal> applyDiscText(const CDRipper& ripper, ImportItemList& tracks);

    // Works out TITLE, ARTIST and DESC of every row from its Title tag.
    // Nothing changes while a title lookup is running.
    static void ApplyCDTitles(ImportItemList& tracks, const CDTitleOptions& options, bool lookupRunning);

    // One look at the drive, as the page's timer takes it: `status` is the
    // drive's DriveStatus. A disc taken out empties the list; a disc put in
    // is read once (readTracks), not on every look.
    static void DriveStatusStep(int status, ImportItemList& tracks, bool& tracksLoaded,
                                const std::function<void()>& readTracks,
                                const std::function<void(bool)>& enableControls);
};
