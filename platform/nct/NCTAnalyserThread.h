#pragma once
#include "platform/nct/NCTSampleAnalyser.h"

#include <QList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Shows the blocks it is given to other analysers on a thread of its own, so
// that measuring rides on the second core while the caller goes on decoding
// and writing. The queue holds a few blocks: a caller that runs ahead waits
// for room rather than piling up audio. With one core there is nothing to
// gain, and the analysers are called directly.
class NCTAnalyserThread : public NCTSampleAnalyser
{
public:
    explicit NCTAnalyserThread(const QList<NCTSampleAnalyser*>& analysers);
    ~NCTAnalyserThread() override;

    // Starts the analysers on the caller's thread. One that will not start
    // is left out (its results stay empty) and start answers false.
    bool start(qint32 sampleRate, qint32 channels) override;
    void add(const qint16* samples, qint64 frames) override;
    // Returns once every analyser has seen every block and finished.
    void finish() override;

private:
    void work();
    void stopWorker();

    QList<NCTSampleAnalyser*> m_given;
    QList<NCTSampleAnalyser*> m_analysers; // those that started
    qint32 m_channels = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<qint16>> m_queue;
    bool m_closing = false;
    std::thread m_worker;
};
