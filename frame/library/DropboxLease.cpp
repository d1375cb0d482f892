#include "frame/library/DropboxLease.h"

#include "frame/library/CartDatabase.h"
#include "frame/library/DropboxMemory.h"

#include <chrono>

namespace {
// A third of the lease: one renewal lost to a busy store does not lose the claim.
constexpr std::chrono::seconds kRenewEvery{DropboxMemory::kLeaseSeconds / 3};
} // namespace

DropboxLease::DropboxLease(const ProfileSettings& profile)
    : m_profile(profile)
    , m_thread([this] { renewUntilStopped(); })
{
}

DropboxLease::~DropboxLease()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

// A renewal that fails is tried again at the next turn, on a new connection:
// the store may be back by then.
void DropboxLease::renewUntilStopped()
{
    std::shared_ptr<CartDatabase> database;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, kRenewEvery, [this] { return m_stopping; })) {
        lock.unlock();
        if (!database)
            database = CartDatabase::openNew(m_profile);
        if (database && !DropboxMemory(database).renewClaims())
            database.reset();
        lock.lock();
    }
}
