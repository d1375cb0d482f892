#include "frame/library/ProfileSettings.h"
#include "tests/support/RiffBytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <memory>
#include <unistd.h>

// Workstations of a group share one store and one audio folder (on a network
// share, in a studio group): each imports from its own machine at once.
class SharedAudioFolderTest : public QObject
{
    Q_OBJECT

    // Noise, no tone: nothing about the audio is shaped for the store.
    static bool noise(const QString& path)
    {
        QByteArray data(4410 * 4, Qt::Uninitialized);
        for (char& byte : data)
            byte = char(QRandomGenerator::global()->bounded(256));
        using namespace RiffBytes;
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(riff("WAVE", chunk("fmt ", pcmFormat(2, 44100, 16)) + chunk("data", data))) > 0;
    }

    // The batch tool on a machine of that name. Naming a machine takes root
    // (a UTS namespace of its own); others run as the machine they are on.
    static std::unique_ptr<QProcess> startOn(const QString& workstation, const QStringList& arguments)
    {
        auto process = std::make_unique<QProcess>();
        if (::geteuid() == 0)
            process->start("unshare", QStringList{"--uts", "sh", "-c", "hostname \"$0\" && exec \"$@\"", workstation,
                                                  TestEnvironment::tool("orvane-import-batch")} + arguments);
        else
            process->start(TestEnvironment::tool("orvane-import-batch"), arguments);
        return process;
    }

private slots:
    void twoWorkstationsImportIntoOneFolder_data() { TestStore::addBackendRows(); }

    // Would catch: workstations that plan the same free carts and lose items
    // to each other, an item in two carts, and audio or reservations left in
    // the shared folder that no cart names.
    void twoWorkstationsImportIntoOneFolder()
    {
        QFETCH(int, backend);
        if (backend == TestStore::PostgreSQL && !TestStore::postgresAvailable())
            QSKIP("no PostgreSQL cluster (run through scripts/with-postgres)");
        const QString profile = QStringLiteral("Shared %1").arg(backend);
        QString error;
        QVERIFY2(TestStore::createProfile(profile, TestStore::Backend(backend), &error), qPrintable(error));
        constexpr int kFiles = 8;
        std::vector<std::unique_ptr<QProcess>> studios;
        for (const char* studio : {"studio-a", "studio-b"}) {
            const QString sources = TestEnvironment::folder(QStringLiteral("%1 %2").arg(studio).arg(backend));
            for (int f = 0; f < kFiles; ++f)
                QVERIFY(noise(QStringLiteral("%1/%2 take %3.wav").arg(sources, studio).arg(f)));
            studios.push_back(startOn(studio, {"--profile", profile, "--start-cart", "1", sources}));
        }
        for (const auto& studio : studios) {
            QVERIFY(studio->waitForFinished(120000));
            QVERIFY2(studio->exitCode() == 0, studio->readAllStandardError().constData());
        }

        QProcess list;
        list.start(TestEnvironment::tool("cartvault"), {"--profile", profile, "list", "--json"});
        QVERIFY(list.waitForFinished(60000));
        QSet<QString> titles, files;
        const QJsonArray carts = QJsonDocument::fromJson(list.readAllStandardOutput()).array();
        for (const QJsonValue& cart : carts) {
            titles << cart[QStringLiteral("title")].toString();
            files << cart[QStringLiteral("audio_file")].toString();
        }
        QCOMPARE(carts.size(), 2 * kFiles);
        QCOMPARE(titles.size(), 2 * kFiles);
        ProfileSettings settings;
        settings.LoadProfile(profile);
        const QStringList onDisk = TestEnvironment::filesUnder(settings.DataLocation + "/audio");
        QCOMPARE(QSet<QString>(onDisk.begin(), onDisk.end()), files);
    }
};

ORVANE_TEST_MAIN(SharedAudioFolderTest)
#include "tst_shared_audio_folder.moc"
