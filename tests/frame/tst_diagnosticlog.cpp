#include "frame/GetTempFile.h"
#include "frame/Messenger.h"
#include "frame/ReportError.h"
#include "frame/WriteLog.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>

// The diagnostic log, error reports and temporary names.
class DiagnosticLogTest : public QObject
{
    Q_OBJECT

    static QStringList lines()
    {
        QFile file(LogFilePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QString text = QString::fromUtf8(file.readAll());
        return text.split("\r\n", Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        QFile::remove(LogFilePath());
        DebugLevel::set(0);
        WriteLog("reset", -1, LogResetBefore); // nothing written at level 0, nor the indent changed
    }

    void levelsDecideWhatIsWritten_data()
    {
        QTest::addColumn<int>("debugLevel");
        QTest::addColumn<int>("messageLevel");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("memoryFigures");
        QTest::newRow("off") << 0 << 5 << false << false;
        QTest::newRow("normal, default level") << 5 << -1 << true << false;
        QTest::newRow("normal, too detailed") << 5 << 6 << false << false;
        QTest::newRow("max") << 10 << 5 << true << true;
        QTest::newRow("everything") << -1 << 99 << true << false;
    }

    void levelsDecideWhatIsWritten()
    {
        QFETCH(int, debugLevel);
        QFETCH(int, messageLevel);
        QFETCH(bool, written);
        QFETCH(bool, memoryFigures);
        DebugLevel::set(debugLevel);
        WriteLog("two\nlines", messageLevel, LogIndentNone);
        QCOMPARE(QFileInfo::exists(LogFilePath()), written);
        if (!written)
            return;
        QFile file(LogFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        const QString pattern = memoryFigures ? "^\\d\\d:\\d\\d:\\d\\d [ \\d]{9}\\d [ \\d]{9}\\d two\nlines\r\n$"
                                              : "^\\d\\d:\\d\\d:\\d\\d two\nlines\r\n$";
        QVERIFY2(QRegularExpression(pattern).match(text).hasMatch(), qPrintable(text));
        QVERIFY(QFileInfo(LogFilePath()).fileName().contains(QRegularExpression("\\.\\d{8}\\.log$")));
    }

    void indentRisesAndFalls()
    {
        DebugLevel::set(5);
        WriteLog("Finished early", 5, LogOutdentBefore); // never below 0
        WriteLog("Start A", 5, LogIndentAfter);
        WriteLog("inside A", 5);
        WriteLog("Start B", 5, LogIndentAfter);
        WriteLog("inside B", 5);
        WriteLog("Finished B", 5, LogOutdentBefore);
        WriteLog("back to top", 5, LogResetBefore);
        QStringList messages;
        for (const QString& line : lines())
            messages << line.mid(8);
        QCOMPARE(messages, QStringList({" Finished early", " Start A", "     inside A", "     Start B",
                                        "         inside B", "     Finished B", " back to top"}));
    }

    void unwritableLogLosesTheMessage()
    {
        DebugLevel::set(5);
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", "/proc/no-such-place");
        WriteLog("lost", 5);
        qputenv("XDG_STATE_HOME", saved);
        QVERIFY(!QFileInfo::exists(LogFilePath()));
    }

    void problemsAreShownAndLogged()
    {
        DebugLevel::set(5);
        ScriptedMessenger messenger;
        Messenger::install(&messenger);
        const QString message = ReportError("deleting the destination file /x.wav ", ENOENT, false);
        QCOMPARE(message, QString("There was a problem deleting the destination file /x.wav and the error's description "
                                  "was reported as : \n\n\"No such file or directory\""));
        QCOMPARE(ReportProblem("reading", "", true), QString("There was a problem reading"));
        Messenger::install(nullptr);
        QCOMPARE(messenger.texts(), QStringList{message});
        QVERIFY(messenger.shown.first().icon == MessageIcon::Exclamation);
        QVERIFY(lines().last().endsWith("There was a problem reading"));
    }

    void temporaryNames()
    {
        const QString wav = GetTempFile("", "WAV");
        QVERIFY(wav.endsWith(".WAV"));
        QCOMPARE(QFileInfo(wav).absolutePath(), QDir(QDir::tempPath()).absolutePath());
        QVERIFY(!QFileInfo::exists(wav));
        QVERIFY(!QFileInfo::exists(wav.chopped(3) + "tmp")); // nothing left behind
        const QString tmp = GetTempFile(TestEnvironment::instance()->root(), "tmp");
        QVERIFY(QFileInfo::exists(tmp)); // the "tmp" name is made and kept
        QVERIFY(GetTempFile("", "WAV") != wav);
        QVERIFY(GetTempFile("/proc/no-such-folder", "WAV").isEmpty());
    }
};

ORVANE_TEST_MAIN(DiagnosticLogTest)
#include "tst_diagnosticlog.moc"
