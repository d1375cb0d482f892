#include "frame/library/CartDatabase.h"
#include "frame/library/CartLoudnessColumns.h"
#include "frame/library/Directory.h"
#include "frame/library/DirectoryUser.h"
#include "frame/library/AuditLog.h"
#include "frame/library/ProfileSettings.h"
#include "frame/AppPaths.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestWav.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSemaphore>
#include <QThread>
#include <QVariant>
#include <zip.h>

// The store suite: every case runs on SQLite and on PostgreSQL.
class CartStoreTest : public QObject
{
    Q_OBJECT

    int m_counter = 0;
    QString m_profile;
    TestStore::Session m_session;

    PlayoutAudio& audio() { return *m_session.audio; }

    QString wav(const QString& name, double seconds, double frequency = 440)
    {
        TestWav tone;
        tone.seconds = seconds;
        tone.frequency = frequency;
        const QString path = TestEnvironment::instance()->root() + QLatin1Char('/') + name;
        tone.write(path);
        return path;
    }

    bool fill(const QString& cart, double seconds = 0.1)
    {
        QString message;
        return audio().ImportAudioFile(cart, wav(QStringLiteral("fill.wav"), seconds), false, 0, message);
    }

    // Files in the audio location that no cart's record names: what a failed
    // or interrupted import must not leave behind.
    QStringList orphans()
    {
        QSet<QString> named;
        QSqlQuery& q = audio().Cartvault().database()->query("SELECT audio_file FROM carts");
        if (q.exec())
            while (q.next())
                named << q.value(0).toString();
        q.finish();
        QStringList found;
        QDirIterator it(audio().Cartvault().Location(1), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            if (const QString file = it.next(); !named.contains(file))
                found << file;
        return found;
    }

    // The record and the audio file of a cart tell the same story.
    void verifyCartHolds(const QString& number, float seconds, const QString& source)
    {
        const auto cart = *audio().GetCart(number);
        QCOMPARE(cart.AudioLength, seconds);
        QCOMPARE(TestEnvironment::contents(cart.AudioFile), TestEnvironment::contents(source));
    }


private slots:
    void initTestCase_data()
    {
        TestStore::addBackendRows();
    }

    void init()
    {
        QFETCH_GLOBAL(int, backend);
        if (backend == TestStore::PostgreSQL && !TestStore::postgresAvailable())
            QSKIP("no PostgreSQL cluster (run through scripts/with-postgres)");
        m_profile = QStringLiteral("store %1").arg(++m_counter);
        QString error;
        QVERIFY2(TestStore::createProfile(m_profile, TestStore::Backend(backend), &error), qPrintable(error));
        QVERIFY(TestStore::setSettings(m_profile, {{"FirstCart", "10"}, {"LastCart", "20"}, {"AllowLinking", "false"}}));
        m_session = TestStore::open(m_profile);
        QVERIFY(m_session.audio);
    }

    void cleanup() { m_session = {}; }

    void cartNumbersAtTheRangeEnds()
    {
        QCOMPARE(audio().FirstValidCart(""), QString("10"));
        QCOMPARE(audio().FirstValidCart("3"), QString("10"));
        QCOMPARE(audio().FirstValidCart("20"), QString("20"));
        QCOMPARE(audio().FirstValidCart("21"), QString());
        QCOMPARE(audio().NextCartNumber("19"), QString("20"));
        QCOMPARE(audio().NextCartNumber("20"), QString());
        QCOMPARE(audio().NextCartNumber("007"), QString());
        QVERIFY(audio().IsValidCartNumber(" 15 "));
        QVERIFY(audio().IsValidCartNumber("010"));
        for (const char* bad : {"", "abc", "-12", "9", "21", "1e1", "12.0", "１２"}) {
            QVERIFY2(!audio().IsValidCartNumber(bad), bad);
            QCOMPARE(audio().NextCartNumber(bad), QString());
            QVERIFY(!audio().GetCart(bad).has_value());
        }
        QCOMPARE(audio().FirstValidCart("abc"), QString());
        QCOMPARE(audio().FirstFreeCart("abc"), QString());
    }

    void firstFreeCartSkipsCartsHoldingAudio()
    {
        QCOMPARE(audio().FirstFreeCart(""), QString("10"));
        // Bug: workstations planning at once all plan the same free cart. A
        // cart planned is planned until the import into it ends.
        TestStore::Session other = TestStore::open(m_profile);
        QCOMPARE(other.audio->FirstFreeCart(""), QString("11"));
        QCOMPARE(audio().FirstFreeCart(""), QString("10"));
        QVERIFY(fill("10"));
        QCOMPARE(other.audio->FirstFreeCart(""), QString("11"));
        other = {};
        QVERIFY(fill("11"));
        QVERIFY(fill("13"));
        QCOMPARE(audio().FirstFreeCart(""), QString("12"));
        QCOMPARE(audio().FirstFreeCart("13"), QString("14"));
        // A cart with titles but no audio is free.
        CartRecord titled = *audio().GetCart("12");
        titled.Title = "Only a title";
        QVERIFY(audio().SaveCart("12", titled));
        QCOMPARE(audio().FirstFreeCart("11"), QString("12"));
        for (int cart = 12; cart <= 20; ++cart)
            QVERIFY(fill(QString::number(cart)));
        QCOMPARE(audio().FirstFreeCart(""), QString());
        QCOMPARE(audio().FirstFreeCart("20"), QString());
    }

    void unusedCartsReadAsEmptyRecords()
    {
        const auto unused = audio().GetCart("15");
        QVERIFY(unused.has_value());
        QVERIFY(unused->AudioLength < 0);
        QCOMPARE(unused->Number, QString("15"));
        QVERIFY(!audio().GetCart("21").has_value());
        QCOMPARE(audio().GetCart("015")->Number, QString("15"));
    }

    void savedFieldsAreSeenByAnotherWorkstation()
    {
        CartRecord record = *audio().GetCart("12");
        record.Title = QString::fromUtf8("Café \"Live\" O'Brien");
        record.setArtist(QString::fromUtf8("Ünïcode Ärtist"));
        record.setDescription("line one\nline two");
        record.IntroStart = 1.5f;
        record.IntroEnd = 4.25f;
        record.Extro = 170.5f;
        record.Metadata.endAir = QDateTime(QDate(2027, 1, 31), QTime(23, 59, 59));
        record.Metadata.composer = QString::fromUtf8("Zoë O'Hara");
        record.Metadata.postTimers[3] = {"SEGs", 88200};
        record.Metadata.year = 1969;
        QVERIFY(audio().SaveCart("12", record));

        // Another process: its own connection, read at once.
        TestStore::Session other;
        QThread* thread = QThread::create([&] {
            other = TestStore::open(m_profile);
            const auto seen = other.audio->GetCart("12");
            QVERIFY(seen.has_value());
            QCOMPARE(seen->Title, record.Title);
            QCOMPARE(seen->Artist(1), record.Artist(1));
            QCOMPARE(seen->Description(1), record.Description(1));
            QCOMPARE(seen->IntroEnd, 4.25f);
            QCOMPARE(seen->Extro, 170.5f);
            QVERIFY(seen->Metadata == record.Metadata);
            QVERIFY(seen->AudioLength < 0);
            other = {};
        });
        thread->start();
        thread->wait();
        delete thread;
    }

    // A walk through the carts reads ahead; what another workstation saves
    // meanwhile must still show (on PostgreSQL once its announcement is in).
    void walkSeesOtherWorkstationsSaves()
    {
        QVERIFY(audio().GetCart("10").has_value());
        QVERIFY(audio().GetCart("11")->Title.isEmpty());
        QThread* other = QThread::create([&] {
            TestStore::Session session = TestStore::open(m_profile);
            CartRecord record = *session.audio->GetCart("12");
            record.Title = "Saved elsewhere";
            QVERIFY(session.audio->SaveCart("12", record));
        });
        other->start();
        other->wait();
        delete other;
        // PostgreSQL announces the commit to this connection a moment after
        // it returns; each try walks from 11 to 12 again, so it reads ahead.
        const auto walkTo12 = [&] {
            audio().GetCart("11");
            return audio().GetCart("12")->Title;
        };
        QTRY_COMPARE_WITH_TIMEOUT(walkTo12(), QString("Saved elsewhere"), 2000);

        CartRecord mine = *audio().GetCart("13");
        mine.Title = "Saved here";
        QVERIFY(audio().SaveCart("13", mine));
        QCOMPARE(audio().GetCart("13")->Title, QString("Saved here"));
        QCOMPARE(audio().GetCart("14")->Title, QString());
    }

    void importCopiesLinksAndReimportsItsOwnFile()
    {
        const QString source = wav("two-seconds.wav", 2.0);
        QString message;
        QVERIFY2(audio().ImportAudioFile("14", source, false, 0, message), qPrintable(message));
        auto cart = *audio().GetCart("14");
        QCOMPARE(cart.AudioLength, 2.0f);
        QCOMPARE(cart.Length, 2.0f);
        QCOMPARE(cart.AudioFile, audio().CartAudioFile("14"));
        QVERIFY(!cart.Linked);
        QCOMPARE(TestEnvironment::contents(cart.AudioFile), TestEnvironment::contents(source));

        // The cart's own file onto itself.
        QVERIFY2(audio().ImportAudioFile("14", audio().CartAudioFile("14"), false, 0, message), qPrintable(message));
        QCOMPARE(TestEnvironment::contents(audio().CartAudioFile("14")), TestEnvironment::contents(source));
        QCOMPARE(audio().GetCart("14")->AudioLength, 2.0f);

        // Linking needs the store's permission.
        QVERIFY(!audio().ImportAudioFile("15", source, true, 0, message));
        QVERIFY(audio().GetCart("15")->AudioLength < 0);
        QVERIFY(TestStore::setSettings(m_profile, {{"AllowLinking", "true"}}));
        m_session = TestStore::open(m_profile);
        QVERIFY2(audio().ImportAudioFile("15", source, true, 0, message), qPrintable(message));
        cart = *audio().GetCart("15");
        QVERIFY(cart.Linked);
        QCOMPARE(cart.AudioFile, source);
        QVERIFY(!QFile::exists(audio().CartAudioFile("15")));

        // Not a WAV: refused, cart unchanged, nothing left behind.
        const QString text = TestEnvironment::instance()->root() + "/notes.wav";
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("just some text, not audio");
        f.close();
        QVERIFY(!audio().ImportAudioFile("14", text, false, 0, message));
        QVERIFY(!message.isEmpty());
        QCOMPARE(audio().GetCart("14")->AudioLength, 2.0f);
        QCOMPARE(orphans(), QStringList());
    }

    void newAudioClearsOldTimingPoints()
    {
        QVERIFY(fill("16", 1.0));
        CartRecord record = *audio().GetCart("16");
        record.Title = "Kept";
        record.Extro = 0.8f;
        record.Isrc = "GBAYE0000351";
        record.Metadata.category = "ADS";
        QVERIFY(audio().SaveCart("16", record));
        QCOMPARE(audio().GetCart("16")->Metadata.category, QString("ADS"));
        QVERIFY(fill("16", 0.5));
        const auto cart = *audio().GetCart("16");
        QCOMPARE(cart.Title, QString("Kept"));
        QVERIFY(cart.Isrc.isEmpty() && cart.Metadata == CartMetadata()); // the old recording's
        QCOMPARE(cart.Extro, 0.5f); // the end of the new audio
        QCOMPARE(cart.AudioLength, 0.5f);
    }

    // Two workstations import into the same cart while a third holds the
    // store's write lock: both have read the cart before either can write.
    void racingImportersOneWinsNothingMixed()
    {
        QFETCH_GLOBAL(int, backend);
        const QString first = wav("race-a.wav", 3.0, 440);
        const QString second = wav("race-b.wav", 2.0, 880);

        ProfileSettings profile;
        profile.LoadProfile(m_profile);
        auto holder = CartDatabase::openNew(profile);
        QVERIFY(holder);

        QSemaphore ready, go;
        bool results[2] = {false, false};
        auto importer = [&](int which, const QString& file) {
            return QThread::create([&, which, file] {
                TestStore::Session session = TestStore::open(m_profile);
                ready.release();
                go.acquire();
                QString message;
                results[which] = session.audio->ImportAudioFile("17", file, false, 0, message);
            });
        };
        QThread* a = importer(0, first);
        QThread* b = importer(1, second);
        a->start();
        b->start();
        ready.acquire(2);
        QVERIFY(holder->execDirect(backend == TestStore::SQLite ? "BEGIN IMMEDIATE" : "BEGIN"));
        if (backend == TestStore::PostgreSQL)
            QVERIFY(holder->execDirect("LOCK TABLE carts IN EXCLUSIVE MODE"));
        go.release(2);
        // Each importer reads the cart, copies a few hundred kilobytes and
        // then waits for the lock; three seconds is ample for both.
        QThread::msleep(3000);
        QVERIFY(holder->execDirect("COMMIT"));
        a->wait();
        b->wait();
        delete a;
        delete b;
        holder.reset();

        QCOMPARE(int(results[0]) + int(results[1]), 1);
        const auto cart = *audio().GetCart("17");
        const QString winner = results[0] ? first : second;
        QCOMPARE(TestEnvironment::contents(cart.AudioFile), TestEnvironment::contents(winner));
        QCOMPARE(cart.AudioLength, results[0] ? 3.0f : 2.0f);
        QCOMPARE(orphans(), QStringList());
    }

    void transportZipRoundTrip()
    {
        QVERIFY(fill("18", 1.0));
        CartRecord record = *audio().GetCart("18");
        record.Title = "Packed \"title\"";
        record.setArtist("Packed artist");
        record.setDescription("Packed description");
        record.IntroEnd = 0.25f;
        record.Extro = 0.75f;
        QVERIFY(audio().SaveCart("18", record));
        const QString zip = TestEnvironment::instance()->root() + "/" + m_profile + ".zip";
        QString error;
        QVERIFY2(audio().ExportTransportFile("18", zip, false, &error), qPrintable(error));
        // Export never destroys a file: not an existing one, not a cart's audio.
        const QByteArray packed = TestEnvironment::contents(zip);
        QVERIFY(!audio().ExportTransportFile("18", zip, false, &error));
        QCOMPARE(TestEnvironment::contents(zip), packed);
        const QByteArray audio18 = TestEnvironment::contents(audio().CartAudioFile("18"));
        QVERIFY(!audio().ExportTransportFile("18", audio().CartAudioFile("18"), true, &error));
        QCOMPARE(TestEnvironment::contents(audio().CartAudioFile("18")), audio18);
        QVERIFY(audio().ImportTransportFile("19", zip));
        const auto unpacked = *audio().GetCart("19");
        QCOMPARE(unpacked.Title, record.Title);
        QCOMPARE(unpacked.Artist(1), record.Artist(1));
        QCOMPARE(unpacked.Description(1), record.Description(1));
        QCOMPARE(unpacked.IntroEnd, 0.25f);
        QCOMPARE(unpacked.Extro, 0.75f);
        QCOMPARE(unpacked.AudioLength, 1.0f);
        QCOMPARE(TestEnvironment::contents(unpacked.AudioFile), TestEnvironment::contents(audio().CartAudioFile("18")));
        QVERIFY(!audio().ExportTransportFile("20", zip, false, &error)); // holds no audio
    }

    // Silence deflates a thousandfold and is still a packed cart; timing
    // points that do not fit its audio are left out, not stored.
    void deflatedSilenceWithMisplacedTimingPoints()
    {
        TestWav silence;
        silence.seconds = 30;
        silence.amplitude = 0;
        const QByteArray audioData = silence.bytes();
        const QByteArray fields = R"({"format":"orvane-cart","version":1,"title":"Quiet","intro_start":-5,"intro_end":2,"extro":1e30})";
        const QString zipPath = TestEnvironment::instance()->root() + "/silence.zip";
        int code = 0;
        zip_t* archive = zip_open(zipPath.toLocal8Bit().constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        QVERIFY(archive);
        for (const auto& [name, data] : {std::pair{"cart.json", &fields}, std::pair{"audio.wav", &audioData}}) {
            const zip_int64_t index = zip_file_add(archive, name, zip_source_buffer(archive, data->constData(), data->size(), 0), 0);
            QVERIFY(index >= 0);
            zip_set_file_compression(archive, index, ZIP_CM_DEFLATE, 9);
        }
        QCOMPARE(zip_close(archive), 0);
        QVERIFY2(audio().ImportTransportFile("19", zipPath), qPrintable(audio().lastImportError()));
        const auto cart = *audio().GetCart("19");
        QCOMPARE(cart.Title, QString("Quiet"));
        QCOMPARE(cart.AudioLength, 30.0f);
        QCOMPARE(cart.IntroStart, 0.0f);
        QCOMPARE(cart.IntroEnd, 2.0f);
        QCOMPARE(cart.Extro, 30.0f); // dropped, so the end of the audio
        QVERIFY(audio().lastImportNote().contains("intro start"));
        QVERIFY(audio().lastImportNote().contains("extro"));
    }

    // Each step of an import made to fail: the cart keeps its old record and
    // audio or shows the new ones, never a mix, and once the store opens
    // again nothing is left that no record names.
    void failedImportsLeaveOldOrNew_data()
    {
        TestStore::addImportFaultRows();
    }

    void failedImportsLeaveOldOrNew()
    {
        QFETCH(QString, step);
        QFETCH(bool, replaced);
        const QString before = wav("before.wav", 3.0, 440);
        const QString after = wav("after.wav", 7.0, 880);
        QString message;
        QVERIFY(audio().ImportAudioFile("16", before, false, 0, message));
        qputenv("ORVANE_STORE_FAULT", (step + ":fail").toUtf8());
        const bool imported = audio().ImportAudioFile("16", after, false, 0, message);
        qunsetenv("ORVANE_STORE_FAULT");
        QCOMPARE(imported, replaced);
        verifyCartHolds("16", replaced ? 7.0f : 3.0f, replaced ? after : before);
        m_session = TestStore::open(m_profile);
        verifyCartHolds("16", replaced ? 7.0f : 3.0f, replaced ? after : before);
        QCOMPARE(orphans(), QStringList());
    }

    // A store made by the first release gains the later steps when opened;
    // a store of a later release is refused.
    void olderStoresMigrateNewerAreRefused()
    {
        QVERIFY(fill("12", 0.5));
        auto database = audio().Cartvault().database();
        QVERIFY(database->execDirect("DELETE FROM schema_info WHERE version > 1"));
        QVERIFY(database->execDirect("DROP TABLE retired_audio"));
        QVERIFY(database->execDirect("DROP TABLE dropbox_files"));
        QVERIFY(database->execDirect("DROP TABLE cart_fingerprints"));
        QVERIFY(database->execDirect("ALTER TABLE users DROP COLUMN administrator"));
        QVERIFY(database->execDirect("ALTER TABLE carts DROP COLUMN isrc"));
        QVERIFY(database->execDirect("ALTER TABLE carts DROP COLUMN mcn"));
        QVERIFY(database->execDirect("DROP INDEX carts_end_air"));
        for (const QString& column : CartLoudnessColumns::columns() + CartMetadata::columns())
            QVERIFY(database->execDirect("ALTER TABLE carts DROP COLUMN " + column));
        QVERIFY(database->execDirect("DROP INDEX carts_by_audio_file"));
        ProfileSettings profile;
        profile.LoadProfile(m_profile);
        QString error;
        auto reopened = CartDatabase::openNew(profile, &error);
        QVERIFY2(reopened, qPrintable(error));
        QVERIFY(reopened->allows(CartDatabase::Right::Administration)); // the creator administers
        QVERIFY(reopened->execDirect("SELECT COUNT(*) FROM retired_audio"));
        QVERIFY(reopened->execDirect("SELECT isrc, mcn, " + (CartLoudnessColumns::columns() + CartMetadata::columns()).join(", ") + " FROM carts"));
        QVERIFY(reopened->execDirect("SELECT cart, seconds, fingerprint FROM cart_fingerprints"));
        QVERIFY(reopened->execDirect("INSERT INTO schema_info (version) VALUES (99)"));
        QVERIFY(!CartDatabase::openNew(profile, &error));
        QVERIFY2(error.contains("newer version"), qPrintable(error));
    }

    void maliciousTransportZipsAreRefused_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("audioBytes");
        QTest::addColumn<bool>("compress");
        QTest::newRow("absolute name") << QStringList{"cart.json", "/tmp/audio.wav"} << 1000 << false;
        QTest::newRow("dot-dot name") << QStringList{"cart.json", "../audio.wav"} << 1000 << false;
        QTest::newRow("too many entries") << QStringList{"cart.json", "audio.wav", "extra.txt"} << 1000 << false;
        QTest::newRow("missing audio") << QStringList{"cart.json"} << 0 << false;
        QTest::newRow("unexpected member") << QStringList{"cart.json", "audio.mp3"} << 1000 << false;
        QTest::newRow("corrupt") << QStringList{} << 0 << false;
    }

    void maliciousTransportZipsAreRefused()
    {
        QFETCH(QStringList, names);
        QFETCH(int, audioBytes);
        QFETCH(bool, compress);
        const QString zipPath = TestEnvironment::instance()->root() + "/bad.zip";
        QFile::remove(zipPath);
        const QByteArray fields = R"({"format":"orvane-cart","version":1,"title":"Evil"})";
        QByteArray audioData = TestWav{}.bytes();
        audioData.resize(std::max<qsizetype>(audioBytes, 0), '\0');
        if (names.isEmpty()) {
            QFile f(zipPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("PK\x03\x04", 4) + QByteArray(300, 'x'));
        } else {
            int code = 0;
            zip_t* archive = zip_open(zipPath.toLocal8Bit().constData(), ZIP_CREATE, &code);
            QVERIFY(archive);
            for (const QString& name : names) {
                const QByteArray& data = name == "cart.json" ? fields : audioData;
                zip_source_t* source = zip_source_buffer(archive, data.constData(), data.size(), 0);
                const zip_int64_t index = zip_file_add(archive, name.toUtf8().constData(), source, 0);
                QVERIFY(index >= 0);
                zip_set_file_compression(archive, index, compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 9);
            }
            QCOMPARE(zip_close(archive), 0);
        }
        QVERIFY(fill("20", 0.5));
        QVERIFY(!audio().ImportTransportFile("20", zipPath));
        QVERIFY(!audio().lastImportError().isEmpty());
        const auto cart = *audio().GetCart("20");
        QCOMPARE(cart.AudioLength, 0.5f);
        QVERIFY(cart.Title.isEmpty());
        QCOMPARE(orphans(), QStringList());
    }

    // Another workstation holds the cart (on SQLite the whole store) in an
    // open transaction: an import gives up after the store's LockTimeout,
    // says so, and leaves the cart as it was.
    void lockWaitsEndAfterTheLockTimeout()
    {
        QFETCH_GLOBAL(int, backend);
        const QString before = wav("held-before.wav", 1.0, 440);
        QString message;
        QVERIFY(audio().ImportAudioFile("12", before, false, 0, message));
        QVERIFY(TestStore::setSettings(m_profile, {{"LockTimeout", "1"}}));
        ProfileSettings profile;
        profile.LoadProfile(m_profile);
        auto other = CartDatabase::openNew(profile);
        QVERIFY(other);
        QVERIFY(other->execDirect(backend == TestStore::SQLite ? "BEGIN IMMEDIATE" : "BEGIN"));
        QVERIFY(other->lockCart(12));
        const bool imported = audio().ImportAudioFile("12", wav("held-after.wav", 2.0, 880), false, 0, message);
        QVERIFY(other->execDirect("ROLLBACK"));
        QVERIFY(!imported);
        const QString expected = backend == TestStore::SQLite ? "The Cartvault " + profile.sqliteFile() + " is being changed by another workstation"
                                                              : "Cart 12 is being changed by another workstation";
        QVERIFY2(message.startsWith(expected), qPrintable(message));
        verifyCartHolds("12", 1.0f, before);
        QCOMPARE(orphans(), QStringList());
    }

    // A profile whose store is not there yet (SQLite: no data location;
    // PostgreSQL: an empty database) cannot be opened, and trying makes
    // nothing that a second try could open.
    void openingMakesNoStore()
    {
        QFETCH_GLOBAL(int, backend);
        const QString name = m_profile + " bare";
        QString error;
        QVERIFY2(TestStore::saveProfile(name, TestStore::Backend(backend), &error), qPrintable(error));
        ProfileSettings profile;
        profile.LoadProfile(name);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            QVERIFY(!CartDatabase::openNew(profile, &error));
            QVERIFY2(error.contains("'" + name + "'"), qPrintable(error));
        }
        QVERIFY(!QFileInfo::exists(profile.DataLocation));
    }

    void directoryRightsSettingsAndAudit()
    {
        Directory directory;
        directory.ProfileName = m_profile;
        QCOMPARE(directory.OpenDefault(true), 0);
        QVERIFY(directory.CurrentUser());
        QCOMPARE(directory.CurrentUser()->Name(), AppPaths::systemUserName());
        QCOMPARE(directory.CurrentUser()->Rights().CartRights, 1); // whoever made the store

        QVERIFY(directory.CurrentUser()->Settings().SaveSetting("ImportAudioWizardPath", "/srv/in box"));
        QCOMPARE(directory.CurrentUser()->Settings().GetSetting("ImportAudioWizardPath", "x"), QString("/srv/in box"));
        QCOMPARE(directory.CurrentUser()->Settings().GetSetting("Missing", "fallback"), QString("fallback"));

        directory.AuditLog().ToolStarted(4, "orvane-import");
        directory.AuditLog().LogEvent(2, 7, "Import CD Track", "CD Track : 03 '(Song')' into Cart 12", 1, 0);
        QSqlQuery& rows = directory.database()->query("SELECT kind, category, title, text, flag, user_name FROM audit_log ORDER BY id");
        QVERIFY(rows.exec());
        QVERIFY(rows.next());
        QCOMPARE(rows.value(2).toString(), QString("Tool Started"));
        QVERIFY(rows.next());
        QCOMPARE(rows.value(1).toInt(), 7);
        QCOMPARE(rows.value(3).toString(), QString("CD Track : 03 '(Song')' into Cart 12"));
        QCOMPARE(rows.value(5).toString(), AppPaths::systemUserName());
        rows.finish();

        // Rights as the administrator sets them; nobody raises their own; an
        // unknown user is not logged in.
        QVERIFY(!directory.addUser(AppPaths::systemUserName(), 5, true));
        QVERIFY(directory.addUser(AppPaths::systemUserName(), -1, true));
        QVERIFY(directory.addUser("presenter", 5));
        QCOMPARE(directory.users().size(), 2);
        QCOMPARE(directory.OpenDefault(true), 0);
        QCOMPARE(directory.CurrentUser()->Rights().CartRights, -1);
        QString message;
        QVERIFY(!audio().ImportAudioFile("12", wav("refused.wav", 0.1), false, 0, message));
        QVERIFY2(message.contains("may not change carts"), qPrintable(message));
        // A shared store's own roles: studios granted the reader role can
        // list and show, not write.
        QFETCH_GLOBAL(int, backend);
        if (backend == TestStore::PostgreSQL) {
            QSqlQuery& roles = directory.database()->query(
                "SELECT has_table_privilege(current_database() || '_reader', 'carts', 'SELECT'), "
                "has_table_privilege(current_database() || '_reader', 'carts', 'INSERT'), "
                "has_table_privilege(current_database() || '_writer', 'carts', 'UPDATE'), "
                // every import clears the cart's fingerprint
                "has_table_privilege(current_database() || '_writer', 'cart_fingerprints', 'DELETE')");
            QVERIFY(roles.exec() && roles.next());
            QCOMPARE(roles.value(0).toBool(), true);
            QCOMPARE(roles.value(1).toBool(), false);
            QCOMPARE(roles.value(2).toBool(), true);
            QCOMPARE(roles.value(3).toBool(), true);
            roles.finish();
        }
        QSqlQuery& remove = directory.database()->query("DELETE FROM users WHERE name = ?");
        remove.addBindValue(AppPaths::systemUserName());
        QVERIFY(remove.exec());
        QCOMPARE(directory.OpenDefault(true), 0);
        QVERIFY(!directory.CurrentUser());
    }
};

ORVANE_TEST_MAIN(CartStoreTest)
#include "tst_cartstore.moc"
