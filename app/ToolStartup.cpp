#include "app/ToolStartup.h"

#include "app/ToolCommandLine.h"
#include "frame/GetParameter.h"
#include "frame/Messenger.h"
#include "frame/WriteLog.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/AuditLog.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/Directory.h"
#include "frame/library/DirectoryUser.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/LibraryDialogs.h"
#include "frame/library/LibraryGlobals.h"
#include "frame/library/OrvaneLibrary.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/PlayoutSystem.h"
#include "frame/library/RegistryTools.h"
#include "frame/library/SystemInfo.h"
#include "frame/library/TimeTools.h"
#include "splash/frmSplash.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

namespace {
std::unique_ptr<frmSplash> gSplash;
constexpr int kToolKind = 4; // the audio import tool, in the audit log

QString applicationId() { return QCoreApplication::applicationName(); }

void log(const QString& message, int indent = LogIndentNone) { WriteLog(message, 5, indent); }

void caption(bool showSplash, const QString& text)
{
    if (showSplash && gSplash)
        gSplash->setCurrentAction(text);
}

bool finishWith(const QString& message)
{
    log(message, LogOutdentBefore);
    return false;
}

// Why start-up cannot go on, where a person or a script will see it: the
// library's own dialog (not with /SILENT), one line on stderr, and the log.
bool finishWith(const QString& message, const QString& reason)
{
    log(reason);
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(reason));
    if (!gSilent)
        LibraryDialogs::current().showProblem(reason);
    return finishWith(message);
}

// The number a text begins with, rounded; 0 when it begins with none or
// with one no 32-bit count can hold.
int leadingWholeNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || !(trimmed.at(0).isDigit() || trimmed.at(0) == QLatin1Char('.') || trimmed.at(0) == QLatin1Char('-')
                               || trimmed.at(0) == QLatin1Char('+')))
        return 0;
    const double number = GeneralTools::RoundHalfEven(GeneralTools::LeadingNumber(trimmed));
    return std::abs(number) <= std::numeric_limits<qint32>::max() ? static_cast<int>(number) : 0;
}


bool checkLibrarySettings(bool showSplash, ProfileSettings& profile)
{
    caption(showSplash, QStringLiteral("Checking Orvane Settings"));
    log(QStringLiteral("Orvane Library - CheckSettings"));
    switch (gLibrary->CheckSettings(true, 0)) {
    case 2: log(QStringLiteral("Settings OK")); break;
    case 3:
        log(QStringLiteral("Discovered - Saving Profile"));
        profile.SaveProfile(gProfileName);
        break;
    case 1:
        caption(showSplash, QStringLiteral("Displaying Orvane Settings"));
        log(QStringLiteral("Failed - Displaying Settings"));
        if (!gLibrary->ShowSettings())
            return finishWith(QStringLiteral("Cancelled so finished"));
        if (profile.DataLocation.isEmpty())
            return finishWith(QStringLiteral("No Data location so finished"));
        log(QStringLiteral("Saving Profile"));
        profile.SaveProfile(gProfileName);
        break;
    default: break;
    }
    return true;
}

bool openDirectory(bool showSplash)
{
    caption(showSplash, QStringLiteral("Creating Directory Interface"));
    log(QStringLiteral("Creating Tarnwick Directory Interface"));
    gDirectory = std::make_unique<Directory>();
    gDirectory->DebugLevel = GeneralTools::DebugLevel();
    gDirectory->ProfileName = gProfileName;
    gDirectory->DirectoryMode = 7;
    caption(showSplash, QStringLiteral("Opening Tarnwick Directory"));
    log(QStringLiteral("Opening Default Directory"));
    if (gDirectory->OpenDefault(true) != 0)
        return finishWith(QStringLiteral("Failed so finished"), gDirectory->lastError());
    gDirectory->AuditLog().ToolStarted(kToolKind, applicationId());
    gLibrary->Directory = gDirectory.get();
    return true;
}

void openAudioSettings(bool showSplash, const QString& options)
{
    caption(showSplash, QStringLiteral("Creating Audio Settings interface"));
    log(QStringLiteral("Creating Audio Settings Interface"));
    gAudioSettings = std::make_unique<AudioSettings>();
    gAudioSettings->DebugLevel = GeneralTools::DebugLevel();
    caption(showSplash, QStringLiteral("Loading Audio Settings Profile"));
    log(QStringLiteral("Loading Profile '%1' into Audio Settings Interface").arg(gProfileName));
    gAudioSettings->LoadProfile(gProfileName);
    const int players = leadingWholeNumber(GetParameter(options, QStringLiteral("/PLAYERS"), QStringLiteral("="), QStringLiteral(" ")));
    if (players != gAudioSettings->NumberPlayers() && players >= 1) {
        log(QStringLiteral("Overriding NumberPlayers to %1").arg(players));
        gAudioSettings->setNumberPlayers(players);
    }
}

bool checkCartvault(bool showSplash)
{
    caption(showSplash, QStringLiteral("Creating Cartvault interface"));
    log(QStringLiteral("Creating Cartvault Interface"));
    CartvaultStore store;
    store.DebugLevel = GeneralTools::DebugLevel();
    caption(showSplash, QStringLiteral("Loading Cartvault Profile"));
    log(QStringLiteral("Loading Profile '%1' into Cartvault Interface").arg(gProfileName));
    store.LoadProfile(gProfileName);
    caption(showSplash, QStringLiteral("Checking Cartvault Settings"));
    log(QStringLiteral("Cartvault Library - CheckSettings"));
    switch (store.CheckSettings()) {
    case 2: log(QStringLiteral("Settings OK")); break;
    case 3:
        log(QStringLiteral("Discovered - Saving Profile"));
        store.SaveProfile(gProfileName);
        break;
    case 1:
        caption(showSplash, QStringLiteral("Displaying Cartvault Locations"));
        log(QStringLiteral("Failed - Displaying Settings"));
        if (!store.ShowLocations())
            return finishWith(QStringLiteral("Cancelled so finished"));
        if (store.Location(1).isEmpty())
            return finishWith(QStringLiteral("No primary Audio location so finished"));
        log(QStringLiteral("Saving Profile"));
        store.SaveProfile(gProfileName);
        break;
    default: break;
    }
    return true;
}

bool createPlayoutViews(bool showSplash)
{
    caption(showSplash, QStringLiteral("Creating Playout Interfaces"));
    log(QStringLiteral("Creating Playout Interface"));
    auto system = PlayoutSystem::create();
    const int level = GeneralTools::DebugLevel();

    caption(showSplash, QStringLiteral("Creating Playout Interface (General)"));
    log(QStringLiteral("Creating Playout Interface (General)"));
    gPlayoutGeneral = system->General();
    gPlayoutGeneral->DebugLevel = level;
    gPlayoutGeneral->Library = gLibrary.get();

    caption(showSplash, QStringLiteral("Creating Playout Interface (Audio)"));
    log(QStringLiteral("Creating Playout Interface (Audio)"));
    gPlayoutAudio = system->Audio();
    gPlayoutAudio->DebugLevel = level;
    gPlayoutAudio->setAudioSettings(gAudioSettings.get());
    if (!gPlayoutAudio->Initialise())
        return finishWith(QStringLiteral("Couldn't Initialise Playout System Audio interface so Finished"),
                          gPlayoutAudio->lastError());

    caption(showSplash, QStringLiteral("Creating Playout Interface (Logging)"));
    log(QStringLiteral("Creating Playout Interface (Logging)"));
    gPlayoutLogging = system->Logging();
    gPlayoutLogging->DebugLevel = level;
    return true;
}

void showSplashWindow(int securityMode)
{
    gSplash = std::make_unique<frmSplash>();
    gSplash->setNumberIcons(securityMode == 0 ? 2 : 3);
    gSplash->SetIconInfo(1, QStringLiteral("local"), QStringLiteral("Local Settings"));
    gSplash->SetIconInfo(2, QStringLiteral("playout"), QStringLiteral("Audio Systems"));
    if (securityMode != 0)
        gSplash->SetIconInfo(3, QStringLiteral("security"), QStringLiteral("User Security"));
    gSplash->setCurrentAction(QStringLiteral("Initialising Tool"));
    gSplash->show();
    QCoreApplication::processEvents();
}
} // namespace

frmSplash* StartupSplash() { return gSplash.get(); }

void CloseStartupSplash()
{
    if (gSplash)
        gSplash->close();
    gSplash.reset();
}

void ReadDebugMode()
{
    if (GeneralTools::DebugLevel() != 0)
        return;
    const QString commandLine = ToolCommandLine::current();
    if (commandLine.contains(QLatin1String("/DEBUG"), Qt::CaseInsensitive)) {
        gDebugSwitch = true;
        const QString mode = GetParameter(commandLine.trimmed().toUpper(), QStringLiteral("/DEBUG"), QStringLiteral("="), QStringLiteral(" "));
        int level = 10;
        if (mode == QLatin1String("NORMAL") || mode == QLatin1String("MEDIUM"))
            level = 5;
        else if (mode == QLatin1String("NONE") || mode == QLatin1String("OFF"))
            level = 0;
        GeneralTools::setDebugLevel(level);
        return;
    }
    gDebugSwitch = false;
    GeneralTools::setDebugLevel(
        RegistryTools::GetRegLong(RegistryTools::LocalMachine, RegistryTools::productKey(), QStringLiteral("DebugMode"), 0));
}

bool InitialiseTool(int securityMode, bool showSplash, QString& profileName)
{
    log(QStringLiteral("Started InitialiseTool"), LogIndentAfter);
    ReadDebugMode();
    if (!SystemInfo::StartupCheckA(true, QString()) || !SystemInfo::StartupCheckB(true))
        return false;

    const QString commandLine = ToolCommandLine::current();
    GeneralTools::setStartupOptions(commandLine.toUpper() + QLatin1Char(' '));
    const QString options = GeneralTools::StartupOptions();
    gSilent = options.contains(QLatin1String("/SILENT"));
    showSplash = showSplash && !gSilent;
    log(QStringLiteral("Read StartupOptions ") + options);

    if (showSplash)
        showSplashWindow(securityMode);
    int icon = 1;
    if (showSplash)
        gSplash->SetIconInfo(icon++, QStringLiteral("localon"), QStringLiteral("Local Settings"));
    caption(showSplash, QStringLiteral("Creating Orvane Libraries"));
    log(QStringLiteral("Creating Orvane Libraries"));
    gLibrary = std::make_unique<OrvaneLibrary>();
    gLibrary->DebugLevel = GeneralTools::DebugLevel();
    gLibrary->DebugSwitch = gDebugSwitch;

    if (!profileName.isEmpty())
        gProfileName = profileName;
    const QString forced = GetParameter(commandLine, QStringLiteral("/Profile"), QStringLiteral("="), QStringLiteral(" "));
    if (!forced.isEmpty())
        gProfileName = forced;
    log(QStringLiteral("Getting Profile Name")
        + (gProfileName.isEmpty() ? QString() : QStringLiteral(" (Forcing '%1')").arg(gProfileName)));
    const QString wanted = gProfileName;
    gProfileName = gLibrary->ChooseProfile(gProfileName, true);
    profileName = gProfileName;
    if (gProfileName.isEmpty() && !wanted.isEmpty())
        return finishWith(QStringLiteral("No Profile chosen so finished"),
                          QStringLiteral("There is no profile '%1' (the profiles are: %2)")
                              .arg(wanted, ProfileSettings::profileNames().join(QStringLiteral(", "))));
    if (gProfileName.isEmpty() && !gLibrary->lastError().isEmpty())
        return finishWith(QStringLiteral("No Profile chosen so finished"), gLibrary->lastError());
    if (gProfileName.isEmpty())
        return finishWith(QStringLiteral("No Profile chosen so finished"));
    log(QStringLiteral("Profile Chosen: '%1'").arg(gProfileName));

    caption(showSplash, QStringLiteral("Loading Profile '%1'").arg(gProfileName));
    log(QStringLiteral("Loading Profile '%1' into Orvane Library").arg(gProfileName));
    ProfileSettings& profile = gLibrary->Profile();
    profile.LoadProfile(gProfileName);
    if (!checkLibrarySettings(showSplash, profile))
        return false;
    if (securityMode != 0 && !openDirectory(showSplash))
        return false;
    openAudioSettings(showSplash, options);
    if (!checkCartvault(showSplash) || !createPlayoutViews(showSplash))
        return false;
    if (showSplash) {
        gSplash->SetIconInfo(icon++, QStringLiteral("playouton"), QStringLiteral("Audio Systems"));
        gSplash->SetIconInfo(icon++, QStringLiteral("securityon"), QStringLiteral("User Security"));
        gSplash->setCurrentAction(QStringLiteral("Finished Initialising Tool"));
        TimeTools::Pause(0.5);
    }
    log(QStringLiteral("Finished OK"), LogOutdentBefore);
    return true;
}

void TerminateTool()
{
    log(QStringLiteral("Start TerminateTool "), LogIndentAfter);
    gPlayoutAudio.reset();
    gPlayoutGeneral.reset();
    gPlayoutLogging.reset();
    gAudioSettings.reset();
    if (gLibrary) {
        gLibrary->Directory = nullptr;
        gLibrary.reset();
    }
    if (gDirectory) {
        gDirectory->EndSession();
        gDirectory->AuditLog().ToolStopped(kToolKind, applicationId());
        gDirectory->Close();
        TimeTools::Pause(0.3);
        gDirectory.reset();
    }
    log(QStringLiteral("Finished OK"), LogOutdentBefore);
}

void DropLibraryObjects()
{
    gPlayoutAudio.reset();
    gPlayoutGeneral.reset();
    gPlayoutLogging.reset();
    gAudioSettings.reset();
    gLibrary.reset();
    gDirectory.reset();
}

bool CanEditCarts(bool silent)
{
    auto refuse = [silent](const QString& message) {
        if (!silent)
            ShowMessage(message, MessageIcon::Exclamation, MessageButtons::Ok);
        return false;
    };
    if (!gDirectory)
        return refuse(QStringLiteral("You cannot edit any Carts because the Tarnwick Directory has not been opened yet"));
    if (!gDirectory->CurrentUser())
        return refuse(QStringLiteral("You cannot edit any Carts because you are not Logged in to the Tarnwick Directory"));
    if (gDirectory->CurrentUser()->Rights().CartRights < 0)
        return refuse(QStringLiteral("You do not have permissions to edit any carts on the Cartvault"));
    return true;
}

int Main(const std::function<void()>& runWizard)
{
    QString profile;
    if (!InitialiseTool(2, true, profile)) {
        CloseStartupSplash();
        DropLibraryObjects();
        return 1;
    }
    QCoreApplication::processEvents();
    CloseStartupSplash();
    if (!CanEditCarts(false)) {
        DropLibraryObjects();
        return 1;
    }
    runWizard();
    TerminateTool();
    return 0;
}
