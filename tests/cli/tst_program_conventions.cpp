// What every program owes a shell: --version, and completion of its options
// and verbs as bash offers them.

#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

class ProgramConventionsTest : public QObject
{
    Q_OBJECT

    static QString program(const QString& name)
    {
        if (name == QLatin1String("orvane-import"))
            return qEnvironmentVariable("ORVANE_BINARY_DIR") + "/app/orvane-import/orvane-import";
        return TestEnvironment::tool(qPrintable(name));
    }

    static const QStringList& programs()
    {
        static const QStringList names{"orvane-import", "orvane-import-batch", "cartvault", "orvane-audio"};
        return names;
    }

private slots:
    void versionIsPrintedWithoutADisplay_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : programs())
            QTest::newRow(qPrintable(name)) << name;
    }

    // Catches the wizard opening the window system before it looks at
    // --version (it aborts without a display), a tool that does not know
    // the option, and a tool reporting a version of its own.
    void versionIsPrintedWithoutADisplay()
    {
        QFETCH(QString, name);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(variable);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program(name), {"--version"});
        QVERIFY(process.waitForFinished(60000));
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 process.readAllStandardError().constData());
        const QRegularExpressionMatch line = QRegularExpression("^(\\S+) (\\d+\\.\\d+\\.\\d+)\\n$").match(out);
        QVERIFY2(line.hasMatch(), qPrintable(out));
        QCOMPARE(line.captured(1), name);
        static QString firstVersion;
        if (firstVersion.isEmpty())
            firstVersion = line.captured(2);
        QCOMPARE(line.captured(2), firstVersion);
    }

    void completionOffersOptionsAndVerbs_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("offered");
        QTest::newRow("first verb word") << "cartvault pro" << "profile";
        QTest::newRow("second verb word") << "cartvault profile c" << "create";
        QTest::newRow("a verb's own option") << "cartvault profile create x --pos" << "--postgres";
        QTest::newRow("options before the verb") << "cartvault --" << "--help --profile --version";
        QTest::newRow("a tool without verbs") << "orvane-import-batch --watch /tmp --over" << "--overwrite";
        QTest::newRow("a verb without options of its own") << "orvane-audio copy a.wav b.wav --norm" << "--normalise --normalise=";
        QTest::newRow("verbs from usage lines") << "orvane-audio c" << "chunks copy";
        QTest::newRow("the wizard") << "orvane-import --ver" << "--version";
    }

    // Catches word lists that lost a verb or an option in the making (they
    // come from each program's --help when it is built).
    void completionOffersOptionsAndVerbs()
    {
        QFETCH(QString, line);
        QFETCH(QString, offered);
        const QString library = "/usr/share/bash-completion/bash_completion";
        if (!QFile::exists(library))
            QSKIP("bash-completion is not installed");
        const QString name = line.section(' ', 0, 0);
        const QString script = qEnvironmentVariable("ORVANE_BINARY_DIR") + "/completions/" + name;
        QVERIFY2(QFile::exists(script), qPrintable(script));
        const QString function = "_" + QString(name).replace('-', '_');
        QProcess bash;
        bash.start("bash", {"-c", QString("source %1; source %2; COMP_WORDS=(%3); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
                                          "COMP_LINE='%3'; COMP_POINT=${#COMP_LINE}; %4; echo \"${COMPREPLY[*]}\"")
                                      .arg(library, script, line, function)});
        QVERIFY(bash.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(bash.readAllStandardOutput()).trimmed(), offered);
    }
};

ORVANE_TEST_MAIN(ProgramConventionsTest)
#include "tst_program_conventions.moc"
