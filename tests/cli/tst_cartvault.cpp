#include "tests/support/TestEnvironment.h"
#include "tests/support/TestWav.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

// The administrator's tool as a shell uses it, on the test's own XDG folders.
class CartvaultToolTest : public QObject
{
    Q_OBJECT

    struct Result {
        int exitCode;
        QByteArray out;
        QByteArray err;
    };

    Result cartvault(const QStringList& arguments)
    {
        QProcess process;
        process.start(qEnvironmentVariable("ORVANE_BINARY_DIR") + "/cli/cartvault/cartvault", arguments);
        process.waitForFinished(60000);
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QString path(const QString& name) const { return TestEnvironment::instance()->root() + "/" + name; }

private slots:
    void administratorSession()
    {
        TestWav tone;
        tone.seconds = 1.5;
        QVERIFY(tone.write(path("tone.wav")));

        QCOMPARE(cartvault({"profile", "create", "Studio 1", "--data", path("studio1")}).exitCode, 0);
        QCOMPARE(cartvault({"profile", "create", "Studio 1", "--data", path("studio1")}).exitCode, 1);
        QCOMPARE(cartvault({"--profile", "Studio 1", "user", "add", "presenter", "--cart-rights", "1"}).exitCode, 0);
        QVERIFY(cartvault({"--profile", "Studio 1", "user", "list"}).out.contains("presenter\t1"));
        QCOMPARE(cartvault({"--profile", "Studio 1", "import", "100", path("tone.wav")}).exitCode, 0);

        const Result shown = cartvault({"--profile", "Studio 1", "show", "100", "--json"});
        QCOMPARE(shown.exitCode, 0);
        const QJsonObject cart = QJsonDocument::fromJson(shown.out).object();
        for (const char* key : {"number", "title", "artist", "description", "intro_start", "intro_end", "extro", "length",
                                "audio_length", "audio_file", "linked"})
            QVERIFY2(cart.contains(key), key);
        QCOMPARE(cart.value("number").toString(), QString("100"));
        QCOMPARE(cart.value("audio_length").toDouble(), 1.5);
        QCOMPARE(cart.value("linked").toBool(), false);

        QCOMPARE(cartvault({"--profile", "Studio 1", "settings", "set", "DefaultFormat", "FormatType=32 BitRate=128"}).exitCode, 0);
        QVERIFY(cartvault({"--profile", "Studio 1", "settings", "get", "DefaultFormat"}).out.contains("FormatType=32"));
        QCOMPARE(cartvault({"--profile", "Studio 1", "export", "100", path("cart100.zip")}).exitCode, 0);
        QVERIFY(cartvault({"--profile", "Studio 1", "audit", "--json"}).out.contains("Import Audio File"));
    }

    void refusalsAndUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no verb") << QStringList{} << 2;
        QTest::newRow("unknown verb") << QStringList{"frobnicate"} << 2;
        QTest::newRow("missing value") << QStringList{"user", "add", "x", "--cart-rights"} << 2;
        QTest::newRow("unknown option") << QStringList{"list", "--colour"} << 2;
        QTest::newRow("verb help") << QStringList{"import", "--help"} << 0;
        QTest::newRow("no such profile") << QStringList{"--profile", "Nowhere", "list"} << 1;
        QTest::newRow("not a cart") << QStringList{"--profile", "Studio 1", "show", "abc"} << 1;
        QTest::newRow("not a wav") << QStringList{"--profile", "Studio 1", "import", "101", "/etc/hostname"} << 1;
        QTest::newRow("bad setting") << QStringList{"--profile", "Studio 1", "settings", "set", "LastCart", "minus"} << 1;
        QTest::newRow("bad format") << QStringList{"--profile", "Studio 1", "settings", "set", "DefaultFormat", "FormatType=3"} << 1;
        QTest::newRow("link not allowed") << QStringList{"--profile", "Studio 1", "import", "102", "--link", "/dev/null"} << 1;
    }

    void refusalsAndUsage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const Result result = cartvault(arguments);
        QCOMPARE(result.exitCode, exitCode);
        if (exitCode != 0)
            QVERIFY(result.err.startsWith("cartvault: "));
    }
};

ORVANE_TEST_MAIN(CartvaultToolTest)
#include "tst_cartvault.moc"
