#pragma once
#include "platform/nct/NCTAnalyserThread.h"

#include <QList>

#include <memory>
#include <vector>

// Shows the blocks it is given to each analyser on a thread of that
// analyser's own: a loudness meter and a fingerprinter then take a core each
// beside the copy, where one thread would run them one after the other.
class NCTAnalyserThreads : public NCTSampleAnalyser
{
public:
    explicit NCTAnalyserThreads(const QList<NCTSampleAnalyser*>& analysers);

    // False when an analyser would not start (it is left out).
    bool start(qint32 sampleRate, qint32 channels) override;
    void add(const qint16* samples, qint64 frames) override;
    // Returns once every analyser has seen every block and finished.
    void finish() override;

private:
    std::vector<std::unique_ptr<NCTAnalyserThread>> m_threads;
};
