#include "cli/common/StoreSession.h"

#include "frame/library/AudioSettings.h"
#include "frame/library/Directory.h"
#include "frame/library/OrvaneLibrary.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/ProfileSettings.h"

StoreSession::StoreSession() = default;
StoreSession::~StoreSession() = default;

bool StoreSession::fail(const QString& why)
{
    m_error = why;
    return false;
}

bool StoreSession::openProfile(const QString& profileOption)
{
    if (!m_profile.isEmpty())
        return true;
    OrvaneLibrary library;
    const QString chosen = library.ChooseProfile(profileOption, false);
    if (chosen.isEmpty() && !profileOption.isEmpty())
        return fail(QStringLiteral("there is no profile '%1' (see 'cartvault profile list')").arg(profileOption));
    if (chosen.isEmpty() && ProfileSettings::profileNames().isEmpty())
        return fail(QStringLiteral("there is no profile yet: 'cartvault profile create NAME --data DIR' makes one"));
    if (chosen.isEmpty())
        return fail(QStringLiteral("there are several profiles: choose one with --profile NAME"));
    library.Profile().LoadProfile(chosen);
    if (library.CheckSettings(true, 0) == 1)
        return fail(QStringLiteral("the settings of profile '%1' are not usable (data location '%2')")
                        .arg(chosen, library.Profile().DataLocation));
    m_profile = chosen;
    return true;
}

bool StoreSession::openStore(const QString& profileOption)
{
    if (m_audio)
        return true;
    if (!openProfile(profileOption))
        return false;
    m_settings = std::make_unique<AudioSettings>();
    m_settings->LoadProfile(m_profile);
    auto audio = std::make_shared<PlayoutAudio>();
    audio->setAudioSettings(m_settings.get());
    if (!audio->Initialise())
        return fail(audio->lastError());
    m_audio = audio;
    return true;
}

bool StoreSession::openDirectory(const QString& profileOption)
{
    if (m_directory)
        return true;
    if (!openProfile(profileOption))
        return false;
    auto directory = std::make_unique<Directory>();
    directory->ProfileName = m_profile;
    if (directory->OpenDefault(false) != 0)
        return fail(directory->lastError());
    m_directory = std::move(directory);
    return true;
}
