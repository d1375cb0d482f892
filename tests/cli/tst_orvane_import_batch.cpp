#include "platform/musicbrainz/MusicBrainzClient.h"
#include "tests/platform/cdripper/CueImage.h"
#include "tests/platform/freedb/FakeCddbServer.h"
#include "tests/platform/musicbrainz/FakeMusicBrainzServer.h"
#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/JsonShape.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"
#include "tests/support/Tunes.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <csignal>

namespace {
// A CD's own format, so a ripped cart's audio is the disc's bytes.
const QString kCdFormat = "FormatType=2 SampleRate=44100 Channels=2 FormatTag=1 BitsPerSample=16";
} // namespace

// The batch importer as a script uses it, on files the ffmpeg tool made,
// checked through the administrator's tool.
class BatchImportTest : public QObject
{
    Q_OBJECT

    struct Result {
        int exitCode;
        QByteArray out;
        QByteArray err;
    };

    static QString tool(const char* name) { return TestEnvironment::tool(name); }
    static Result run(const char* name, const QStringList& arguments)
    {
        QProcess process;
        process.start(tool(name), arguments);
        process.waitForFinished(180000);
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    static QString folder(const QString& name) { return TestEnvironment::folder(name); }

    static TestWav tone(double seconds)
    {
        TestWav wav;
        wav.seconds = seconds;
        return wav;
    }

    static QJsonObject cart(const QString& profile, const QString& number)
    {
        return QJsonDocument::fromJson(run("cartvault", {"--profile", profile, "show", number, "--json"}).out).object();
    }

private slots:
    void initTestCase()
    {
        if (!fixtures::toolsPresent())
            QSKIP("the ffmpeg tools are not installed");
        QCOMPARE(run("cartvault", {"profile", "create", "Batch", "--data", folder("batch-store")}).exitCode, 0);
    }

    // Every accepted kind lands in its cart with the titles the wizard
    // would give it; a description file beside an MP3 beats its tags and
    // brings the intro, which the cart keeps.
    void filesOfEveryKindLandWithTheirTitles()
    {
        const QString in = folder("in");
        QVERIFY(!fixtures::makeAudio(in + "/Blue Moon - Ella.wav", tone(1.0), {}).isEmpty());
        QVERIFY(!fixtures::makeAudio(in + "/c.ogg", tone(1.5), {"-c:a", "libvorbis"}).isEmpty());
        QVERIFY(!fixtures::makeAudio(in + "/d.wma", tone(1.2), {"-c:a", "wmav2"}).isEmpty());
        QVERIFY(!fixtures::makeAudio(in + "/tagged.mp3", tone(2.0),
                                     {"-metadata", "title=Tag Title", "-metadata", "artist=Tag Artist", "-c:a", "libmp3lame"})
                     .isEmpty());
        QVERIFY(!TestEnvironment::writeFile(in + "/tagged.CSV", "Title,Interpret,Intro\nSide Title,Side Artist,0:01.00\n").isEmpty());
        for (const QString& made : QDir(in).entryList({"*.source.wav"}))
            QFile::remove(in + "/" + made);

        const Result result = run("orvane-import-batch", {"--profile", "Batch", "--start-cart", "100", "--json", in});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        const QJsonArray items = QJsonDocument::fromJson(result.out).object().value("items").toArray();
        QCOMPARE(items.size(), 4);
        for (const QJsonValue item : items)
            QCOMPARE(item.toObject().value("outcome").toString(), QString("imported"));

        QCOMPARE(cart("Batch", "100").value("title").toString(), QString("Blue Moon - Ella"));
        const QJsonObject mp3 = cart("Batch", "103");
        QCOMPARE(mp3.value("title").toString(), QString("Side Title"));
        QCOMPARE(mp3.value("artist").toString(), QString("Side Artist"));
        QCOMPARE(mp3.value("intro_end").toDouble(), 1.0);
        QVERIFY(qAbs(mp3.value("audio_length").toDouble() - 2.0) < 0.1);
        QVERIFY(qAbs(cart("Batch", "102").value("audio_length").toDouble() - 1.2) < 0.1);
    }

    // What is in the store already: `cartvault search` over the whole store,
    // and the batch tool leaving such files out when asked. (Runs after the
    // import above, which filled carts 100 to 103.)
    void matchingItemsAreFoundAndSkipped()
    {
        const QJsonArray found = QJsonDocument::fromJson(run("cartvault", {"--profile", "Batch", "search", "--title", "blue moon - ella (live)", "--json"}).out).array();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.at(0).toObject().value("number"), QJsonValue(100));

        const QString again = folder("again");
        QVERIFY(tone(0.5).write(again + "/Blue Moon - Ella.wav"));
        QVERIFY(tone(0.5).write(again + "/Something New.wav"));
        const Result result = run("orvane-import-batch", {"--profile", "Batch", "--skip-matching", "--json", again});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QStringList outcomes;
        for (const QJsonValue item : QJsonDocument::fromJson(result.out).object().value("items").toArray())
            outcomes << item.toObject().value("outcome").toString() + " " + item.toObject().value("matches").toArray().at(0).toVariant().toString();
        QCOMPARE(outcomes, QStringList({"imported ", "skipped-match 100"}));
    }

    // Two importers started together from one start cart: each file gets a
    // cart of its own, nothing is overwritten, and both succeed.
    void racingBatchesGiveEachFileItsOwnCart_data()
    {
        TestStore::addBackendRows();
    }

    void racingBatchesGiveEachFileItsOwnCart()
    {
        QFETCH(int, backend);
        if (backend == TestStore::PostgreSQL && !TestStore::postgresAvailable())
            QSKIP("no PostgreSQL cluster (run through scripts/with-postgres)");
        const QString profile = QString("Race %1").arg(QTest::currentDataTag());
        QString error;
        QVERIFY2(TestStore::createProfile(profile, TestStore::Backend(backend), &error), qPrintable(error));
        QSet<QString> lengths;
        QList<QProcess*> importers;
        for (const char* side : {"a", "b"}) {
            const QString in = folder(QString("race-%1-%2").arg(QTest::currentDataTag(), QLatin1String(side)));
            for (int i = 0; i < 4; ++i) {
                const double seconds = 0.2 + 0.1 * (lengths.size());
                lengths << QString::number(seconds, 'f', 1);
                QVERIFY(tone(seconds).write(in + QString("/%1%2.wav").arg(QLatin1String(side)).arg(i)));
            }
            auto* process = new QProcess(this);
            process->start(tool("orvane-import-batch"), {"--profile", profile, "--format", "keep", "--quiet", in});
            importers << process;
        }
        for (QProcess* process : importers) {
            QVERIFY(process->waitForFinished(180000));
            QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
        }
        QSet<QString> imported;
        const QJsonArray carts = QJsonDocument::fromJson(run("cartvault", {"--profile", profile, "list", "--json"}).out).array();
        for (const QJsonValue c : carts)
            imported << QString::number(c.toObject().value("audio_length").toDouble(), 'f', 1);
        QCOMPARE(carts.size(), 8);
        QCOMPARE(imported, lengths);
    }

    // Bug: --delete-source deleting a file another cart plays when that file
    // is imported into a cart of its own, whatever path leads to it.
    void deleteSourceKeepsWhatACartPlays_data()
    {
        QTest::addColumn<int>("backend");
        QTest::addColumn<QString>("number"); // 310 holds its own audio, 320 links a file through a linked folder
        QTest::addColumn<bool>("throughLink"); // the source named through a link of its own
        QTest::newRow("own audio") << int(TestStore::SQLite) << "310" << false;
        QTest::newRow("own audio through a link") << int(TestStore::SQLite) << "310" << true;
        QTest::newRow("linked audio through a link") << int(TestStore::SQLite) << "320" << true;
        QTest::newRow("linked audio through a link, postgresql") << int(TestStore::PostgreSQL) << "320" << true;
    }

    void deleteSourceKeepsWhatACartPlays()
    {
        QFETCH(int, backend);
        QFETCH(QString, number);
        QFETCH(bool, throughLink);
        if (backend == TestStore::PostgreSQL && !TestStore::postgresAvailable())
            QSKIP("no PostgreSQL cluster (run through scripts/with-postgres)");
        const QString profile = QString("Keep %1").arg(QTest::currentDataTag()).remove(',');
        const QString music = folder(profile + " music");
        QString error;
        QVERIFY2(TestStore::createProfile(profile, TestStore::Backend(backend), &error), qPrintable(error));
        QVERIFY(TestStore::setSettings(profile, {{"AllowLinking", "true"}}));
        QVERIFY(tone(1.0).write(music + "/song.wav") && QFile::link(music, music + " link"));
        QCOMPARE(run("cartvault", {"--profile", profile, "import", "310", music + "/song.wav"}).exitCode, 0);
        QCOMPARE(run("cartvault", {"--profile", profile, "import", "320", "--link", music + " link/song.wav"}).exitCode, 0);
        const QString played = cart(profile, number).value("audio_file").toString();
        const QFileInfo real(QFileInfo(played).canonicalFilePath());
        const QString alias = folder(profile) + "/alias";
        QVERIFY(QFile::link(real.path(), alias));
        const QString source = throughLink ? alias + "/" + real.fileName() : played;
        const QByteArray bytes = TestEnvironment::contents(played);

        const Result result = run("orvane-import-batch", {"--profile", profile, "--format", "keep", "--delete-source",
                                                          source, "--start-cart", "330", "--verbose"});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QVERIFY2(result.out.contains(QString("Deleting '%1'...Kept - it is played by cart %2\n").arg(real.fileName(), number).toUtf8()),
                 result.out.constData());
        QCOMPARE(cart(profile, number).value("audio_file").toString(), played);
        QCOMPARE(TestEnvironment::contents(played), bytes);
        QVERIFY(cart(profile, "330").value("audio_length").toDouble() > 0.9);
    }

    // A disc image ripped from a script with its titles from a CDDB server:
    // the audio tracks land bit-exact in their carts, the data track is left;
    // the greeting carries the version (it went out empty once).
    void cdTracksAreRippedWithLookedUpTitles()
    {
        const CueImage image(folder("disc"), "disc", {{75 * 2, true}, {75, true}, {75, false}});
        QVERIFY(image.write());
        FakeCddbServer cddb(FakeCddbServer::Cddbp);
        cddb.artist = "The Quay Sisters";
        cddb.title = "Harbour Songs";
        cddb.tracks = {"The Quay Sisters - Northern Lines", "The Quay Sisters - Slow Ferry", ""};
        for (const QStringList& setting : {QStringList{"FreeDBEnabled", "true"}, QStringList{"FreeDBServer", cddb.address()},
                                           QStringList{"FreeDBEmail", "studio@example.org"}})
            QCOMPARE(run("cartvault", QStringList{"--profile", "Batch", "settings", "set"} + setting).exitCode, 0);

        // The server answers on this thread's events, so wait without blocking them.
        QProcess rip;
        QEventLoop wait;
        connect(&rip, &QProcess::finished, &wait, &QEventLoop::quit);
        rip.start(tool("orvane-import-batch"),
                  {"--profile", "Batch", "--cd", "--device", image.cuePath(), "--lookup", "--start-cart", "600", "--format",
                   "FormatType=2 SampleRate=44100 Channels=2 FormatTag=1 BitsPerSample=16", "--json"});
        wait.exec();
        QVERIFY2(rip.exitCode() == 0, rip.readAllStandardError().constData());
        const QJsonArray items = QJsonDocument::fromJson(rip.readAllStandardOutput()).object().value("items").toArray();
        QCOMPARE(items.size(), 2);
        // The server is greeted with the tool's name and version.
        const QString version = QString::fromUtf8(run("orvane-import-batch", {"--version"}).out).trimmed();
        QVERIFY2(cddb.commands.filter("cddb hello").value(0).endsWith(" " + version), qPrintable(cddb.commands.join('\n')));

        for (int track = 1; track <= 2; ++track) {
            const QJsonObject ripped = cart("Batch", QString::number(599 + track));
            QCOMPARE(ripped.value("artist").toString(), QString("The Quay Sisters"));
            QCOMPARE(ripped.value("title").toString(), track == 1 ? QString("Northern Lines") : QString("Slow Ferry"));
            QFile audio(ripped.value("audio_file").toString());
            QVERIFY(audio.open(QIODevice::ReadOnly));
            QCOMPARE(audio.readAll().mid(44), image.trackBytes(track));
        }
        QVERIFY(cart("Batch", "602").value("audio_length").toDouble() < 0);

        // The audit log hears of the lookup and of each track, as from the wizard.
        const Result audit = run("cartvault", {"--profile", "Batch", "audit", "--json"});
        QStringList titles;
        for (const QJsonValue entry : QJsonDocument::fromJson(audit.out).array())
            titles << entry.toObject().value("title").toString();
        QCOMPARE(titles.count("CDDB Queried"), 1);
        QCOMPARE(titles.count("Import CD Track"), 2);
    }

    // Bug: a disc's run printing the wizard's results lines where a script
    // reads one line per item, or naming a track by its list key.
    void cdRunPrintsOneLinePerTrack()
    {
        const CueImage image(folder("line-disc"), "disc", {{75, true}});
        QVERIFY(image.write());
        const Result result = run("orvane-import-batch", {"--profile", "Batch", "--cd", "--device", image.cuePath(),
                                                          "--start-cart", "1950"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QByteArray("imported\ttrack 01 'Track 1'\tcart 1950\n"));
    }

    // Bug: --dry-run --json printing text a script cannot read.
    void cdDryRunAsJson()
    {
        const CueImage image(folder("dry-disc"), "disc", {{75, true}, {75, false}});
        QVERIFY(image.write());
        const Result result = run("orvane-import-batch", {"--profile", "Batch", "--cd", "--device", image.cuePath(),
                                                          "--start-cart", "700", "--dry-run", "--json"});
        QCOMPARE(result.exitCode, 0);
        const QJsonArray tracks = QJsonDocument::fromJson(result.out).object().value("tracks").toArray();
        QCOMPARE(tracks.size(), 2);
        QCOMPARE(tracks.at(0).toObject().value("cart"), QJsonValue(700));
        QCOMPARE(tracks.at(1).toObject().value("cart"), QJsonValue());
        QVERIFY(cart("Batch", "700").value("audio_length").toDouble() < 0);
    }

    // A disc whose CUE sheet carries CD-Text, ISRCs and a catalogue number,
    // ripped without a lookup: titles and artists come from the CD-Text (a
    // track's own performer beats the disc's), each cart keeps its track's
    // ISRC and the disc's MCN. Catches CD-Text ignored, a performer taken for
    // the title, ISRCs shifted by a track, and a code left on a cart it no
    // longer belongs to; and a performer whose name holds "/" cut in two.
    void cdTextAndCodesReachTheCarts()
    {
        const auto disc = [](const QString& secondIsrc) {
            CueImage image(folder("cdtext-disc"), "disc",
                           {{75, true, CueImage::Audio::Noise, "Northern Lines", "", "GBAYE0601498"},
                            {75, true, CueImage::Audio::Square, "Slow Ferry", "Guest Choir", secondIsrc},
                            {75, false}});
            image.title = "Harbour Songs";
            image.performer = "Quay/Sisters";
            image.catalog = "5012345678900";
            return image;
        };
        const QStringList rip{"--profile", "Batch", "--cd", "--device", disc({}).cuePath(), "--start-cart", "670",
                              "--overwrite", "--format", kCdFormat};
        // The second cart first gets audio with an ISRC, then audio without one.
        for (const QString& secondIsrc : {QString("USRC17607839"), QString()}) {
            QVERIFY(disc(secondIsrc).write());
            const Result ripped = run("orvane-import-batch", rip);
            QVERIFY2(ripped.exitCode == 0, ripped.err);
        }

        const QJsonObject first = cart("Batch", "670");
        QCOMPARE(first.value("title").toString(), QString("Northern Lines"));
        QCOMPARE(first.value("artist").toString(), QString("Quay/Sisters"));
        QCOMPARE(first.value("isrc").toString(), QString("GBAYE0601498"));
        QCOMPARE(first.value("mcn").toString(), QString("5012345678900"));
        const QJsonObject second = cart("Batch", "671");
        QCOMPARE(second.value("title").toString(), QString("Slow Ferry"));
        QCOMPARE(second.value("artist").toString(), QString("Guest Choir"));
        QCOMPARE(second.value("isrc").toString(), QString());
        QFile audio(second.value("audio_file").toString());
        QVERIFY(audio.open(QIODevice::ReadOnly));
        QCOMPARE(audio.readAll().mid(44), disc({}).trackBytes(2));
    }

    // A disc titled from the second of its MusicBrainz releases: its carts
    // get that release's titles and artists and the ISRCs MusicBrainz knows
    // (before the disc's own). Catches --release ignored or off by one.
    void cdTitledFromAChosenMusicBrainzRelease()
    {
        CueImage image(folder("mb-disc"), "disc", {{150, true, CueImage::Audio::Tone, "", "", "GBAYE0601498"}, {75, true}});
        QVERIFY(image.write());
        FakeMusicBrainzServer server;
        server.discId = MusicBrainzClient::discId({150, 300}, 375); // the image's table of contents
        server.releases = {{"Harbour Songs", "The Quay Sisters", "1999", "GB", {{"Northern Lines"}, {"Slow Ferry"}}},
                           {"Harbour Songs", "The Quay Sisters", "2009", "GB",
                            {{"Northern Lines", "", "GBAYE0900001"}, {"Slow Ferry", "Guest Choir", "GBAYE0900002"}}}};
        QCOMPARE(run("cartvault", {"--profile", "Batch", "settings", "set", "MusicBrainzServer", server.address()}).exitCode, 0);

        QProcess rip;
        QEventLoop wait;
        connect(&rip, &QProcess::finished, &wait, &QEventLoop::quit);
        rip.start(tool("orvane-import-batch"), {"--profile", "Batch", "--cd", "--device", image.cuePath(), "--lookup=musicbrainz",
                                                "--release", "2", "--start-cart", "680", "--format", kCdFormat});
        wait.exec();
        QVERIFY2(rip.exitCode() == 0, rip.readAllStandardError().constData());
        const QJsonObject second = cart("Batch", "681");
        QCOMPARE(second.value("title").toString(), QString("Slow Ferry"));
        QCOMPARE(second.value("artist").toString(), QString("Guest Choir"));
        QCOMPARE(second.value("isrc").toString(), QString("GBAYE0900002"));
        QCOMPARE(cart("Batch", "680").value("isrc").toString(), QString("GBAYE0900001"));
    }

    // A lookup asked for and not done (the server refuses the connection)
    // rips nothing and fails; --lookup-optional rips with "Track n" titles.
    // Catches a dead server read as an unknown disc, and carts filled untitled.
    void cdLookupThatCannotBeDoneRipsNothing()
    {
        const CueImage image(folder("lookup-disc"), "disc", {{75, true}});
        QVERIFY(image.write());
        FakeCddbServer cddb(FakeCddbServer::Cddbp);
        cddb.setFault(FakeCddbServer::Fault::Refuse);
        for (const QStringList& setting : {QStringList{"FreeDBServer", cddb.address()}, QStringList{"FreeDBEmail", "studio@example.org"}})
            QCOMPARE(run("cartvault", QStringList{"--profile", "Batch", "settings", "set"} + setting).exitCode, 0);
        const QStringList rip{"--profile", "Batch", "--cd", "--device", image.cuePath(), "--start-cart", "660", "--format", kCdFormat};

        const Result required = run("orvane-import-batch", rip + QStringList{"--lookup"});
        QCOMPARE(required.exitCode, 1);
        QVERIFY2(required.err.contains(cddb.address().toUtf8()) && required.err.contains("nothing ripped"), required.err);
        QVERIFY(cart("Batch", "660").value("audio_length").toDouble() < 0);

        const Result optional = run("orvane-import-batch", rip + QStringList{"--lookup-optional"});
        QVERIFY2(optional.exitCode == 0, optional.err);
        QCOMPARE(cart("Batch", "660").value("title").toString(), QString("Track 1"));
    }

    // A track the store refuses (here: its record cannot be committed) fails
    // the run: exit 1, "succeeded" false, the track's item failed.
    void cdTrackTheStoreRefusesFailsTheRun()
    {
        const CueImage image(folder("refused-disc"), "disc", {{75, true}});
        QVERIFY(image.write());
        QProcess rip;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ORVANE_STORE_FAULT", "linked:fail");
        rip.setProcessEnvironment(environment);
        rip.start(tool("orvane-import-batch"),
                  {"--profile", "Batch", "--cd", "--device", image.cuePath(), "--start-cart", "650",
                   "--format", "FormatType=2 SampleRate=44100 Channels=2 FormatTag=1 BitsPerSample=16", "--json"});
        QVERIFY(rip.waitForFinished(180000));
        const QByteArray errors = rip.readAllStandardError();
        QVERIFY2(rip.exitCode() == 1, errors.constData());
        const QJsonObject report = QJsonDocument::fromJson(rip.readAllStandardOutput()).object();
        QCOMPARE(report.value("succeeded"), QJsonValue(false));
        const QJsonArray items = report.value("items").toArray();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.at(0).toObject().value("outcome").toString(), QString("failed"));
        QVERIFY(items.at(0).toObject().value("error").toString().contains("'linked' step"));
        QVERIFY(cart("Batch", "650").value("audio_length").toDouble() < 0);
    }

    // Bug: one bad file ending a script's batch. By default the good files
    // after it land and the run exits 1; --stop-on-error keeps the wizard's
    // rule and leaves them, each with the reason it was not imported. The
    // lines and the JSON report say the same.
    void aBadFileFailsOnlyItself_data()
    {
        QTest::addColumn<bool>("stopOnError");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("start");
        QTest::newRow("go on") << false << true << "700";
        QTest::newRow("stop on error") << true << true << "710";
        QTest::newRow("go on, lines") << false << false << "720";
    }

    void aBadFileFailsOnlyItself()
    {
        QFETCH(bool, stopOnError);
        QFETCH(bool, json);
        QFETCH(QString, start);
        const QString in = folder("bad-in-the-middle-" + start);
        QVERIFY(tone(0.4).write(in + "/a.wav"));
        QVERIFY(!TestEnvironment::writeFile(in + "/b.mp3", QByteArray(4000, '\x5a')).isEmpty());
        QVERIFY(tone(0.6).write(in + "/c.wav"));
        QStringList arguments{"--profile", "Batch", "--start-cart", start, in};
        if (stopOnError)
            arguments << "--stop-on-error";
        if (json)
            arguments << "--json";
        const Result result = run("orvane-import-batch", arguments);
        QCOMPARE(result.exitCode, 1);
        QStringList outcomes;
        if (json) {
            QVERIFY2(JsonShape::problem(result.out).isEmpty(), qPrintable(JsonShape::problem(result.out)));
            const QJsonObject report = QJsonDocument::fromJson(result.out).object();
            QCOMPARE(report.value("succeeded"), QJsonValue(false));
            for (const QJsonValue item : report.value("items").toArray()) {
                outcomes << item.toObject().value("outcome").toString();
                if (outcomes.last() != "imported")
                    QVERIFY(!item.toObject().value("error").toString().isEmpty());
            }
        } else {
            const QList<QByteArray> lines = result.out.trimmed().split('\n');
            QCOMPARE(lines.size(), 3);
            QCOMPARE(lines.at(0), QString("imported\t%1/a.wav\tcart %2").arg(in, start).toUtf8());
            QVERIFY2(lines.at(1).startsWith(QString("failed\t%1/b.mp3\t").arg(in).toUtf8()), lines.at(1).constData());
            for (const QByteArray& line : lines)
                outcomes << QString::fromUtf8(line.split('\t').first());
        }
        QCOMPARE(outcomes, QStringList({"imported", "failed", stopOnError ? "not-reached" : "imported"}));
        const double third = cart("Batch", QString::number(start.toInt() + 2)).value("audio_length").toDouble();
        QVERIFY(stopOnError ? third < 0 : qAbs(third - 0.6) < 0.01);
    }

    // Bug: a file quietly landing in another cart than the one planned. The
    // batch is held at its first copy while another import fills the next
    // cart; the file meant for it takes the next free one, and its line says so.
    void aCartFilledMeanwhileIsTakenOverAndSaid()
    {
        const QString in = folder("taken-over");
        QVERIFY(tone(0.3).write(in + "/a.wav"));
        QVERIFY(tone(0.5).write(in + "/b.wav"));
        QProcess batch;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ORVANE_STORE_FAULT", "copied:stop");
        batch.setProcessEnvironment(environment);
        batch.start(tool("orvane-import-batch"), {"--profile", "Batch", "--start-cart", "800", in});
        QTRY_VERIFY_WITH_TIMEOUT(TestEnvironment::isStopped(batch.processId()), 60000);
        QCOMPARE(run("cartvault", {"--profile", "Batch", "import", "801", in + "/a.wav"}).exitCode, 0);
        while (!batch.waitForFinished(50))
            if (TestEnvironment::isStopped(batch.processId()))
                ::kill(pid_t(batch.processId()), SIGCONT);
        QCOMPARE(batch.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(batch.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
                 QStringList({QString("imported\t%1/a.wav\tcart 800").arg(in),
                              QString("imported\t%1/b.wav\tcart 801 in use: took 802").arg(in)}));
        QVERIFY(qAbs(cart("Batch", "802").value("audio_length").toDouble() - 0.5) < 0.01);
    }

    // FLAC and Opus were refused as of no known type. Like MP3 they are
    // converted, never stored as they are: each cart gets a WAV in the
    // store's format (48 kHz stereo 16-bit) of the length its source decodes
    // to, and the title of its tags.
    void flacAndOpusLandAsWavCarts()
    {
        const QString in = folder("in-flac-opus");
        QVERIFY(QDir().mkpath(in));
        const QString noise = QStringLiteral("anoisesrc=sample_rate=44100:amplitude=0.7:seed=%1").arg(QRandomGenerator::global()->bounded(1000000));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", noise, "-af", "atrim=end_sample=57331", "-ac", "2", "-metadata", "title=Static Tag", in + "/Night Static 1.flac"}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", noise, "-af", "atrim=end_sample=35000", "-ac", "2", "-c:a", "libopus", in + "/Night Static 2.opus"}));
        const qint64 flacFrames = qRound64(57331 * 48000.0 / 44100);
        const qint64 opusFrames = fixtures::toolDecodedFrames(in + "/Night Static 2.opus", 2); // Opus decodes at 48 kHz

        const Result result = run("orvane-import-batch", {"--profile", "Batch", "--start-cart", "150", "--json", in});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        const QJsonArray items = QJsonDocument::fromJson(result.out).object().value("items").toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(cart("Batch", "150").value("title").toString(), QString("Static Tag"));
        for (const auto& [number, frames] : {std::pair{QString("150"), flacFrames}, {QString("151"), opusFrames}}) {
            const QString audio = cart("Batch", number).value("audio_file").toString();
            const fixtures::ProbeReport probe = fixtures::ffprobe(audio);
            QVERIFY2(probe.ok, qPrintable(audio));
            QCOMPARE(probe.format.value("format_name").toString(), QString("wav"));
            QCOMPARE(probe.stream.value("codec_name").toString(), QString("pcm_s16le"));
            QCOMPARE(probe.stream.value("sample_rate").toString(), QString("48000"));
            const qint64 decoded = fixtures::toolDecodedFrames(audio, 2);
            QVERIFY2(qAbs(decoded - frames) <= 1, qPrintable(QStringLiteral("cart %1: %2 frames, expected %3").arg(number).arg(decoded).arg(frames)));
        }
    }

    // A station's loudness target, checked by ffmpeg's meter rather than
    // ours: a brick-walled square wave comes down to the target, and quiet
    // noise with a full-scale click is raised only as far as the true-peak
    // ceiling allows. The cart and its WAV's bext chunk keep what was
    // measured. Catches a gain of the wrong sign or size, a cap not applied,
    // values measured before the gain, and values that never reach the file.
    void loudnessTargetIsMetUnderTheCeiling()
    {
        const QString in = folder("in-loudness");
        QVERIFY(QDir().mkpath(in));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "aevalsrc='0.95*sgn(sin(2*PI*187*t))+0.05*(random(0)-0.5)':s=44100:d=6",
                                  "-ac", "2", "-b:a", "160k", in + "/1 square.mp3"}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "aevalsrc='0.02*(random(0)-0.5)+if(between(t,2,2.0001),0.99,0)':s=48000:d=6",
                                  "-ac", "2", in + "/2 click.wav"}));

        const Result result = run("orvane-import-batch", {"--profile", "Batch", "--start-cart", "170", "--loudness=-16", in});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        for (const QString number : {"170", "171"}) {
            const QJsonObject shown = cart("Batch", number);
            const QString audio = shown.value("audio_file").toString();
            const fixtures::ToolLoudness measured = fixtures::toolLoudness(audio);
            QVERIFY2(measured.ok, qPrintable(audio));
            QVERIFY2(measured.truePeak <= -1.0 + 0.1, qPrintable(QString::number(measured.truePeak)));
            if (number == "170")
                QVERIFY2(qAbs(measured.integrated + 16) <= 0.3, qPrintable(QString::number(measured.integrated)));
            else
                QVERIFY2(measured.integrated < -17 && measured.truePeak > -1.4, qPrintable(QString::number(measured.integrated)));
            const double kept = shown.value("loudness").toObject().value("integrated_lufs").toDouble(99);
            QVERIFY2(qAbs(kept - measured.integrated) <= 0.2, qPrintable(QString::number(kept)));
            const QJsonObject chunks = QJsonDocument::fromJson(run("orvane-audio", {"chunks", audio}).out).object();
            const QJsonObject bext = chunks.value("bext_chunk").toObject();
            QCOMPARE(bext.value("version").toInt(), 2);
            QVERIFY(qAbs(bext.value("loudness").toObject().value("integrated_lufs").toDouble(99) - kept) <= 0.006);
        }
    }

    // Each import leaves its audio's fingerprint with the cart, here taken
    // while a normalising copy scans for its gain: the two copies of one
    // tune pair up with no 'fingerprint --missing', and a sting of five
    // frames, too short to fingerprint, is not left as one still to do.
    // Catches a fingerprint not taken or not committed, or one left over
    // from the item before.
    void importsLeaveFingerprintsThatPairCopies()
    {
        const QString in = folder("in-fingerprints");
        QVERIFY(QDir().mkpath(in));
        QVERIFY(fixtures::tune(in + "/1 tune.wav", 7, 20));
        QVERIFY(fixtures::ffmpeg({"-i", in + "/1 tune.wav", "-b:a", "128k", in + "/2 copy.mp3"}));
        QVERIFY(fixtures::tune(in + "/3 other.wav", 8, 20));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "anoisesrc=amplitude=1:duration=1", "-af", "atrim=end_sample=5",
                                  in + "/4 sting.wav"}));
        QCOMPARE(run("cartvault", {"profile", "create", "Prints", "--data", folder("prints-store")}).exitCode, 0);
        const Result result = run("orvane-import-batch", {"--profile", "Prints", "--start-cart", "180", "--loudness", in});
        QVERIFY2(result.exitCode == 0, result.err.constData());

        const Result found = run("cartvault", {"--profile", "Prints", "duplicates", "--json"});
        QVERIFY2(!found.err.contains("no fingerprint"), found.err.constData());
        const QJsonArray groups = QJsonDocument::fromJson(found.out).array();
        QCOMPARE(groups.size(), 1);
        QStringList carts;
        for (const QJsonValue cart : groups.at(0).toObject().value("carts").toArray())
            carts << QString::number(cart.toObject().value("number").toInt());
        QCOMPARE(carts, QStringList({"180", "181"}));
    }

    void usageIsRefusedWithItsCode_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown option") << QStringList{"--colour", "x.wav"} << "";
        QTest::newRow("no inputs") << QStringList{"--profile", "Batch"} << "";
        QTest::newRow("bad start cart") << QStringList{"--profile", "Batch", "--start-cart", "abc", "/etc"} << "";
        QTest::newRow("no such profile") << QStringList{"--profile", "Nowhere", "/etc"} << "";
        QTest::newRow("missing file") << QStringList{"--profile", "Batch", "/no/such/file.wav"} << "";
        QTest::newRow("bad titling") << QStringList{"--profile", "Batch", "--titling", "sideways", "/etc"} << "";
        QTest::newRow("bad format") << QStringList{"--profile", "Batch", "--format", "FormatType=32", "/etc"} << "";
        // The level read from the next word, as from --normalise=150.
        QTest::newRow("level out of range") << QStringList{"--profile", "Batch", "--normalise", "150", "/etc"} << "--normalise takes";
        QTest::newRow("two ways to normalise") << QStringList{"--profile", "Batch", "--normalise=50", "--loudness", "/etc"} << "give one";
        QTest::newRow("loudness out of range") << QStringList{"--profile", "Batch", "--loudness=3", "/etc"} << "--loudness takes";
        QTest::newRow("ceiling without loudness") << QStringList{"--profile", "Batch", "--true-peak-ceiling", "-2", "/etc"} << "goes with --loudness";
        // The wizard's rules, refused instead of quietly copying what was to be linked.
        const QString song = TestEnvironment::writeFile("song-to-link.mp3", "not heard");
        QTest::newRow("linking converts") << QStringList{"--profile", "Batch", "--link", song} << "cannot convert the Audio";
        QTest::newRow("linking normalises") << QStringList{"--profile", "Batch", "--link", "--format", "keep", "--normalise=90", song}
                                            << "cannot normalise the Audio";
        QTest::newRow("linking a non-WAV") << QStringList{"--profile", "Batch", "--link", "--format", "keep", song}
                                           << "only 'Link' carts to WAV Files";
        QTest::newRow("keeping a CD's format") << QStringList{"--profile", "Batch", "--cd", "--format", "keep"}
                                               << "when ripping from cd";
        // Asked for, and not quietly dropped.
        QTest::newRow("matching on a disc") << QStringList{"--profile", "Batch", "--cd", "--skip-matching"} << "work on files";
        QTest::newRow("duplicates on a disc") << QStringList{"--profile", "Batch", "--cd", "--find-duplicates"} << "work on files";
        QTest::newRow("a threshold with nothing to hold to") << QStringList{"--profile", "Batch", "--threshold", "0.8", "/tmp"}
                                                            << "--threshold goes with";
        QTest::newRow("a threshold of nothing") << QStringList{"--profile", "Batch", "--find-duplicates", "--threshold", "0", "/tmp"}
                                                << "needs a score above 0";
        static const CueImage short_(folder("three-tracks"), "disc", {{75, true}, {75, true}, {75, true}});
        QVERIFY(short_.write());
        const QString sheet = TestEnvironment::writeFile("lonely.cue", "FILE \"other.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
        QTest::newRow("image without its audio") << QStringList{"--profile", "Batch", "--cd", "--device", sheet}
                                                 << "its audio must be beside it as 'lonely.bin'";
        QTest::newRow("tracks beyond the disc")
            << QStringList{"--profile", "Batch", "--cd", "--device", short_.cuePath(), "--tracks", "1,3-5"} << "not on it: 4, 5";
    }

    void usageIsRefusedWithItsCode()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const Result result = run("orvane-import-batch", arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.err.startsWith("orvane-import-batch: "));
        QVERIFY2(result.err.contains(says.toUtf8()), result.err);
    }
};

ORVANE_TEST_MAIN(BatchImportTest)
#include "tst_orvane_import_batch.moc"
