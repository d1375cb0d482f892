#pragma once
#include "wizard/FileImportHandler.h"
#include "wizard/FileImportOptions.h"
#include "wizard/ImportAnalysis.h"
#include "wizard/ImportContext.h"

#include "frame/library/AudioFormat.h"

#include <memory>

class CartImport;
class ImportItem;
class ImportItemList;
class ImportTargetHandler;
class cCopyAudioFileNCT;

// The file import run: works through the summary rows in order, converting
// or normalising where needed, hands each item's audio to the store, writes
// its titles and timing points, and deletes the source once its cart is
// saved when asked. Stops at the first failed item unless the options say to
// go on; a cart that holds audio without overwriting is skipped. Each item is one import of the store: the
// copy job writes into its incoming file, and audio and fields are committed
// together or not at all.
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
    using Outcome = FileImportHandler::Outcome;
    // How one item ended: its outcome and, for a failure, the reason.
    struct ItemEnd {
        Outcome outcome;
        QString error;
    };

    static QString notImportedMessage(const QStringList& files);
    bool startChecks(const ImportItemList& summary, ImportTargetHandler* target);
    void prepareConverters(const ImportItemList& summary);
    ItemEnd importItem(const ImportItem& row, const QString& path, ImportTargetHandler* target);
    ItemEnd importTransportFile(const ImportItem& row, const QString& path, const QString& cart, ImportTargetHandler* target);
    ItemEnd importAudio(const ImportItem& row, const QString& path, const QString& cart, bool cartsOwnFile,
                        ImportTargetHandler* target);
    bool needsConversion(const QString& path, std::shared_ptr<AudioFormat>& format) const;
    qint32 convert(const ImportItem& row, const QString& path, CartImport& import, std::shared_ptr<AudioFormat>& format);
    bool commit(CartImport& import, const QString& path, const QString& cart);
    ItemEnd cartInUse(const QString& path, const QString& cart);
    ItemEnd refusedAtStart(const QString& path, const QString& cart, const QString& error);
    ItemEnd storeRefused(const QString& path, const QString& cart, const QString& error);
    void deleteSource(const QString& path);
    int storeOptions() const;

    ImportContext m_context;
    FileImportOptions m_options;
    FileImportHandler& m_handler;
    ImportAnalysis m_analysis; // before the copy job, which shows it what it writes
    std::shared_ptr<cCopyAudioFileNCT> m_copyJob;
    AudioFormat m_convertFormat; // the target of conversions
};
