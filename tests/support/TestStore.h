#pragma once
#include "frame/library/AudioSettings.h"
#include "frame/library/PlayoutAudio.h"

#include <QString>
#include <functional>
#include <memory>

// Stores for tests: a profile on SQLite (in the test's temp data folder) or
// on a fresh database of the throwaway PostgreSQL cluster named by
// ORVANE_TEST_PG.
class TestStore
{
public:
    enum Backend { SQLite, PostgreSQL };

    static bool postgresAvailable();
    // Saves profile `name` without a store: its data location does not exist
    // yet, and on PostgreSQL its database is new and empty. False with the
    // reason in `error`.
    static bool saveProfile(const QString& name, Backend backend, QString* error);
    // Saves profile `name` with a new, empty store.
    static bool createProfile(const QString& name, Backend backend, QString* error);
    // Changes store settings (by their administrator names) and saves them.
    static bool setSettings(const QString& name, const QList<QPair<QString, QString>>& settings);

    // A ready playout audio view on the profile.
    struct Session {
        std::unique_ptr<AudioSettings> settings;
        std::shared_ptr<PlayoutAudio> audio;
    };
    static Session open(const QString& name);

    // The steps of an import a fault can stop (ORVANE_STORE_FAULT), as test
    // rows: columns "step" and "replaced" (whether the cart then holds the new audio).
    static void addImportFaultRows();
    // Both backends as test rows: column "backend" (a Backend).
    static void addBackendRows();

    // Opens the profile as a tool's start-up would leave it: the process-wide
    // audio settings, playout audio view and directory. False when any fails.
    static bool openAsGlobals(const QString& name);
};
