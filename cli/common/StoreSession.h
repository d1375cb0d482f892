#pragma once
#include <QString>
#include <memory>

class AudioSettings;
class Directory;
class PlayoutAudio;

// A profile's store opened the way the command-line tools open it: the named
// profile, or the only one. Nothing is made: with no profile at all the tools
// refuse (`cartvault profile create` makes one). A script's choice is not
// remembered as the wizard's next profile.
class StoreSession
{
public:
    StoreSession();
    ~StoreSession();

    // Chooses the profile and checks its settings; false with the reason in error().
    bool openProfile(const QString& profileOption);
    // The profile, then the store's audio view.
    bool openStore(const QString& profileOption);
    // The profile, then the store's directory with the system user logged in.
    bool openDirectory(const QString& profileOption);

    QString profile() const { return m_profile; }
    QString error() const { return m_error; }
    AudioSettings* settings() const { return m_settings.get(); }
    PlayoutAudio* audio() const { return m_audio.get(); }
    Directory* directory() const { return m_directory.get(); }

private:
    bool fail(const QString& why);

    QString m_profile;
    QString m_error;
    std::unique_ptr<AudioSettings> m_settings;
    std::shared_ptr<PlayoutAudio> m_audio;
    std::unique_ptr<Directory> m_directory;
};
