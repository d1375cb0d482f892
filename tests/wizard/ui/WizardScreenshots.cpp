// Opens the wizard on a throwaway store and saves a picture of every page,
// along the files path and the CD path, into the folder given. The files
// path reads real files made with the ffmpeg tool and imports them for real;
// the CD path lists a disc image, titles it from a CDDB server on 127.0.0.1
// and rips it for real.

#include "frame/AppPaths.h"
#include "frame/Messenger.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/Directory.h"
#include "frame/library/LibraryGlobals.h"
#include "frame/library/PlayoutAudio.h"
#include "platform/wizardframe/WizardFrame.h"
#include "platform/wizardframe/WizardPage.h"
#include "tests/platform/nct/MediaFixtures.h"
#include "tests/platform/cdripper/CueImage.h"
#include "tests/platform/freedb/FakeCddbServer.h"
#include "tests/support/TestStore.h"
#include "tests/support/Tunes.h"
#include "wizard/ImportAnalysis.h"
#include "platform/cdripper/CDRipper.h"
#include "wizard/ui/RipCDPage.h"
#include <QEventLoop>
#include <QTimer>
#include "wizard/ImportItemList.h"
#include "wizard/ui/ChooseSourcePage.h"
#include "wizard/ui/ImportFilesPage.h"
#include "frame/library/CartRecord.h"
#include <QPushButton>
#include "splash/frmSplash.h"
#include "wizard/ui/ImportResultsPage.h"
#include "wizard/ui/frmImportAudio.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextStream>

#include <cstdio>

namespace {
QString gOutput;
int gFailures = 0;

void save(QWidget& window, const QString& name);

// The same page at the smallest size the window can be made.
void saveSmallest(QWidget& window, const QString& name)
{
    const QSize size = window.size();
    window.resize(window.minimumSizeHint());
    save(window, name + QStringLiteral("-smallest"));
    window.resize(size);
}

void save(QWidget& window, const QString& name)
{
    QApplication::processEvents();
    const QString path = gOutput + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
        ++gFailures;
    } else {
        std::printf("%s\n", qPrintable(path));
    }
}

QString writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size() ? path : QString();
}

// A song long enough to fingerprint, tagged.
QString eveningTide(const QString& path)
{
    const QString wav = path + QStringLiteral(".source.wav");
    return fixtures::tune(wav, 3, 30)
            && fixtures::ffmpeg({"-i", wav, "-metadata", "title=Evening Tide", "-metadata", "artist=Harbour Lights",
                                 "-c:a", "libmp3lame", path})
        ? path
        : QString();
}

// An earlier import, as a cart the station has had for a while: its audio
// analysed after the fact, under a title of its own.
void earlierCart(const QString& number, const QString& file, const QString& title, const QString& artist)
{
    QString message;
    gPlayoutAudio->ImportAudioFile(number, file, false, 0, message);
    ImportAnalysis::analyseStoredCart(*gPlayoutAudio, number, {}, {}, &message);
    CartRecord earlier = *gPlayoutAudio->GetCart(number);
    earlier.Title = title;
    earlier.setArtist(artist);
    gPlayoutAudio->SaveCart(number, earlier);
}

// What a presenter might bring in: tagged and untagged files of every kind,
// a description file, and one file that is not audio at all.
QStringList makeSampleFiles(const QString& folder)
{
    QDir().mkpath(folder);
    TestWav tone;
    tone.seconds = 4;
    const QStringList made{
        fixtures::makeAudio(folder + "/Morning Jingle.wav", tone, {}),
        eveningTide(folder + "/Harbour Lights - Evening Tide.mp3"),
        writeText(folder + "/Cart 2040 Promo.mp3", "not audio at all"),
        fixtures::makeAudio(folder + "/Traffic Bed.ogg", tone, {"-c:a", "libvorbis"}),
        fixtures::makeAudio(folder + "/Weather Sting.wma", tone, {"-c:a", "wmav2"}),
    };
    writeText(folder + "/Weather Sting.CSV", "Title,Interpret,Intro\nWeather Sting,Station Voice,0:01.50\n");
    for (const QString& source : QDir(folder).entryList({"*.source.wav"}))
        QFile::remove(folder + "/" + source);
    return made;
}

bool openStore(const QString& cddbServer)
{
    QString error;
    const QString profile = QStringLiteral("Default");
    if (!TestStore::createProfile(profile, TestStore::SQLite, &error)
        || !TestStore::setSettings(profile, {{"AllowLinking", "true"}, {"FreeDBEnabled", "true"}, {"FirstCart", "1001"},
                                             {"FreeDBServer", cddbServer}, {"FreeDBEmail", "studio@example.org"}})) {
        std::fprintf(stderr, "cannot create the store: %s\n", qPrintable(error));
        return false;
    }
    return TestStore::openAsGlobals(profile) && gDirectory->CurrentUser();
}

void filesPath()
{
    frmImportAudio wizard;
    wizard.PrepareWizard(0, QString(), QString(), nullptr);
    wizard.show();
    save(wizard, QStringLiteral("0-welcome"));
    wizard.ctlWizard->next();
    save(wizard, QStringLiteral("files-1-source"));
    wizard.ctlWizard->next();
    const QStringList files = makeSampleFiles(QDir::tempPath() + QStringLiteral("/screenshot-files"));
    for (const QString& file : files)
        wizard.AddImportFile(file);
    save(wizard, QStringLiteral("files-2-files"));
    // Earlier imports for the search to find: one by its title, the same
    // song under a name nobody would search for by its audio.
    earlierCart(QStringLiteral("4711"), files.first(), QStringLiteral("Evening Tide (Radio Edit)"), QStringLiteral("Harbour Lights"));
    const QString copy = QDir::tempPath() + QStringLiteral("/screenshot-copy.wav");
    fixtures::ffmpeg({"-i", files.at(1), copy});
    earlierCart(QStringLiteral("5230"), copy, QStringLiteral("Track 07"), QStringLiteral("Unknown Artist"));
    wizard.fraImportFiles->cmdSearchForMatches->click();
    save(wizard, QStringLiteral("files-2-search"));
    saveSmallest(wizard, QStringLiteral("files-2-files"));
    wizard.ctlWizard->next();
    save(wizard, QStringLiteral("files-4-carts"));
    wizard.ctlWizard->next();
    save(wizard, QStringLiteral("files-5-format"));
    saveSmallest(wizard, QStringLiteral("files-5-format"));
    wizard.ctlWizard->next();
    save(wizard, QStringLiteral("files-6-summary"));
    wizard.ctlWizard->next(); // the file that is not audio stops the run
    save(wizard, QStringLiteral("files-7-failed"));
    wizard.ctlWizard->back();
    wizard.ctlWizard->back();
    wizard.ctlWizard->back();
    wizard.ctlWizard->back();
    wizard.fileList().setChecked(wizard.fileList().indexOf(QStringLiteral("f") + QDir::tempPath() + "/screenshot-files/Cart 2040 Promo.mp3"), false);
    save(wizard, QStringLiteral("files-2-after-the-failed-run"));
    wizard.ctlWizard->next();
    wizard.ctlWizard->next();
    wizard.ctlWizard->next();
    // The run lets the window's events through as it converts: the picture
    // is taken then, once a first item is in, with Stop pressable.
    bool taken = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &wizard, [&] {
        if (taken || !wizard.fraResults->txtResults->toPlainText().contains(QStringLiteral("...OK")))
            return;
        taken = true;
        save(wizard, QStringLiteral("files-7-importing"));
    });
    watch.start(5);
    wizard.ctlWizard->next(); // runs again with what is left, and this time succeeds
    if (!taken)
        ++gFailures;
    save(wizard, QStringLiteral("files-8-finished"));
    wizard.ctlWizard->finish();
}

// Lets the wizard's timers and the lookup's answers run for a while.
void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A disc image in the "drive", titled from a CDDB server on 127.0.0.1, and
// ripped for real.
void cdPath()
{
    frmImportAudio wizard;
    wizard.PrepareWizard(0, QString(), QString(), nullptr);
    wizard.show();
    wizard.ctlWizard->next();
    wizard.fraChoose->optRipCD->setChecked(true);
    save(wizard, QStringLiteral("cd-1-source"));
    wizard.ctlWizard->next();
    wait(700); // the drive watch sees the disc and reads it
    wizard.fraRipCD->cmdCDQueryCDDB->click();
    for (int row = 0; row < wizard.cdTrackList().count(); ++row)
        wizard.cdTrackList().setChecked(row, row != 2 && row < 4);
    save(wizard, QStringLiteral("cd-3-tracks"));
    saveSmallest(wizard, QStringLiteral("cd-3-tracks"));
    // The same song from an earlier session, for the search to find.
    QString message;
    gPlayoutAudio->ImportAudioFile(QStringLiteral("5120"), QDir::tempPath() + QStringLiteral("/screenshot-files/Morning Jingle.wav"),
                                   false, 0, message);
    CartRecord earlier = *gPlayoutAudio->GetCart(QStringLiteral("5120"));
    earlier.Title = QStringLiteral("Slow Ferry (Acoustic)");
    earlier.setArtist(QStringLiteral("The Quay Sisters"));
    gPlayoutAudio->SaveCart(QStringLiteral("5120"), earlier);
    wizard.fraRipCD->cmdSearchForMatches->click();
    save(wizard, QStringLiteral("cd-3-search"));
    wizard.ctlWizard->next();
    save(wizard, QStringLiteral("cd-4-carts"));
    wizard.ctlWizard->next();
    save(wizard, QStringLiteral("cd-5-format"));
    wizard.ctlWizard->next();
    save(wizard, QStringLiteral("cd-6-summary"));
    bool midway = false;
    QObject::connect(wizard.CDRipperX1, &CDRipper::RipStatus, &wizard, [&](int code, qint32) {
        if (code == CDRipper::Progress && wizard.CurrentItem == 2 && !midway) {
            midway = true;
            save(wizard, QStringLiteral("cd-7-importing"));
        }
    });
    wizard.ctlWizard->next();
    save(wizard, QStringLiteral("cd-8-finished"));
    wizard.ctlWizard->finish();
}
} // namespace

// The splash window half-way through start-up, as the tool shows it.
void splash()
{
    frmSplash window;
    window.setNumberIcons(3);
    window.SetIconInfo(1, QStringLiteral("localon"), QStringLiteral("Local Settings"));
    window.SetIconInfo(2, QStringLiteral("playout"), QStringLiteral("Audio Systems"));
    window.SetIconInfo(3, QStringLiteral("security"), QStringLiteral("User Security"));
    window.setCurrentAction(QStringLiteral("Opening Tarnwick Directory"));
    window.show();
    save(window, QStringLiteral("00-splash"));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Import Audio"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder for the pictures>\n", argv[0]);
        return 2;
    }
    gOutput = QString::fromLocal8Bit(argv[1]);
    // Four songs and a data track, in the "drive"; their titles on a CDDB server.
    const CueImage disc(QDir::tempPath(), QStringLiteral("screenshot-disc"),
                        {{75 * 8, true}, {75 * 6, true}, {75 * 3, true}, {75 * 7, true}, {75 * 4, false}});
    if (!disc.write())
        return 1;
    qputenv("ORVANE_CD_DEVICE", QFile::encodeName(disc.cuePath()));
    FakeCddbServer cddb(FakeCddbServer::Cddbp);
    cddb.artist = QStringLiteral("The Quay Sisters");
    cddb.title = QStringLiteral("Harbour Songs");
    cddb.year = QStringLiteral("2024");
    cddb.tracks = {QStringLiteral("The Quay Sisters - Northern Lines"), QStringLiteral("The Quay Sisters - Slow Ferry"),
                   QStringLiteral("Interlude"), QStringLiteral("The Quay Sisters - Lamplighter"), QString()};
    if (!QDir().mkpath(gOutput) || !openStore(cddb.address()))
        return 1;

    // Every question is answered Yes, so the runs start.
    ScriptedMessenger messenger;
    for (int i = 0; i < 20; ++i)
        messenger.answers << MessageAnswer::Yes;
    Messenger::install(&messenger);

    splash();
    filesPath();
    cdPath();

    Messenger::install(nullptr);
    gDirectory.reset();
    gPlayoutAudio.reset();
    gAudioSettings.reset();
    return gFailures == 0 ? 0 : 1;
}
