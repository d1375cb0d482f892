#pragma once
#include "BatchHandler.h"
#include "DropFolderWatcher.h"
#include "cli/common/StoreSession.h"
#include "wizard/AudioDuplicates.h"
#include "wizard/FileImportOptions.h"
#include "wizard/ImportContext.h"
#include "wizard/ImportItem.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QStringList>
#include <memory>

class CommandLine;
class CartvaultStore;
class ImportItemList;

// `orvane-import-batch [options] FILE|FOLDER...`: the wizard's file import
// without a window, for engineers and scripts. Exit codes: 0 the run
// succeeded (skips are not failures), 1 an item failed, 2 bad usage.
class BatchImportTool
{
public:
    enum Exit { Success = 0, Failure = 1, Usage = 2 };
    int run(const QStringList& arguments);

private:
    int readOptions(const CommandLine& args);
    int readLevels(const CommandLine& args, const CartvaultStore& store);
    int readScheduleOptions(const CommandLine& args);
    bool addInputs(const QStringList& inputs, ImportItemList& files);
    bool importAll(ImportItemList& files, ImportItemList& summary, BatchHandler& handler,
                   const decltype(ImportContext::alsoCommit)& alsoCommit = {});
    int retakeLostRaces(ImportItemList& files, const BatchHandler& handler);
    void findMatches(ImportItemList& files);
    int readThreshold(const CommandLine& args);
    void findDuplicates(ImportItemList& files);
    int watch(const CommandLine& args);
    // One file of a drop folder, through the same pipeline as the others;
    // its claim becomes "imported" in the transaction that commits its cart.
    // A dropped file: its duplicates looked for, if asked, then imported.
    DropFolderWatcher::Result importOne(const DropboxMemory::File& file, DropboxMemory& memory);
    DropFolderWatcher::Result importDropped(const DropboxMemory::File& file, DropboxMemory& memory);
    void keepCartTitles(const ImportItemList& files, ImportItemList& summary) const;
    void printSummary(const ImportItemList& summary) const;
    void printJson(const BatchHandler* handler, bool succeeded) const;
    QJsonObject itemJson(const ImportItem& row, const BatchHandler* handler) const;
    QJsonArray matchesJson(const QString& key) const;
    QJsonObject skippedJson(const ImportItem& row, const char* outcome, const char* reason) const;
    int usage(const QString& message) const;

    FileImportOptions m_options;
    QList<ImportItem> m_planned; // the first summary: every item with the cart it was meant for
    StoreSession m_session;
    bool m_json = false;
    bool m_quiet = false;
    BatchHandler::Lines m_lines = BatchHandler::Lines::Items;
    bool m_dryRun = false;
    bool m_findMatches = false;
    bool m_skipMatching = false;
    QMap<QString, QStringList> m_matches; // by row key: the carts already holding such an item
    QList<ImportItem> m_skipped;         // rows not imported because they match
    bool m_findDuplicates = false;
    bool m_skipDuplicates = false;
    double m_threshold = FingerprintMatcher::kDefaultThreshold;
    std::unique_ptr<AudioDuplicates> m_duplicates; // the store's fingerprints, when duplicates are looked for
    QMap<QString, QList<AudioDuplicates::Duplicate>> m_duplicateCarts; // by row key
    QList<ImportItem> m_skippedDuplicates; // rows not imported because the store holds their audio
    QStringList m_undecodable;           // files of the folders given, refused for their names
};
