#pragma once
#include "wizard/FileImportHandler.h"
#include "wizard/FileImportOptions.h"
#include "wizard/ImportContext.h"

#include <memory>

class ImportItemList;
class ImportTargetHandler;
class cCopyAudioFileNCT;

// The file import run: works through the summary rows in order, converting
// or normalising where needed, hands each item's audio to the store, writes
// its titles and timing points, and deletes the source once its cart is
// saved when asked. Stops at the first failed item; a cart that holds audio
// without overwriting is skipped. Conversions go to a temporary file beside
// the cart's audio, which the store takes in whole or not at all.
class FileImportRun
{
public:
    FileImportRun(const ImportContext& context, const FileImportOptions& options, FileImportHandler& handler);
    ~FileImportRun();

    // files (may be null): the file list, whose rows are unticked as their
    // items are processed. target (may be null): told of each item.
    // True when no item failed (a stop between items is not a failure).
    bool RunFileImport(const ImportItemList& summary, ImportItemList* files, ImportTargetHandler* target);

    // The options as the run left them: linking is switched off when the run
    // converts, deleting when it links; the window shows its boxes that way.
    const FileImportOptions& options() const { return m_options; }

private:
    ImportContext m_context;
    FileImportOptions m_options;
    FileImportHandler& m_handler;
    std::shared_ptr<cCopyAudioFileNCT> m_copyJob;
};
