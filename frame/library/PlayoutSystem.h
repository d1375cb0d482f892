#pragma once
#include <memory>

class OrvaneLibrary;
class PlayoutAudio;
class PlayoutGeneral;
class PlayoutLogging;

// One playout-system object seen through three views. Each view keeps the
// object alive, so they may be released in any order.
class PlayoutSystem
{
public:
    static std::shared_ptr<PlayoutSystem> create();

    std::shared_ptr<PlayoutGeneral> General();
    std::shared_ptr<PlayoutAudio> Audio();
    std::shared_ptr<PlayoutLogging> Logging();

private:
    PlayoutSystem() = default;
    std::weak_ptr<PlayoutSystem> m_self;
};

class PlayoutGeneral
{
public:
    int DebugLevel = 0;
    OrvaneLibrary* Library = nullptr;

private:
    friend class PlayoutSystem;
    std::shared_ptr<PlayoutSystem> m_system;
};

// Play logging is not part of importing; the view exists so that every
// tool connects the same way.
class PlayoutLogging
{
public:
    int DebugLevel = 0;

private:
    friend class PlayoutSystem;
    std::shared_ptr<PlayoutSystem> m_system;
};
