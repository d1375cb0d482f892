#pragma once
#include "cli/common/CommandLine.h"
#include "cli/common/StoreSession.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

class AudioSettings;
class PlayoutAudio;
class Directory;

// The administrator's tool for a Cartvault: `cartvault [--profile NAME] VERB ...`.
// Exit codes: 0 success, 1 failure (a message on stderr), 2 usage.
class CartvaultTool
{
public:
    enum Exit { Success = 0, Failure = 1, Usage = 2 };

    CartvaultTool();
    ~CartvaultTool();
    int run(const QStringList& arguments);

private:
    struct Verb {
        const char* name;
        const char* synopsis;
        const char* help;
        int (CartvaultTool::*handler)(const CommandLine&);
        QSet<QString> valueOptions;
        QSet<QString> flags;
    };
    static const QList<Verb>& verbs();

    int profileCreate(const CommandLine& args);
    int profileList(const CommandLine& args);
    int userAdd(const CommandLine& args);
    int userList(const CommandLine& args);
    int settingsGet(const CommandLine& args);
    int settingsSet(const CommandLine& args);
    int settingsList(const CommandLine& args);
    int importAudio(const CommandLine& args);
    int listCarts(const CommandLine& args);
    bool endWindow(const CommandLine& args, QDateTime& from, QDateTime& to) const;
    int setCart(const CommandLine& args);
    static QSet<QString> setOptions();
    int showCart(const CommandLine& args);
    int search(const CommandLine& args);
    int fingerprintMissing(const CommandLine& args);
    int duplicates(const CommandLine& args);
    int dropboxList(const CommandLine& args);
    int dropboxReset(const CommandLine& args);
    int exportCart(const CommandLine& args);
    int audit(const CommandLine& args);
    int analyse(const CommandLine& args);

    // Open the chosen profile's store or directory; false after printing why.
    bool openStore();
    bool openDirectory();

    int fail(const QString& message) const;
    int usage(const QString& message) const;
    void printHelp() const;
    void printVerbHelp(const Verb& verb) const;

    QString m_profileOption;
    StoreSession m_session;
    PlayoutAudio* m_audio = nullptr;
    Directory* m_directory = nullptr;
};
