#pragma once
#include "wizard/FileImportOptions.h"

class ImportItemList;
class PlayoutAudio;

// Builds the summary: one row per ticked source row with the cart it goes
// into, in sequence from the start cart or from the number in each file's
// name. A row that gets no cart keeps an empty DEST, marked emphasised.
// The row's ISRC and metadata (META) go with it, with the options' air times
// and category over the file's; ENDS shows when the cart goes off air.
// Nothing is reserved in the store; the run checks each cart again.
class SummaryBuilder
{
public:
    // filesSource: the source is the file list (SOURCE from FILENAME), else
    // the CD track list (SOURCE from TRACK; carts only in sequence).
    static void BuildSummary(const ImportItemList& source, bool filesSource, ImportItemList& summary,
                             const FileImportOptions& options, PlayoutAudio& audio);
};
