#include "platform/musicbrainz/MusicBrainzClient.h"
#include "tests/platform/musicbrainz/FakeMusicBrainzServer.h"
#include "tests/support/TestEnvironment.h"

#include <QtTest>

Q_DECLARE_METATYPE(FakeMusicBrainzServer::Fault)
Q_DECLARE_METATYPE(DiscLookupResult::Outcome)

namespace {
// Three tracks of a minute each.
const QList<qint32> kOffsets = {150, 4650, 9150};
constexpr qint32 kLeadOut = 13650;
} // namespace

class TestMusicBrainzClient : public QObject
{
    Q_OBJECT

private slots:
    // Published tables of contents and their ids (libdiscid's own test
    // disc of 22 tracks, one of 15, and an enhanced CD of 10 audio tracks
    // whose data track starts 11400 frames after the audio's end): catches
    // offsets and lead-out in the wrong order or unit, a data track counted.
    void discId_data()
    {
        QTest::addColumn<QList<qint32>>("offsets");
        QTest::addColumn<qint32>("leadOut");
        QTest::addColumn<bool>("endsWithData");
        QTest::addColumn<QString>("id");
        QTest::newRow("22 tracks") << QList<qint32>{150, 9700, 25887, 39297, 53795, 63735, 77517, 94877, 107270, 123552,
                                                    135522, 148422, 161197, 174790, 192022, 205545, 218010, 228700,
                                                    239590, 255470, 266932, 288750}
                                   << 303602 << false << "xUp1F2NkfP8s8jaeFn_Av3jNEI4-";
        QTest::newRow("15 tracks") << QList<qint32>{150, 17510, 33275, 45910, 57805, 78310, 94650, 109580, 132010,
                                                    149160, 165115, 177710, 203325, 215555, 235590}
                                   << 258725 << false << "TqvKjMu7dMliSfmVEBtrL7sBSno-";
        QTest::newRow("enhanced CD") << QList<qint32>{150, 12767, 40487, 63225, 93410, 118115, 151865, 184340, 215260,
                                                      247455, 270335 + 11400}
                                     << 300000 << true << "9AQWqQ0eCCwktwPPrIUIYkUw2Uo-";
    }
    void discId()
    {
        QFETCH(QList<qint32>, offsets);
        QFETCH(qint32, leadOut);
        QFETCH(bool, endsWithData);
        QTEST(MusicBrainzClient::discId(offsets, leadOut, endsWithData), "id");
    }

    // An unknown disc is no match; a server that cannot be asked or makes
    // no sense is a failure with a reason.
    void unanswered_data()
    {
        using Fault = FakeMusicBrainzServer::Fault;
        using Outcome = DiscLookupResult::Outcome;
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("known");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("unknown disc") << Fault::None << false << Outcome::NoMatch;
        QTest::newRow("refused") << Fault::Refuse << true << Outcome::Failed;
        QTest::newRow("time-out") << Fault::Silent << true << Outcome::Failed;
        QTest::newRow("malformed") << Fault::Malformed << true << Outcome::Failed;
    }
    void unanswered()
    {
        QFETCH(FakeMusicBrainzServer::Fault, fault);
        QFETCH(bool, known);
        FakeMusicBrainzServer server;
        server.discId = known ? MusicBrainzClient::discId(kOffsets, kLeadOut) : QString("someOtherDisc");
        server.setFault(fault);
        MusicBrainzClient client;
        client.server = server.address();
        client.timeoutSeconds = 1;
        const DiscLookupResult result = client.lookup(kOffsets, kLeadOut, false);
        QTEST(result.outcome, "outcome");
        QCOMPARE(result.failure.isEmpty(), result.outcome != DiscLookupResult::Outcome::Failed);
        QVERIFY(result.discs.isEmpty());
    }
};

ORVANE_TEST_MAIN(TestMusicBrainzClient)
#include "tst_MusicBrainzClient.moc"
