#pragma once
#include "frame/library/StoreDefaults.h"

#include <QString>
#include <QStringList>
#include <memory>

class CartDatabase;

// The Cartvault's store-wide settings: audio locations, the cart range and
// the tools' defaults. They live in the store's database, so every
// workstation of a station sees the same. Changes take effect when a tool
// next loads the profile.
class CartvaultStore
{
public:
    int DebugLevel = 0;

    // Reads the settings of the profile's store. A store that has no primary
    // audio location yet gets <data location>/audio, discovered but not saved.
    // Never makes a store: false, with the reason, when there is none.
    bool LoadProfile(const QString& name);
    // Makes the store of profile `name` (saved, or on a first run the
    // discovered default): its data location, database and schema, the
    // system user as administrator, and its audio folder, then reads it as
    // LoadProfile does (the audio location discovered, saved by the caller).
    // A profile whose store exists already gets that store. The only way a
    // store comes to be: `cartvault profile create` and the first run.
    bool CreateStore(const QString& name);
    // Needs a store administrator; refuses a cart range that would leave out
    // carts holding audio.
    bool SaveProfile(const QString& name);
    // 1 = settings bad (no usable primary location), 2 = OK, 3 = found but unsaved.
    int CheckSettings() const;
    // Lets a person edit the audio locations; false = cancelled.
    bool ShowLocations();

    // Audio location n (1 = primary, where carts' audio files are kept).
    QString Location(int n) const { return m_locations.value(n - 1); }
    void setLocation(int n, const QString& folder);
    int locationCount() const { return static_cast<int>(m_locations.size()); }

    qint64 StoreSize = 999999; // scales the search's progress; defaults to the last cart
    qint64 FirstCart = 1;
    qint64 LastCart = 999999;
    qint32 CartNumberFlags = 0x1000;
    bool AllowLinking = false;
    double NormaliseDefault = 0; // percent; below 1 = do not normalise by default
    // How imports normalise: to a peak percentage, or to a loudness (LUFS)
    // with the true peak kept at or below a ceiling (dBTP).
    bool NormaliseLoudness = false;
    double LoudnessTarget = StoreDefaults::kLoudnessTarget;
    double TruePeakCeiling = StoreDefaults::kTruePeakCeiling;
    bool AutoTopDefault = false;
    bool FreeDBEnabled = false;
    QString FreeDBServer;
    QString FreeDBEmail;
    bool AccurateRipVerify = false; // verify every CD rip against the server below
    QString AccurateRipServer;
    int CDReadOffset = 0; // samples the drive reads late (early when negative)
    int LookupTimeout = StoreDefaults::kLookupTimeout; // seconds a CDDB or MusicBrainz lookup waits
    QString MusicBrainzServer = StoreDefaults::kMusicBrainzServer;
    int LockTimeout = StoreDefaults::kLockTimeout; // seconds a writer waits for a cart or the store

    // The settings an administrator may read and change by name (the
    // cartvault tool). Names are matched without regard to case.
    static QStringList settingNames();
    QString settingText(const QString& name) const;
    // Checks and sets one value (not saved until SaveProfile); false with a
    // reason for an unknown name or a bad value.
    bool setSettingText(const QString& name, const QString& value, QString* error);

    QString lastError() const { return m_lastError; }
    std::shared_ptr<CartDatabase> database() const { return m_database; }

private:
    bool setLevel(const QString& key, const QString& value, QString* error);
    bool readSettings(std::shared_ptr<CartDatabase> database, const QString& dataLocation);
    bool cartsFitRange(QString* why) const;

    QStringList m_locations;
    bool m_discovered = false;
    QString m_defaultFormat;
    qint32 m_numberPlayers = 4;
    QString m_lastError;
    std::shared_ptr<CartDatabase> m_database;
};
