#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/RiffBytes.h"
#include "tests/support/TestEnvironment.h"
#include "frame/AppPaths.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <sndfile.h>

// A cart's scheduling and rights fields as a station's scripts meet them:
// files imported by the batch tool, read with `cartvault`, written back as a
// broadcast WAV that another library reads.
class CartMetadataTest : public QObject
{
    Q_OBJECT

    struct Result {
        int exitCode;
        QByteArray out;
        QByteArray err;
    };

    static Result run(const char* tool, const QStringList& arguments)
    {
        QProcess process;
        process.start(TestEnvironment::tool(tool), arguments);
        process.waitForFinished(120000);
        return {process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }
    static Result cartvault(const QStringList& arguments) { return run("cartvault", QStringList{"--profile", "Spots"} + arguments); }
    static Result batch(const QStringList& arguments)
    {
        return run("orvane-import-batch", QStringList{"--profile", "Spots", "--format", "keep", "--overwrite"} + arguments);
    }
    static QJsonObject shown(const QString& cart)
    {
        return QJsonDocument::fromJson(cartvault({"show", cart, "--json"}).out).object();
    }
    static QString path(const QString& name) { return TestEnvironment::instance()->root() + "/" + name; }

    static QByteArray field(const QByteArray& text, int width) { return text.leftJustified(width, '\0', true); }

    // The cart chunk as a station's playout system writes one: every field
    // set, all eight post timers in use, tag text after the fixed part.
    static QByteArray cartChunk()
    {
        QByteArray data = "0101" + field("Spring Campaign 30s", 64) + field("Harbour Motors", 64) + field("CUT-0042", 64)
            + field("CL-77", 64) + field("ADS", 64) + field("Retail", 64) + field("...and drive safely", 64)
            + "2026/03/01" + "06:00:00" + "2026/03/31" + "21:30:00" + field("Other Playout", 64) + field("9.1", 64)
            + field("promo-set-7", 64) + RiffBytes::le32(32768);
        for (const auto& [usage, value] : kTimers)
            data += QByteArray(usage, 4) + RiffBytes::le32(quint32(value));
        return data + QByteArray(276, '\0') + field("http://example.org/spot/42", 1024) + "<spot>spring</spot>" + '\0';
    }
    static constexpr std::pair<const char*, qint32> kTimers[8] = {{"AUDs", 0},    {"INT ", 441},  {"SEGs", 800}, {"SEGe", 990},
                                                                  {"SEC1", 300},  {"TER1", 350},  {"AUDe", 999}, {"MRK ", 512}};
    static constexpr qint16 kLoudness[5] = {-2300, 650, -105, -1812, -2010};

    static QByteArray bextChunk()
    {
        QByteArray data = field("Bext description", 256) + field("Bext originator", 32) + field("REF-1", 32) + "2026-02-01"
            + "10:00:00" + RiffBytes::le32(12345) + RiffBytes::le32(0) + RiffBytes::le16(2) + QByteArray(64, '\x11');
        for (qint16 value : kLoudness)
            data += RiffBytes::le16(quint16(value));
        return data + QByteArray(180, '\0') + "A=PCM,F=44100,W=16,M=stereo\r\n";
    }

    // A few hundred frames of noise nobody shaped, between its chunks.
    static QString broadcastWave(const QString& name)
    {
        QByteArray noise(4000, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        const QByteArray body = "WAVE" + RiffBytes::chunk("fmt ", RiffBytes::pcmFormat(2, 44100, 16)) + RiffBytes::chunk("bext", bextChunk())
            + RiffBytes::chunk("cart", cartChunk()) + RiffBytes::chunk("data", noise);
        return TestEnvironment::writeFile(path(name), "RIFF" + RiffBytes::le32(quint32(body.size())) + body);
    }

    static QString text(const char* bytes, int width) { return QString::fromUtf8(bytes, qstrnlen(bytes, width)).trimmed(); }

private slots:
    void initTestCase()
    {
        QCOMPARE(run("cartvault", {"profile", "create", "Spots", "--data", path("spots")}).exitCode, 0);
        if (!fixtures::toolsPresent())
            QSKIP("the ffmpeg tools are not installed");
    }

    // Catches a cart-chunk field, post timer or loudness value lost or moved
    // anywhere between a file, the store, a transport zip and the exported WAV.
    void everyChunkFieldSurvivesTheRoundTrip()
    {
        const Result imported = batch({"--start-cart", "10", broadcastWave("spot.wav")});
        QVERIFY2(imported.exitCode == 0, imported.err.constData());
        const QJsonObject cart = shown("10");
        QCOMPARE(cart["start_air"].toString(), "2026-03-01T06:00:00");
        QCOMPARE(cart["end_air"].toString(), "2026-03-31T21:30:00");
        QCOMPARE(cart["cut_id"].toString(), "CUT-0042");
        QCOMPARE(cart["post_timers"].toArray().size(), 8);

        // Through a transport zip into another cart, then out as a WAV.
        QCOMPARE(cartvault({"export", "10", path("spot.zip")}).exitCode, 0);
        QCOMPARE(cartvault({"import", "11", path("spot.zip"), "--overwrite"}).exitCode, 0);
        QJsonObject unpacked = shown("11");
        for (const char* storeOwn : {"number", "audio_file"})
            unpacked.insert(storeOwn, cart[storeOwn]);
        QCOMPARE(unpacked, cart);
        const Result exported = cartvault({"export", "--wav", "11", path("out.wav")});
        QVERIFY2(exported.exitCode == 0, exported.err.constData());

        SF_INFO info{};
        SNDFILE* file = sf_open(qPrintable(path("out.wav")), SFM_READ, &info);
        QVERIFY2(file, sf_strerror(nullptr));
        SF_CART_INFO_VAR(1024) read{};
        SF_BROADCAST_INFO_VAR(1024) bext{};
        const bool hasCart = sf_command(file, SFC_GET_CART_INFO, &read, sizeof read) == SF_TRUE;
        const bool hasBext = sf_command(file, SFC_GET_BROADCAST_INFO, &bext, sizeof bext) == SF_TRUE;
        QCOMPARE(info.frames, sf_count_t(1000));
        sf_close(file);
        QVERIFY(hasCart && hasBext);

        const QByteArray written = cartChunk();
        const auto writtenText = [&](int offset, int width) { return text(written.constData() + offset, width); };
        const QList<std::pair<const char*, int>> fields{
            {read.title, 4},        {read.artist, 68},          {read.cut_id, 132},
            {read.client_id, 196},  {read.category, 260},       {read.classification, 324},
            {read.out_cue, 388},    {read.producer_app_id, 488}, {read.producer_app_version, 552},
            {read.user_def, 616}};
        for (const auto& [value, offset] : fields)
            QCOMPARE(text(value, 64), writtenText(offset, 64));
        QCOMPARE(text(read.version, 4), "0101");
        QCOMPARE(text(read.start_date, 10), "2026/03/01");
        QCOMPARE(text(read.start_time, 8), "06:00:00");
        QCOMPARE(text(read.end_date, 10), "2026/03/31");
        QCOMPARE(text(read.end_time, 8), "21:30:00");
        QCOMPARE(read.level_reference, 32768);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(QByteArray(read.post_timers[i].usage, 4), QByteArray(kTimers[i].first, 4));
            QCOMPARE(read.post_timers[i].value, kTimers[i].second);
        }
        QCOMPARE(text(read.url, 1024), "http://example.org/spot/42");
        QCOMPARE(text(read.tag_text, read.tag_text_size), "<spot>spring</spot>");

        QCOMPARE(bext.loudness_value, kLoudness[0]);
        QCOMPARE(bext.loudness_range, kLoudness[1]);
        QCOMPARE(bext.max_true_peak_level, kLoudness[2]);
        QCOMPARE(bext.max_momentary_loudness, kLoudness[3]);
        QCOMPARE(bext.max_shortterm_loudness, kLoudness[4]);
        QCOMPARE(text(bext.description, 256), "Spring Campaign 30s");
        QCOMPARE(text(bext.originator, 32), "Harbour Motors");
        QCOMPARE(text(bext.coding_history, bext.coding_history_size), "A=PCM,F=44100,W=16,M=stereo");

        // A packed cart through the batch tool: the run's category over the zip's, the rest the zip's.
        QCOMPARE(batch({"--start-cart", "12", "--category", "Zipped", path("spot.zip")}).exitCode, 0);
        QCOMPARE(shown("12")["category"].toString(), "Zipped");
        QCOMPARE(shown("12")["post_timers"], cart["post_timers"]);
    }

    // Catches the sources taken in the wrong order: the description file
    // before the cart chunk and the tags, each field on its own.
    void theDescriptionFileComesFirst()
    {
        const QString wave = broadcastWave("ordered.wav");
        const QString song = path("song.mp3");
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "anoisesrc=d=0.3:a=0.4", "-ac", "2", "-metadata", "composer=Tag Composer",
                                  "-metadata", "publisher=Tag Publisher", "-metadata", "isrc=GB-AYE-00-00351", "-metadata",
                                  "date=1987-06-01", "-c:a", "libmp3lame", song}));
        QVERIFY(!TestEnvironment::writeFile(path("ordered.CSV"), "Category,EndDate\nCSV-ADS,2027-01-31\n").isEmpty());
        QVERIFY(!TestEnvironment::writeFile(path("song.CSV"), "Title,Composer\nSong,Csv Composer\n").isEmpty());
        const Result imported = batch({"--start-cart", "20", wave, song});
        QVERIFY2(imported.exitCode == 0, imported.err.constData());

        const QJsonObject fromWave = shown("20");
        QCOMPARE(fromWave["category"].toString(), "CSV-ADS");
        QCOMPARE(fromWave["end_air"].toString(), "2027-01-31T23:59:59");
        QCOMPARE(fromWave["start_air"].toString(), "2026-03-01T06:00:00"); // the description file has none
        QCOMPARE(fromWave["classification"].toString(), "Retail");
        const QJsonObject fromSong = shown("21");
        QCOMPARE(fromSong["composer"].toString(), "Csv Composer");
        QCOMPARE(fromSong["publisher"].toString(), "Tag Publisher");
        QCOMPARE(fromSong["isrc"].toString(), "GBAYE0000351");
        QCOMPARE(fromSong["year"].toInt(), 1987);

        // The command line's category wins over every file's.
        QCOMPARE(batch({"--start-cart", "20", "--category", "Night", "--end-date", "2030-05-01 12:00", wave}).exitCode, 0);
        QCOMPARE(shown("20")["category"].toString(), "Night");
        QCOMPARE(shown("20")["end_air"].toString(), "2030-05-01T12:00:00");
    }

    // Catches `set` writing without cart rights or taking a malformed ISRC,
    // and the expiry filters picking the wrong side of now.
    void setNeedsRightsAndListFindsWhatExpires()
    {
        QCOMPARE(batch({"--start-cart", "30", broadcastWave("a.wav"), broadcastWave("b.wav"), broadcastWave("c.wav")}).exitCode, 0);
        const QString soon = QDate::currentDate().addDays(2).toString(Qt::ISODate);
        QCOMPARE(cartvault({"set", "30", "--end-date", "2020-01-31", "--isrc", "gb-aye-00-00351"}).exitCode, 0);
        QCOMPARE(cartvault({"set", "31", "--end-date", soon}).exitCode, 0);
        QCOMPARE(cartvault({"set", "32", "--end-date", ""}).exitCode, 0);
        QCOMPARE(shown("30")["isrc"].toString(), "GBAYE0000351");
        QCOMPARE(cartvault({"set", "30", "--isrc", "GB-AYE-00-0035"}).exitCode, 2);
        QCOMPARE(cartvault({"set", "30", "--end-date", "2020-02-30"}).exitCode, 2);
        QCOMPARE(shown("30")["end_air"].toString(), "2020-01-31T23:59:59");
        QVERIFY(cartvault({"audit"}).out.contains("Cart 30: end_air=2020-01-31T23:59:59, isrc=GBAYE0000351"));

        const auto listed = [](const QStringList& filter) {
            QStringList carts;
            for (const QJsonValue cart : QJsonDocument::fromJson(cartvault(QStringList{"list", "--json"} + filter).out).array())
                if (cart["number"].toInt() >= 30)
                    carts << QString::number(cart["number"].toInt());
            return carts;
        };
        QCOMPARE(listed({"--expired"}), QStringList{"30"});
        QCOMPARE(listed({"--expiring-within", "7d"}), QStringList{"31"});
        QCOMPARE(listed({"--expiring-within", "1h"}), QStringList());

        // Without cart rights the cart stays as it was.
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "rights");
            db.setDatabaseName(path("spots/cartvault.sqlite"));
            QVERIFY(db.open());
            QSqlQuery lower(db);
            lower.prepare("UPDATE users SET cart_rights = 0 WHERE name = ?");
            lower.addBindValue(AppPaths::systemUserName());
            QVERIFY(lower.exec());
        }
        QSqlDatabase::removeDatabase("rights");
        const Result refused = cartvault({"set", "31", "--category", "Spots"});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("may not change carts"), refused.err.constData());
        QCOMPARE(shown("31")["category"].toString(), "ADS");
    }
};

ORVANE_TEST_MAIN(CartMetadataTest)
#include "tst_cart_metadata.moc"
