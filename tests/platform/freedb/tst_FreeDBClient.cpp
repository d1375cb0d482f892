#include "platform/freedb/FreeDBClient.h"
#include "tests/platform/freedb/FakeCddbServer.h"
#include "tests/support/TestEnvironment.h"

#include <QtTest>

Q_DECLARE_METATYPE(FakeCddbServer::Fault)
Q_DECLARE_METATYPE(DiscLookupResult::Outcome)

namespace {
// Three tracks at 0:02, 3:20 and 6:40 of a ten-minute disc.
const QList<qint32> kOffsets = {150, 15000, 30000};
constexpr qint32 kSeconds = 600;
} // namespace

class TestFreeDBClient : public QObject
{
    Q_OBJECT

private slots:
    void serverAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("http");
        QTest::addColumn<QString>("path");
        // A bare name speaks CDDBP on its well-known port.
        QTest::newRow("default") << "gnudb.gnudb.org" << true << "gnudb.gnudb.org" << 8880 << false
                                 << "/~cddb/cddb.cgi";
        QTest::newRow("port") << " cddb.example:8881 " << true << "cddb.example" << 8881 << false << "/~cddb/cddb.cgi";
        // http:// switches protocol and port, the cgi path stays the usual one unless given.
        QTest::newRow("http") << "HTTP://cddb.example" << true << "cddb.example" << 80 << true << "/~cddb/cddb.cgi";
        QTest::newRow("http path") << "http://cddb.example:8080/cgi-bin/cddb.cgi" << true << "cddb.example" << 8080
                                   << true << "/cgi-bin/cddb.cgi";
        QTest::newRow("empty") << "" << false << "" << 0 << false << "";
        QTest::newRow("bad port") << "cddb.example:x" << false << "" << 0 << false << "";
    }
    void serverAddress()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const std::optional<FreeDBServerAddress> address = FreeDBServerAddress::parse(text);
        QCOMPARE(address.has_value(), valid);
        if (!valid)
            return;
        QTEST(address->host, "host");
        QTEST(int(address->port), "port");
        QTEST(address->http, "http");
        QTEST(address->path, "path");
    }

    // The standard disc id of the table of contents: catches offsets or
    // length handed over in the wrong unit.
    void discId() { QCOMPARE(FreeDBClient::discId(kOffsets, kSeconds), 0x08025603u); }

    // A server that cannot be asked or makes no sense is a failure with a
    // reason, never "no such disc": catches every error read as no match.
    void lookup_data()
    {
        using Fault = FakeCddbServer::Fault;
        using Outcome = DiscLookupResult::Outcome;
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("matches");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<Outcome>("outcome");
        for (const auto& [name, protocol] :
             {std::pair{"cddbp", FakeCddbServer::Cddbp}, {"http", FakeCddbServer::Http}}) {
            QTest::addRow("%s found", name) << int(protocol) << 1 << Fault::None << Outcome::Found;
            QTest::addRow("%s no match", name) << int(protocol) << 0 << Fault::None << Outcome::NoMatch;
            // Reading an inexact match would be refused by the server.
            QTest::addRow("%s first exact of several", name) << int(protocol) << 3 << Fault::None << Outcome::Found;
            QTest::addRow("%s refused", name) << int(protocol) << 1 << Fault::Refuse << Outcome::Failed;
            QTest::addRow("%s closed mid-reply", name) << int(protocol) << 3 << Fault::CloseMidReply << Outcome::Failed;
            QTest::addRow("%s malformed", name) << int(protocol) << 1 << Fault::Malformed << Outcome::Failed;
        }
        // Accepts and never answers: the call returns at its time-out.
        QTest::addRow("silent") << int(FakeCddbServer::Silent) << 1 << Fault::None << Outcome::Failed;
    }
    void lookup()
    {
        QFETCH(int, protocol);
        QFETCH(int, matches);
        QFETCH(FakeCddbServer::Fault, fault);
        QFETCH(DiscLookupResult::Outcome, outcome);
        FakeCddbServer server{FakeCddbServer::Protocol(protocol)};
        server.matches = matches;
        server.artist = "The Band";
        server.title = "Live, at Last";
        server.year = "1999";
        server.genre = "Rock";
        server.notes = "Recorded live";
        server.tracks = {"Opener", "", "Guest Star / Duet"};
        server.setFault(fault);

        FreeDBClient client;
        client.server = server.address();
        client.email = "studio@example.org";
        client.clientName = "Import Audio";
        client.clientVersion = "3.0.0";
        client.timeoutSeconds = 1;
        const DiscLookupResult result = client.lookup(kOffsets, kSeconds);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.failure.isEmpty(), outcome != DiscLookupResult::Outcome::Failed);
        QCOMPARE(result.discs.size(), outcome == DiscLookupResult::Outcome::Found ? 1 : 0);
        QCOMPARE(server.connections > 0, fault != FakeCddbServer::Fault::Refuse);
        if (protocol == FakeCddbServer::Silent || fault == FakeCddbServer::Fault::Refuse)
            return;
        // Introduces itself in one word per field, whatever the program calls itself.
        QVERIFY(server.commands.contains("cddb hello studio example.org Import_Audio 3.0.0"));
        QVERIFY(server.commands.contains("cddb query 08025603 3 150 15000 30000 600"));
        if (outcome != DiscLookupResult::Outcome::Found)
            return;
        const FreeDBDisc* disc = &result.discs.first();
        QCOMPARE(disc->artist, QString("The Band"));
        QCOMPARE(disc->title, QString("Live, at Last"));
        QCOMPARE(disc->year, QString("1999"));
        QCOMPARE(disc->genre, QString("Rock"));
        QCOMPARE(disc->notes, QString("Recorded live"));
        QCOMPARE(disc->trackCount, 3);
        // A track's own artist stays part of its title.
        QCOMPARE(disc->trackTitles, QStringList({"Opener", "", "Guest Star / Duet"}));
    }
};

ORVANE_TEST_MAIN(TestFreeDBClient)
#include "tst_FreeDBClient.moc"
