#pragma once
#include "frame/library/AudioFormat.h"

#include <QString>
#include <memory>

class CartDatabase;

// The audio settings of a profile's store: the default (house) format and
// the number of players.
class AudioSettings
{
public:
    int DebugLevel = 0;

    // Reads the settings of the profile's store; false when it cannot be opened
    // (the defaults stay then).
    bool LoadProfile(const QString& name);
    QString profileName() const { return m_profileName; }

    // A session's own override (e.g. from the command line) is not saved.
    qint32 NumberPlayers() const { return m_numberPlayers; }
    void setNumberPlayers(qint32 players) { m_numberPlayers = players; }

    void GetDefaultFormat(AudioFormat& format) const { format = m_defaultFormat; }
    // Stores a new house format for the whole store.
    bool SaveDefaultFormat(const AudioFormat& format);

private:
    QString m_profileName;
    qint32 m_numberPlayers = 4;
    AudioFormat m_defaultFormat;
    std::shared_ptr<CartDatabase> m_database;
};
