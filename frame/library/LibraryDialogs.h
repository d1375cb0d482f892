#pragma once
#include <QString>
#include <QStringList>

class AudioFormat;
class ProfileSettings;
class CartvaultStore;

// Everything the library asks a person goes through this interface. The
// wizard installs Qt dialogs; without them (batch use, tests, no display)
// every question is answered "cancelled", so nothing waits for nobody.
class LibraryDialogs
{
public:
    virtual ~LibraryDialogs() = default;

    // Picks one of `profiles`; empty = cancelled.
    virtual QString chooseProfile(const QStringList& profiles, const QString& suggested) = 0;
    // Edits a profile's data location and database; false = cancelled.
    virtual bool editProfile(ProfileSettings& profile) = 0;
    // Edits the store's audio locations; false = cancelled.
    virtual bool editLocations(CartvaultStore& store) = 0;
    // Chooses an audio format among the types of the mask allowedTypes;
    // false = cancelled, format unchanged.
    virtual bool chooseFormat(AudioFormat& format, qint32 allowedTypes, const QString& title) = 0;
    // Chooses a folder; empty = cancelled.
    virtual QString browseForFolder(const QString& title, const QString& startFolder) = 0;
    // Tells why the library cannot be used (a store that will not open, a
    // profile that does not exist), naming the store and the database's own
    // words. Nobody to tell: nothing happens.
    virtual void showProblem(const QString&) {}

    static LibraryDialogs& current();
    // Not owned; nullptr restores the non-interactive answers.
    static void install(LibraryDialogs* dialogs);
};

class NoLibraryDialogs : public LibraryDialogs
{
public:
    QString chooseProfile(const QStringList&, const QString&) override { return {}; }
    bool editProfile(ProfileSettings&) override { return false; }
    bool editLocations(CartvaultStore&) override { return false; }
    bool chooseFormat(AudioFormat&, qint32, const QString&) override { return false; }
    QString browseForFolder(const QString&, const QString&) override { return {}; }
};
