#include "platform/freedb/FreeDBClient.h"
#include "tests/platform/freedb/FakeCddbServer.h"
#include "tests/support/TestEnvironment.h"

#include <QtTest>

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

    void lookup_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("matches");
        QTest::addColumn<bool>("found");
        for (const auto& [name, protocol] :
             {std::pair{"cddbp", FakeCddbServer::Cddbp}, {"http", FakeCddbServer::Http}}) {
            QTest::addRow("%s found", name) << int(protocol) << 1 << true;
            QTest::addRow("%s no match", name) << int(protocol) << 0 << false;
            // Reading an inexact match would be refused by the server.
            QTest::addRow("%s first exact of several", name) << int(protocol) << 3 << true;
        }
        // Accepts and never answers: no information, and the call returns.
        QTest::addRow("silent") << int(FakeCddbServer::Silent) << 1 << false;
    }
    void lookup()
    {
        QFETCH(int, protocol);
        QFETCH(int, matches);
        QFETCH(bool, found);
        FakeCddbServer server{FakeCddbServer::Protocol(protocol)};
        server.matches = matches;
        server.artist = "The Band";
        server.title = "Live, at Last";
        server.year = "1999";
        server.genre = "Rock";
        server.notes = "Recorded live";
        server.tracks = {"Opener", "", "Guest Star / Duet"};

        FreeDBClient client;
        client.server = server.address();
        client.email = "studio@example.org";
        client.clientName = "Import Audio";
        client.clientVersion = "3.0.0";
        client.timeoutSeconds = 1;
        const std::optional<FreeDBDisc> disc = client.lookup(kOffsets, kSeconds);
        QCOMPARE(disc.has_value(), found);
        QVERIFY(server.connections > 0);
        if (protocol == FakeCddbServer::Silent)
            return;
        // Introduces itself in one word per field, whatever the program calls itself.
        QVERIFY(server.commands.contains("cddb hello studio example.org Import_Audio 3.0.0"));
        QVERIFY(server.commands.contains("cddb query 08025603 3 150 15000 30000 600"));
        if (!found)
            return;
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
