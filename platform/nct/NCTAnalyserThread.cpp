#include "NCTAnalyserThread.h"

namespace {
// About four seconds of audio in the blocks the copy job passes.
constexpr size_t QueuedBlocks = 4;
} // namespace

NCTAnalyserThread::NCTAnalyserThread(const QList<NCTSampleAnalyser*>& analysers)
    : m_given(analysers)
{
}

NCTAnalyserThread::~NCTAnalyserThread() { stopWorker(); }

bool NCTAnalyserThread::start(qint32 sampleRate, qint32 channels)
{
    stopWorker();
    m_channels = channels;
    m_analysers.clear();
    for (NCTSampleAnalyser* analyser : std::as_const(m_given))
        if (analyser->start(sampleRate, channels))
            m_analysers.append(analyser);
    if (!m_analysers.isEmpty() && std::thread::hardware_concurrency() > 1) {
        m_closing = false;
        m_worker = std::thread(&NCTAnalyserThread::work, this);
    }
    return m_analysers.size() == m_given.size();
}

void NCTAnalyserThread::add(const qint16* samples, qint64 frames)
{
    if (frames <= 0 || m_analysers.isEmpty())
        return;
    if (!m_worker.joinable()) {
        for (NCTSampleAnalyser* analyser : std::as_const(m_analysers))
            analyser->add(samples, frames);
        return;
    }
    std::vector<qint16> block(samples, samples + frames * m_channels);
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < QueuedBlocks; });
    m_queue.push_back(std::move(block));
    m_changed.notify_all();
}

void NCTAnalyserThread::finish()
{
    stopWorker();
    for (NCTSampleAnalyser* analyser : std::as_const(m_analysers))
        analyser->finish();
}

void NCTAnalyserThread::work()
{
    for (;;) {
        std::vector<qint16> block;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
            if (m_queue.empty())
                return; // closing, and everything seen
            block = std::move(m_queue.front());
            m_queue.pop_front();
            m_changed.notify_all();
        }
        const qint64 frames = static_cast<qint64>(block.size()) / m_channels;
        for (NCTSampleAnalyser* analyser : std::as_const(m_analysers))
            analyser->add(block.data(), frames);
    }
}

// Lets the worker see what is queued, then ends it.
void NCTAnalyserThread::stopWorker()
{
    if (!m_worker.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_worker.join();
}
