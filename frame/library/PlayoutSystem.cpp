#include "frame/library/PlayoutSystem.h"

#include "frame/library/PlayoutAudio.h"

std::shared_ptr<PlayoutSystem> PlayoutSystem::create()
{
    std::shared_ptr<PlayoutSystem> system(new PlayoutSystem());
    system->m_self = system;
    return system;
}

std::shared_ptr<PlayoutGeneral> PlayoutSystem::General()
{
    auto view = std::make_shared<PlayoutGeneral>();
    view->m_system = m_self.lock();
    return view;
}

std::shared_ptr<PlayoutAudio> PlayoutSystem::Audio()
{
    // The audio view holds its own store connection; it needs nothing else
    // of the system object.
    return std::make_shared<PlayoutAudio>();
}

std::shared_ptr<PlayoutLogging> PlayoutSystem::Logging()
{
    auto view = std::make_shared<PlayoutLogging>();
    view->m_system = m_self.lock();
    return view;
}
