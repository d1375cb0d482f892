#pragma once
#include "frame/library/ProfileSettings.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// Keeps this process's drop-folder claims alive for as long as it exists.
// Renewal runs on a thread of its own with a store connection of its own:
// a conversion holds the importing thread, event loop and all, for as long
// as a long file takes, far beyond the lease. A process that is stopped or
// hangs as a whole renews nothing, and its claims pass to another watcher;
// should it wake up, its import cannot commit (DropboxMemory::recordImported).
class DropboxLease
{
public:
    explicit DropboxLease(const ProfileSettings& profile);
    ~DropboxLease(); // stops renewing and waits for the thread

    DropboxLease(const DropboxLease&) = delete;
    DropboxLease& operator=(const DropboxLease&) = delete;

private:
    void renewUntilStopped();

    ProfileSettings m_profile;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};
