#include "platform/nct/NCTAnalyserThreads.h"

NCTAnalyserThreads::NCTAnalyserThreads(const QList<NCTSampleAnalyser*>& analysers)
{
    for (NCTSampleAnalyser* analyser : analysers)
        m_threads.push_back(std::make_unique<NCTAnalyserThread>(QList<NCTSampleAnalyser*>{analyser}));
}

bool NCTAnalyserThreads::start(qint32 sampleRate, qint32 channels)
{
    bool all = true;
    for (const auto& thread : m_threads)
        all = thread->start(sampleRate, channels) && all;
    return all;
}

void NCTAnalyserThreads::add(const qint16* samples, qint64 frames)
{
    for (const auto& thread : m_threads)
        thread->add(samples, frames);
}

void NCTAnalyserThreads::finish()
{
    for (const auto& thread : m_threads)
        thread->finish();
}
