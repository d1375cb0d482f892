#include "frame/GetParameter.h"
#include "frame/Messenger.h"
#include "frame/library/AuditLog.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/Directory.h"
#include "frame/library/GeneralTools.h"
#include "platform/freedb/FreeDBClient.h"
#include "platform/musicbrainz/MusicBrainzClient.h"
#include "tests/platform/freedb/FakeCddbServer.h"
#include "tests/platform/musicbrainz/FakeMusicBrainzServer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"
#include "wizard/CDTitleLookup.h"
#include "wizard/ImportItemList.h"

#include <QtTest>

namespace {

// Hears a lookup as the CD page would, noting the busy marker as it goes.
class RecordingHandler : public CDTitleLookupHandler
{
public:
    const CDTitleLookup* lookup = nullptr;
    QStringList events;
    CDTitleProposal proposal;

    void driveWatch(bool running) override { events << (running ? "watch on" : "watch off"); }
    void status(const QString& text) override { events << text + busy(); }
    void titlesFound(const CDTitleProposal& found) override
    {
        proposal = found;
        events << "titles" + busy();
    }
    void applyTitles() override { events << "apply" + busy(); }

private:
    QString busy() const { return lookup->isBusy() ? " (busy)" : ""; }
};

// A disc of `tracks` tracks, one minute each.
CDRipper::DiscIdentity disc(int tracks)
{
    CDRipper::DiscIdentity identity;
    for (int n = 0; n < tracks; ++n)
        identity.trackOffsets << 150 + n * 60 * CDRipper::kSectorsPerSecond;
    identity.discSeconds = 2 + tracks * 60;
    return identity;
}

QString trackRow(int n)
{
    return GeneralTools::SetParameter(QString(), "Title", QStringLiteral("Track %1").arg(n));
}

} // namespace

class TestCDTitleLookup : public QObject
{
    Q_OBJECT

    Directory m_directory;
    ScriptedMessenger m_messenger;

    QString lastAudit()
    {
        const QList<AuditEntry> entries = m_directory.AuditLog().entries(1);
        return entries.isEmpty() ? QString() : entries.last().text + " | " + QString::number(entries.last().flag);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(TestStore::createProfile("cd", TestStore::SQLite, &error), qPrintable(error));
        m_directory.ProfileName = "cd";
        QCOMPARE(m_directory.OpenDefault(false), 0);
        Messenger::install(&m_messenger);
    }
    void cleanupTestCase() { Messenger::install(nullptr); }

    // A new store asks the CDDB service that still answers.
    void defaultServer()
    {
        CartvaultStore store;
        QVERIFY(store.LoadProfile("cd"));
        QCOMPARE(CDTitleLookupOptions::fromStore(store).server, QString("gnudb.gnudb.org"));
    }

    void run_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<int>("matches");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QStringList>("titles"); // the disc's tracks
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("rowTexts"); // "tag" for a track's tag text
        QTest::addColumn<QStringList>("separators");
        QTest::addColumn<QStringList>("titleChoices");
        QTest::addColumn<QStringList>("artistChoices");
        QTest::addColumn<QString>("audit");
        QTest::addColumn<QString>("message");

        const QStringList hyphened = {"Ann - Morning", "Bob - Noon", "Cy - Night, Late"};
        const QStringList unchanged = {trackRow(1), trackRow(2), trackRow(3)};
        // Only the rows the disc has titles for change; "-" is in every title, "," not.
        QTest::newRow("fewer tracks than rows")
            << "studio@example.org" << 1 << "The Band" << hyphened << 5
            << QStringList{"tag", "tag", "tag", trackRow(4), trackRow(5)} << QStringList{"-"}
            << QStringList{"Live", "The Band", "Notes", "1999"} << QStringList{"The Band", "Live", "Notes", "1999"}
            << "Live (The Band) | 1"
            << "";
        QTest::newRow("more tracks than rows")
            << "studio@example.org" << 1 << "The Band" << hyphened + QStringList{"Di - Dawn", "Ed - Dusk"} << 3
            << QStringList{"tag", "tag", "tag"} << QStringList{"-"} << QStringList{"Live", "The Band", "Notes", "1999"}
            << QStringList{"The Band", "Live", "Notes", "1999"} << "Live (The Band) | 1"
            << "";
        // Untitled tracks lose their tag text and keep every separator on offer.
        // Untitled tracks lose their tag text and keep every separator on
        // offer; without an album artist the lists and the audit skip it.
        QTest::newRow("untitled tracks, no album artist")
            << "studio@example.org" << 1 << "" << QStringList{"", "", ""} << 3
            << QStringList{"Track: 1", "Track: 2", "Track: 3"} << QStringList{",", "-", "_", "/", "\\"}
            << QStringList{"Live", "Notes", "1999"} << QStringList{"Live", "Notes", "1999"} << "Live | 1"
            << "";
        QTest::newRow("no match") << "studio@example.org" << 0 << "The Band" << hyphened << 3 << unchanged
                                  << QStringList() << QStringList() << QStringList() << "CD not found | 0"
                                  << "There is no information available for this CD";
        QTest::newRow("no e-mail") << "" << 1 << "The Band" << hyphened << 3 << unchanged << QStringList()
                                   << QStringList() << QStringList() << "No email address | 0"
                                   << "You must specify your email address in the CDDB Configuration";
    }
    void run()
    {
        QFETCH(QString, email);
        QFETCH(int, matches);
        QFETCH(QString, artist);
        QFETCH(QStringList, titles);
        QFETCH(int, rows);
        QFETCH(QStringList, rowTexts);
        QFETCH(QString, message);

        FakeCddbServer server{FakeCddbServer::Cddbp};
        server.matches = matches;
        server.artist = artist;
        server.title = "Live";
        server.year = "1999";
        server.genre = "Rock";
        server.notes = "Notes";
        server.tracks = titles;

        ImportItemList list(true);
        for (int n = 1; n <= rows; ++n)
            list.add(ImportItem(QStringLiteral("CD%1").arg(n), trackRow(n)));
        RecordingHandler handler;
        CDTitleLookup lookup(list, handler, &m_directory);
        handler.lookup = &lookup;
        CDTitleLookupOptions options;
        options.server = server.address();
        options.email = email;
        options.clientName = "Import Audio";
        options.clientVersion = "3.0.0";
        m_messenger.shown.clear();

        const bool found = lookup.run(options, disc(titles.size())) == DiscLookupResult::Outcome::Found;
        QCOMPARE(found, message.isEmpty());
        QCOMPARE(m_messenger.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty())
            QCOMPARE(m_messenger.shown.first().icon, MessageIcon::Exclamation);
        QTEST(lastAudit(), "audit");
        for (int row = 0; row < rows; ++row) {
            const QString expected =
                rowTexts.at(row) == "tag"
                    ? CDTitleLookup::trackTagText(titles.at(row), {artist, "Live", "Rock", "Notes", "1999", 0, {}})
                    : rowTexts.at(row);
            QCOMPARE(list.item(row).Text, expected);
        }
        QTEST(handler.proposal.separators, "separators");
        QTEST(handler.proposal.titles, "titleChoices");
        QTEST(handler.proposal.artists, "artistChoices");

        // The drive watch pauses for the whole lookup; titles are recomputed
        // only once the lookup no longer counts as busy.
        QStringList events = {"watch off"};
        if (!email.isEmpty())
            events << "Connecting... (busy)";
        if (found)
            events << "Reading... (busy)"
                   << "titles (busy)"
                   << "Updating..."
                   << "apply";
        if (!email.isEmpty())
            events << "";
        events << "watch on";
        QCOMPARE(handler.events, events);
        QCOMPARE(server.connections > 0, !email.isEmpty());
    }

    // A lookup that could not be done (here: the server answers nonsense)
    // says why and at which server, is audited as a failure and leaves the
    // rows: catches a broken server shown as an unknown disc.
    void failure()
    {
        FakeCddbServer server{FakeCddbServer::Http};
        server.setFault(FakeCddbServer::Fault::Malformed);
        ImportItemList list(true);
        list.add(ImportItem("CD1", trackRow(1)));
        RecordingHandler handler;
        CDTitleLookup lookup(list, handler, &m_directory);
        handler.lookup = &lookup;
        CDTitleLookupOptions options;
        options.server = server.address();
        options.email = "studio@example.org";
        m_messenger.shown.clear();

        QCOMPARE(lookup.run(options, disc(1)), DiscLookupResult::Outcome::Failed);
        const QString where = "at " + server.address() + ": ";
        QVERIFY2(m_messenger.texts().value(0).startsWith("The CD could not be looked up " + where),
                 qPrintable(m_messenger.texts().value(0)));
        QVERIFY2(lastAudit().startsWith("Lookup failed " + where) && lastAudit().endsWith(" | 0"), qPrintable(lastAudit()));
        QCOMPARE(list.item(0).Text, trackRow(1));
        QCOMPARE(handler.events.last(), QString("watch on"));
    }

    // Several MusicBrainz releases (the second the latter disc of a set):
    // the first is applied, all are offered, and choosing another rewrites
    // the rows from the medium that is this disc without asking again; ISRCs
    // travel in the tag texts, the client names itself. Catches the wrong
    // medium or release applied, credits or ISRCs lost, a second request.
    void musicBrainzReleases()
    {
        CDRipper::DiscIdentity identity = disc(2);
        identity.leadOut = 150 + 2 * 60 * CDRipper::kSectorsPerSecond;
        FakeMusicBrainzServer server;
        server.discId = MusicBrainzClient::discId(identity.trackOffsets, identity.leadOut);
        server.releases = {
            {"Live", "The Band", "1999-04-01", "GB", {{"Morning", "", "GBAYE0601498"}, {"Noon", "Guest", ""}}, 1},
            {"Live Again", "The Band", "2001", "US", {{"Morning Again", "", ""}, {"Noon Again", "", ""}}, 2},
        };
        ImportItemList list(true);
        for (int n = 1; n <= 2; ++n)
            list.add(ImportItem(QStringLiteral("CD%1").arg(n), trackRow(n)));
        RecordingHandler handler;
        CDTitleLookup lookup(list, handler, &m_directory);
        handler.lookup = &lookup;
        CDTitleLookupOptions options; // MusicBrainz needs no e-mail address
        options.service = CDTitleLookupOptions::Service::MusicBrainz;
        options.musicBrainzServer = server.address() + "/";
        options.clientVersion = "3.0.0";

        QCOMPARE(lookup.run(options, identity), DiscLookupResult::Outcome::Found);
        QCOMPARE(server.requests,
                 QStringList{"GET /ws/2/discid/" + server.discId + "?inc=recordings+artist-credits+isrcs&fmt=json"});
        QCOMPARE(server.userAgents, QStringList{"Orvane/3.0.0 ( no station contact set )"});
        QCOMPARE(handler.proposal.releases,
                 QStringList({"Live - The Band (1999, GB)", "Live Again - The Band (2001, US)"}));
        QCOMPARE(handler.proposal.separators, QStringList{"/"});
        QCOMPARE(GetParameter(list.item(0).Text, "ISRC"), QString("GBAYE0601498"));
        QCOMPARE(GetParameter(list.item(1).Text, "Title"), QString("Guest / Noon"));
        QCOMPARE(lastAudit(), QString("Live (The Band) | 1"));

        QVERIFY(lookup.chooseRelease(1));
        QCOMPARE(handler.proposal.release, 1);
        QCOMPARE(GetParameter(list.item(1).Text, "Title"), QString("The Band / Noon Again"));
        QCOMPARE(GetParameter(list.item(0).Text, "ISRC"), QString());
        QVERIFY(!lookup.chooseRelease(2));
        QCOMPARE(server.requests.size(), 1);
    }

    void tagText()
    {
        const FreeDBDisc album{"The Band", "Live", "Rock", "", "1999", 1, {}};
        QCOMPARE(CDTitleLookup::trackTagText("Ann - Morning", album),
                 QString("Title=\"Ann - Morning\" AlbumName=Live AlbumYear=1999 AlbumGenre=Rock AlbumNotes=\"\" "
                         "AlbumArtist=\"The Band\""));
    }
};

ORVANE_TEST_MAIN(TestCDTitleLookup)
#include "tst_CDTitleLookup.moc"
