#include "audio/GetAudioFileFormatNCT.h"
#include "frame/Messenger.h"
#include "frame/library/AuditLog.h"
#include "frame/library/Directory.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "tests/platform/accuraterip/FakeAccurateRipServer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"
#include "tests/wizard/FakeCDRipper.h"
#include "wizard/CDRipRun.h"
#include "wizard/CDTrackList.h"
#include "wizard/ImportItemList.h"
#include "wizard/SummaryBuilder.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

namespace {

// Hears a run as the window would: every status line, the results text and
// each change of the bars.
class RecordingHandler : public FileImportHandler
{
public:
    QStringList statuses;
    QString results;
    QList<QPair<int, int>> bars;
    QHash<QString, QPair<int, int>> barsByStatus; // the bars first shown under each status line
    QStringList outcomes;

    void status(const QString& text) override { statuses << text; }
    void result(const QString& text, bool endOfLine) override { results += text + (endOfLine ? "\n" : ""); }
    void itemStarted(int, int) override {}
    void progress(int current, int overall) override
    {
        bars << qMakePair(current, overall);
        if (const QString now = statuses.value(statuses.size() - 1); !barsByStatus.contains(now))
            barsByStatus.insert(now, bars.last());
    }
    void copyJob(cCopyAudioFileNCT*) override {}
    void itemDone(const QString& key, const QString& cart, Outcome outcome, const QString&) override
    {
        outcomes << key + (outcome == Outcome::Imported ? " -> " : " x ") + cart;
    }
    bool stopRequested() override { return false; }
};

} // namespace

class TestCDRip : public QObject
{
    Q_OBJECT

    int m_counter = 0;
    QString m_profile;
    TestStore::Session m_session;
    ScriptedMessenger m_messenger;
    FakeCDRipper m_ripper;
    Directory* m_directory = nullptr; // where the run's audit entries go, when set
    ImportItemList m_tracks{true};
    ImportItemList m_summary{false};

    PlayoutAudio& audio() { return *m_session.audio; }

    ImportContext context()
    {
        ImportContext c;
        c.audio = &audio();
        c.settings = m_session.settings.get();
        c.directory = m_directory;
        return c;
    }

    // Reads a disc of `count` tracks (`dataTracks` among them) and ticks `ticked`.
    void loadDisc(int count, const QList<int>& ticked, const QList<int>& dataTracks = {})
    {
        m_ripper.audioTracks.clear();
        for (int track = 1; track <= count; ++track)
            m_ripper.audioTracks << !dataTracks.contains(track);
        QVERIFY(CDTrackList::ReadCDTracks(m_ripper, m_tracks));
        for (int track : ticked)
            m_tracks.setChecked(m_tracks.indexOf(QStringLiteral("CD%1").arg(track)), true);
    }

    bool rip(RecordingHandler& handler, CDRipRun** running = nullptr, const FileImportOptions& given = {},
             const CDRipOptions& cdOptions = {})
    {
        FileImportOptions options = given;
        options.startCart = "100";
        SummaryBuilder::BuildSummary(m_tracks, false, m_summary, options, audio());
        CDRipRun run(context(), options, cdOptions, m_ripper, handler);
        if (running)
            *running = &run;
        // A run that waits for an end that never comes fails its test
        // instead of hanging it.
        QTimer::singleShot(60000, &run, [&run] { run.stop(); });
        return run.RunCDRip(m_tracks, m_summary, nullptr);
    }

    // Anything in a cart's folder that is not the store's own audio.
    QStringList strays()
    {
        static const QRegularExpression own(QStringLiteral("^\\d{6}(\\.r\\d+)?\\.wav$"));
        QStringList found;
        const QString folder = FileTools::GetFolder(audio().CartAudioFile("100"));
        for (const QString& name : QDir(folder).entryList(QDir::Files))
            if (!own.match(name).hasMatch())
                found << name;
        return found;
    }

private slots:
    void init()
    {
        m_profile = QStringLiteral("cd %1").arg(++m_counter);
        QString error;
        QVERIFY2(TestStore::createProfile(m_profile, TestStore::SQLite, &error), qPrintable(error));
        QVERIFY(TestStore::setSettings(m_profile, {{"FirstCart", "1"}, {"LastCart", "999"}}));
        m_session = TestStore::open(m_profile);
        QVERIFY(m_session.audio);
        m_messenger = {};
        Messenger::install(&m_messenger);
        m_ripper.finishes = true;
        m_ripper.unreadable = false;
        m_ripper.whileRipping = nullptr;
        m_ripper.failures.clear();
        m_ripper.positions = {375};
        m_ripper.status = CDRipper::DiscLoaded;
        m_ripper.reads = m_ripper.stops = 0;
        m_tracks.clear();
        m_directory = nullptr;
    }

    void cleanup()
    {
        Messenger::install(nullptr);
        m_session = {};
    }

    // Bug: the queue taken in track order instead of the list's, or a cart
    // getting another track's audio or title.
    void sortedTracksLandInTheirOwnCarts()
    {
        loadDisc(8, {2, 5, 7});
        const QHash<int, QString> titles{{2, "Bravo"}, {5, "Charlie"}, {7, "Alpha"}};
        for (auto it = titles.begin(); it != titles.end(); ++it)
            m_tracks.setField(m_tracks.indexOf(QStringLiteral("CD%1").arg(it.key())), "TITLE", it.value());
        m_tracks.sortByField(2, Qt::AscendingOrder);

        RecordingHandler handler;
        QVERIFY(rip(handler));
        QCOMPARE(handler.outcomes, (QStringList{"CD7 -> 100", "CD2 -> 101", "CD5 -> 102"}));
        const QList<int> order{7, 2, 5};
        for (int i = 0; i < order.size(); ++i) {
            const auto cart = audio().GetCart(QString::number(100 + i));
            QVERIFY(cart && cart->holdsAudio());
            QCOMPARE(cart->Title, titles[order[i]]);
            QCOMPARE(qRound(cart->AudioLength * 10), order[i]);
        }
        QVERIFY(handler.results.startsWith("Ripping 07 - 'Alpha'...Finished\nRipping 02 - 'Bravo'...Finished\n"));
        QVERIFY(m_messenger.texts().isEmpty());
        QCOMPARE(strays(), QStringList());
        QCOMPARE(handler.bars.last(), qMakePair(100, 100));
    }

    // Bug: a data track handed to the ripper, or the run claiming success.
    void dataTrackFirstInTheQueue()
    {
        loadDisc(3, {1, 2}, {1});
        QCOMPARE(m_tracks.item(0).field("TYPE"), QStringLiteral("Data "));
        RecordingHandler handler;
        QVERIFY(!rip(handler));
        QCOMPARE(m_messenger.texts(), (QStringList{"Track #01 is a data track and cannot be Ripped!",
                                                   "Some files were not ripped"}));
        QVERIFY(!audio().GetCart("100")->holdsAudio());
        QVERIFY(!audio().GetCart("101")->holdsAudio());
    }

    // Bug: a stopped track handed to the cart anyway, or its file left behind.
    void stopDuringARip()
    {
        QString message;
        TestWav old;
        const QString oldFile = TestEnvironment::instance()->root() + "/old.wav";
        QVERIFY(old.write(oldFile));
        QVERIFY(audio().ImportAudioFile("100", oldFile, false, 0, message));
        auto before = audio().GetCart("100");
        before->Title = "Old";
        QVERIFY(audio().SaveCart("100", *before));

        loadDisc(2, {1, 2});
        CDRipRun* run = nullptr;
        m_ripper.finishes = false;
        m_ripper.whileRipping = [&run] { run->stop(); };
        RecordingHandler handler;
        FileImportOptions overwrite;
        overwrite.overwrite = true;
        QVERIFY(!rip(handler, &run, overwrite));
        QCOMPARE(m_ripper.stops, 1);
        QCOMPARE(m_messenger.texts(), QStringList{"Some files were not ripped"});
        const auto after = audio().GetCart("100");
        QCOMPARE(after->Title, QStringLiteral("Old"));
        QCOMPARE(after->AudioLength, before->AudioLength);
        QVERIFY(!audio().GetCart("101")->holdsAudio());
        QCOMPARE(strays(), QStringList());
    }

    // Bug: a run that waits for ever on a rip that failed after it began,
    // the failed track reported as ripped or its partial audio handed to the
    // cart, or the tracks after it dropped.
    void failedRipGoesOnToTheNextTrack_data()
    {
        QTest::addColumn<int>("failing");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unwritable destination, first track") << 1 << int(CDRipper::ErrorCreatingFile) << "Error Creating File.";
        QTest::newRow("read error, last track") << 2 << int(CDRipper::ReadFailed) << "Read Failed.";
        QTest::newRow("file vanished, first track") << 1 << int(CDRipper::ErrorClosingFile) << "Error Closing File.";
    }

    void failedRipGoesOnToTheNextTrack()
    {
        QFETCH(int, failing);
        QFETCH(int, code);
        QFETCH(QString, reason);
        loadDisc(2, {1, 2});
        m_ripper.failures = {{failing, code}};
        RecordingHandler handler;
        QVERIFY(!rip(handler));

        const QString failedCart = QString::number(99 + failing);
        const int other = 3 - failing;
        const QString otherCart = QString::number(99 + other);
        QCOMPARE(handler.outcomes.size(), 2);
        QCOMPARE(handler.outcomes.at(failing - 1), QStringLiteral("CD%1 x %2").arg(failing).arg(failedCart));
        QCOMPARE(handler.outcomes.at(other - 1), QStringLiteral("CD%1 -> %2").arg(other).arg(otherCart));
        QVERIFY2(handler.results.contains(
                     QStringLiteral("...Failed\nCouldn't rip track 0%1 into cart %2 - %3\n").arg(failing).arg(failedCart, reason)),
                 qPrintable(handler.results));
        QVERIFY(handler.results.endsWith("Finished!\n"));
        QCOMPARE(m_messenger.texts(), QStringList{"Some files were not ripped"});
        QVERIFY(!audio().GetCart(failedCart)->holdsAudio());
        QCOMPARE(qRound(audio().GetCart(otherCart)->AudioLength * 10), other);
        QCOMPARE(m_ripper.stops, 0);
        QCOMPARE(strays(), QStringList());
    }

    // Bug: a track the store refused reported as ripped and the run as a
    // success. Another workstation fills the first cart while its track rips.
    void cartFilledMeanwhileFailsItsTrack()
    {
        loadDisc(2, {1, 2});
        const QString other = TestEnvironment::instance()->root() + "/other.wav";
        TestWav elsewhere;
        elsewhere.seconds = 1.5;
        QVERIFY(elsewhere.write(other));
        m_ripper.whileRipping = [&] {
            QString message;
            if (!audio().GetCart("100")->holdsAudio())
                QVERIFY(audio().ImportAudioFile("100", other, false, 0, message));
        };
        RecordingHandler handler;
        QVERIFY(!rip(handler));
        QCOMPARE(handler.outcomes, (QStringList{"CD1 x 100", "CD2 -> 101"}));
        QVERIFY2(handler.results.contains("Couldn't import track 01 into cart 100 - "), qPrintable(handler.results));
        QCOMPARE(m_messenger.texts(), QStringList{"Some files were not ripped"});
        QCOMPARE(qRound(audio().GetCart("100")->AudioLength * 10), 15);
        QCOMPARE(qRound(audio().GetCart("101")->AudioLength * 10), 2);
        QCOMPARE(strays(), QStringList());
    }

    // Bug: the copy job run on audio that needs nothing, or not run when asked.
    void processingOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("normalise");
        QTest::addColumn<bool>("autoTop");
        QTest::addColumn<QString>("processing"); // the status while the copy job runs, empty for none
        QTest::addColumn<int>("storeRate");
        QTest::newRow("CD format store, nothing asked") << false << false << "" << 44100;
        QTest::newRow("48 kHz store") << false << false << "Converting CD Track..." << 48000;
        QTest::newRow("normalising") << true << false << "Normalising CD Track..." << 44100;
        QTest::newRow("normalising and topping") << true << true << "Normalising, 'Topping', Converting CD Track..." << 48000;
    }

    // Also: a 44.1 kHz rip left as it is in a 48 kHz store.
    void processingOnlyWhenAsked()
    {
        QFETCH(bool, normalise);
        QFETCH(bool, autoTop);
        QFETCH(QString, processing);
        QFETCH(int, storeRate);
        AudioFormat house;
        house.SampleRate = storeRate;
        QVERIFY(m_session.settings->SaveDefaultFormat(house));
        loadDisc(1, {1});
        FileImportOptions options;
        options.normalise = normalise;
        options.normalisePercent = 50;
        RecordingHandler handler;
        QVERIFY(rip(handler, nullptr, options, CDRipOptions{autoTop}));
        QCOMPARE(handler.statuses.filter(" CD Track..."), processing.isEmpty() ? QStringList() : QStringList{processing});
        QVERIFY(audio().GetCart("100")->holdsAudio());
        const auto stored = GetAudioFileFormatFromHeaders(audio().GetCart("100")->AudioFile);
        QVERIFY(stored && stored->storesAs(house));
        QCOMPARE(strays(), QStringList());
    }

    // Bug: a processing failure ending the run, unreadable audio handed to
    // the cart over what it holds, or the run reported a success.
    void processingFails()
    {
        loadDisc(2, {1, 2});
        m_ripper.unreadable = true;
        FileImportOptions options;
        options.normalise = true;
        options.normalisePercent = 50;
        RecordingHandler handler;
        QVERIFY(!rip(handler, nullptr, options));
        QCOMPARE(m_messenger.texts().size(), 3);
        QCOMPARE(m_messenger.texts().last(), QStringLiteral("Some files were not ripped"));
        QVERIFY(m_messenger.texts().first().startsWith(
            "There was a problem compressing the Ripped Track, and the problem was reported as \n\n"));
        QCOMPARE(handler.outcomes, (QStringList{"CD1 x 100", "CD2 x 101"}));
        QVERIFY(!audio().GetCart("100")->holdsAudio());
        QCOMPARE(strays(), QStringList());
    }

    // Bug: progress beyond the track's end shown past 100, or ripping
    // filling more than its 40 % of the track's share.
    void progressEnds_data()
    {
        QTest::addColumn<qint32>("position");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("overall");
        QTest::addColumn<QString>("status");
        QTest::newRow("start") << qint32(150) << 0 << 0 << "Ripping len0 / len750";
        QTest::newRow("half way, halves to even") << qint32(153) << 0 << 0 << "Ripping len3 / len750";
        QTest::newRow("end") << qint32(900) << 100 << 40 << "Ripping len750 / len750";
        QTest::newRow("beyond the end") << qint32(975) << 100 << 44 << "Ripping len825 / len750";
    }

    void progressEnds()
    {
        QFETCH(qint32, position);
        QFETCH(int, current);
        QFETCH(int, overall);
        QFETCH(QString, status);
        loadDisc(1, {1});
        m_ripper.start = 150;
        m_ripper.end = 900;
        m_ripper.positions = {position};
        RecordingHandler handler;
        QVERIFY(rip(handler));
        QVERIFY2(handler.barsByStatus.contains(status), qPrintable(handler.statuses.join('|')));
        QCOMPARE(handler.barsByStatus[status], qMakePair(current, overall));
    }

    // Bug: a disc read on every tick, or an ejected disc's tracks still listed.
    void ejectAndInsert()
    {
        m_ripper.audioTracks = {true, true, false};
        bool loaded = false;
        QList<bool> enabled;
        auto tick = [&] {
            CDTrackList::DriveStatusStep(
                m_ripper.DriveStatus(), m_tracks, loaded,
                [&] { loaded = CDTrackList::ReadCDTracks(m_ripper, m_tracks); },
                [&](bool enable) { enabled << enable; });
        };
        tick();
        tick();
        QCOMPARE(m_ripper.reads, 1);
        QCOMPARE(m_tracks.count(), 3);
        const ImportItem& row = m_tracks.item(2);
        QCOMPARE(row.Key, QStringLiteral("CD3"));
        QCOMPARE(row.Text, QStringLiteral("Title=\"Track 3\""));
        QCOMPARE(row.field("TRACK"), QStringLiteral("03"));
        QCOMPARE(row.field("LENGTH"), QStringLiteral("len225"));
        QCOMPARE(row.field("TYPE"), QStringLiteral("Data "));
        QVERIFY(!row.Checked);

        m_ripper.status = CDRipper::NoDisc;
        tick();
        QVERIFY(m_tracks.isEmpty());
        QVERIFY(!loaded);
        m_ripper.status = CDRipper::DiscLoaded;
        tick();
        tick();
        QCOMPARE(m_ripper.reads, 2);
        QCOMPARE(enabled, (QList<bool>{true, true, false, true, true}));
    }

    void applyTitles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("separators");
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("forced"); // title, artist; "-" leaves the box unticked
        QTest::addColumn<QStringList>("expected"); // TITLE, ARTIST, DESC
        const QStringList dashes{"-", "_"};
        const QStringList none{"-", "-"};
        QTest::newRow("artist - song") << "Ann - Song" << dashes << 0 << none << QStringList{"Song", "Ann", ""};
        QTest::newRow("reversed") << "Ann - Song" << dashes << 1 << none << QStringList{"Ann", "Song", ""};
        // Bug: a name without the separator left without an artist.
        QTest::newRow("song only") << "Song" << dashes << 0 << none << QStringList{"Song", "Song", ""};
        QTest::newRow("song only, reversed") << "Song" << dashes << 1 << none << QStringList{"Song", "", ""};
        QTest::newRow("third part") << "Ann - Song - Live - x" << dashes << 0 << none << QStringList{"Song", "Ann", "Live"};
        // Bug: underscores kept, or the empty first separator "used".
        QTest::newRow("second separator") << "Ann_Song" << QStringList{"", "_"} << 0 << none << QStringList{"Song", "Ann", ""};
        QTest::newRow("underscores removed") << "A_nn - So_ng" << dashes << 0 << none << QStringList{"Song", "Ann", ""};
        QTest::newRow("{space} in any case") << "Ann Song" << QStringList{"{SPACE}", "_"} << 0 << none << QStringList{"Song", "Ann", ""};
        QTest::newRow("forced") << "Ann - Song" << dashes << 0 << QStringList{"Hits", "Various"} << QStringList{"Hits", "Various", ""};
        // Bug: an empty forced title blanking the rows.
        QTest::newRow("forced empty title") << "Ann - Song" << dashes << 0 << QStringList{"", "-"} << QStringList{"Track 1", "", ""};
    }

    void applyTitles()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, separators);
        QFETCH(int, order);
        QFETCH(QStringList, forced);
        QFETCH(QStringList, expected);
        m_ripper.audioTracks = {true};
        QVERIFY(CDTrackList::ReadCDTracks(m_ripper, m_tracks));
        m_tracks.setText(0, GeneralTools::SetParameter(QString(), "Title", name));
        CDTitleOptions options;
        options.order = order;
        options.separators[0] = separators[0];
        options.separators[1] = separators[1];
        options.forceTitle = forced[0] != "-";
        options.title = forced[0];
        options.forceArtist = forced[1] != "-";
        options.artist = forced[1];
        // Bug: titles changed under a running lookup.
        CDTrackList::ApplyCDTitles(m_tracks, options, true);
        QCOMPARE(m_tracks.item(0).field("TITLE"), QStringLiteral("Track 1"));
        CDTrackList::ApplyCDTitles(m_tracks, options, false);
        const ImportItem& row = m_tracks.item(0);
        QCOMPARE((QStringList{row.field("TITLE"), row.field("ARTIST"), row.field("DESC")}), expected);
    }

    // A store that asks for verification gets it from the wizard without
    // any choice on the page: the record is asked for once for the disc,
    // and each track's results line and audit entry carry its verdict.
    // Bug: verifying only when the batch tool's option says so, or asking
    // the server once per track.
    void storeAskedVerificationNotesEachVerdict()
    {
        FakeAccurateRipServer server; // knows no disc
        QVERIFY(TestStore::setSettings(m_profile, {{"AccurateRipVerify", "true"}, {"AccurateRipServer", server.address()}}));
        m_session = TestStore::open(m_profile);
        Directory directory;
        directory.ProfileName = m_profile;
        QCOMPARE(directory.OpenDefault(false), 0);
        m_directory = &directory;
        loadDisc(2, {1, 2});
        RecordingHandler handler;
        QVERIFY(rip(handler));
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(handler.results.count("Finished - AccurateRip: not in the database\n"), 2);
        QVERIFY(directory.AuditLog().entries(1).last().text.endsWith(" into Cart 101, AccurateRip: not in the database"));
    }
};

ORVANE_TEST_MAIN(TestCDRip)
#include "tst_CDRip.moc"
