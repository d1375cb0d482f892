#include "frame/library/AudioSettings.h"

#include "frame/library/CartDatabase.h"
#include "frame/library/ProfileSettings.h"
#include "frame/library/StoreDefaults.h"

bool AudioSettings::LoadProfile(const QString& name)
{
    m_profileName = name;
    ProfileSettings profile;
    profile.LoadProfile(name);
    m_database = CartDatabase::shared(profile);
    m_defaultFormat.setSettingsText(StoreDefaults::kDefaultFormat);
    if (!m_database)
        return false;
    AudioFormat stored;
    if (stored.setSettingsText(m_database->setting(StoreDefaults::kDefaultFormatKey, StoreDefaults::kDefaultFormat)))
        m_defaultFormat = stored;
    m_numberPlayers = m_database->setting(StoreDefaults::kNumberPlayersKey, QString::number(StoreDefaults::kNumberPlayers)).toInt();
    return true;
}

bool AudioSettings::SaveDefaultFormat(const AudioFormat& format)
{
    if (!m_database)
        return false;
    const bool saved = m_database->write(
        [&] { return m_database->putSetting(StoreDefaults::kDefaultFormatKey, format.SettingsText()); });
    if (saved)
        m_defaultFormat = format;
    return saved;
}
