#include "NCTLoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr int Modes = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_M | EBUR128_MODE_S;
constexpr size_t MomentarySteps = 4;  // 400 ms
constexpr size_t ShortTermSteps = 30; // 3 s

// Mean square energy (channel weighted) and loudness convert into each other
// as the recommendation defines it.
double energyOf(double lufs) { return std::isfinite(lufs) ? std::pow(10.0, (lufs + 0.691) / 10.0) : 0.0; }

std::optional<double> lufsOf(double energy)
{
    if (!(energy > 0))
        return std::nullopt;
    return -0.691 + 10.0 * std::log10(energy);
}

std::optional<double> finiteOrEmpty(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

struct NCTLoudnessMeter::State {
    struct Destroy {
        void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
    };
    std::unique_ptr<ebur128_state, Destroy> handle;
};

NCTLoudnessMeter::NCTLoudnessMeter() = default;
NCTLoudnessMeter::~NCTLoudnessMeter() = default;

bool NCTLoudnessMeter::start(qint32 sampleRate, qint32 channels)
{
    m_state.reset();
    m_stepEnergies.clear();
    m_maxMomentaryEnergy = m_maxShortTermEnergy = 0;
    m_inStep = 0;
    if (sampleRate < 10 || channels < 1)
        return false;
    ebur128_state* handle = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate), Modes);
    if (!handle)
        return false;
    if (!m_truePeak.start(sampleRate, channels))
        return false;
    m_state = std::make_unique<State>();
    m_state->handle.reset(handle);
    m_channels = channels;
    m_stepFrames = sampleRate / 10;
    return true;
}

// The blocks are cut at every 100 ms, so that the loudness of each step can
// be read once: momentary and short-term loudness are the means of the last
// 4 and 30 steps, which costs far less than reading 3 s back every 100 ms.
void NCTLoudnessMeter::add(const qint16* samples, qint64 frames)
{
    if (!m_state)
        return;
    m_truePeak.add(samples, frames);
    while (frames > 0) {
        const qint64 take = std::min(frames, m_stepFrames - m_inStep);
        ebur128_add_frames_short(m_state->handle.get(), samples, static_cast<size_t>(take));
        samples += take * m_channels;
        frames -= take;
        m_inStep += take;
        if (m_inStep == m_stepFrames)
            endOfStep();
    }
}

void NCTLoudnessMeter::endOfStep()
{
    m_inStep = 0;
    double lufs = -HUGE_VAL;
    ebur128_loudness_window(m_state->handle.get(), 100, &lufs);
    m_stepEnergies.push_back(energyOf(lufs));
    if (m_stepEnergies.size() > ShortTermSteps)
        m_stepEnergies.pop_front();
    // Until the windows are full they read as if silence came before.
    const auto sumOfLast = [this](size_t steps) {
        return std::accumulate(m_stepEnergies.end() - static_cast<std::ptrdiff_t>(std::min(steps, m_stepEnergies.size())),
                               m_stepEnergies.end(), 0.0);
    };
    m_maxMomentaryEnergy = std::max(m_maxMomentaryEnergy, sumOfLast(MomentarySteps) / MomentarySteps);
    m_maxShortTermEnergy = std::max(m_maxShortTermEnergy, sumOfLast(ShortTermSteps) / ShortTermSteps);
}

void NCTLoudnessMeter::finish() {}

LoudnessValues NCTLoudnessMeter::result() const
{
    LoudnessValues values;
    if (!m_state)
        return values;
    ebur128_state* state = m_state->handle.get();
    double integrated = -HUGE_VAL;
    ebur128_loudness_global(state, &integrated);
    values.integrated = finiteOrEmpty(integrated);
    double range = 0;
    if (values.integrated && ebur128_loudness_range(state, &range) == EBUR128_SUCCESS)
        values.range = finiteOrEmpty(range);
    values.truePeak = finiteOrEmpty(20.0 * std::log10(m_truePeak.peak()));
    values.maxMomentary = lufsOf(m_maxMomentaryEnergy);
    values.maxShortTerm = lufsOf(m_maxShortTermEnergy);
    return values;
}
