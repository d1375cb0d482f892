// The build as a Debian system takes it: installed into a prefix, and as the
// package "cpack -G DEB" makes. Slow (it installs and packs everything once),
// so it carries the label "package".

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

class DebianPackageTest : public QObject
{
    Q_OBJECT

    struct Result {
        int exitCode = -1;
        QString out;
    };

    static Result run(const QString& program, const QStringList& arguments, const QString& folder = QString())
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(folder);
        // systemd's user mode wants a runtime folder even to only verify a unit.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!environment.contains("XDG_RUNTIME_DIR")) {
            const QString runtime = TestEnvironment::folder("runtime");
            QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            environment.insert("XDG_RUNTIME_DIR", runtime);
        }
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        if (!process.waitForFinished(600000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAll())};
    }

    static QString build() { return qEnvironmentVariable("ORVANE_BINARY_DIR"); }
    static QString execStart(const QString& unit)
    {
        return QRegularExpression("^ExecStart=(\\S+)", QRegularExpression::MultilineOption).match(unit).captured(1);
    }

    static const QStringList& programs()
    {
        static const QStringList names{"orvane-import", "orvane-import-batch", "cartvault", "orvane-audio"};
        return names;
    }

private slots:
    // Catches a unit that names the prefix configured instead of the one
    // installed into (systemd then refuses it), and tests or benchmarks
    // slipping into the install.
    void installingIntoAPrefixGivesAUnitThatStartsItsProgram()
    {
        const QString prefix = TestEnvironment::folder("prefix");
        const Result install = run("cmake", {"--install", build(), "--prefix", prefix});
        QVERIFY2(install.exitCode == 0, qPrintable(install.out));
        QStringList installed = QDir(prefix + "/bin").entryList(QDir::Files);
        QStringList expected = programs();
        installed.sort();
        expected.sort();
        QCOMPARE(installed, expected);

        const QString unit = prefix + "/lib/systemd/user/orvane-dropbox@.service";
        const QString program = execStart(QString::fromUtf8(TestEnvironment::contents(unit)));
        QCOMPARE(program, prefix + "/bin/orvane-import-batch");
        QVERIFY(QFileInfo(program).isExecutable());

        if (QStandardPaths::findExecutable("systemd-analyze").isEmpty())
            QSKIP("systemd-analyze is not installed");
        // A template is checked through an instance of it.
        const QString instance = TestEnvironment::folder("units") + "/orvane-dropbox@news.service";
        QVERIFY(QFile::copy(unit, instance));
        const Result verify = run("systemd-analyze", {"verify", "--user", instance});
        QVERIFY2(verify.exitCode == 0, qPrintable(verify.out));
    }

    // Catches a package without its manual pages, completion or unit, one
    // whose unit names the build's prefix, dependencies that were not worked
    // out from the libraries, and what lintian calls an error.
    void packageHoldsEverythingAndPassesLintian()
    {
        const QString output = TestEnvironment::folder("package");
        const Result pack = run("cpack", {"-G", "DEB", "--config", build() + "/CPackConfig.cmake", "-B", output}, output);
        QVERIFY2(pack.exitCode == 0, qPrintable(pack.out));
        const QStringList debs = QDir(output).entryList({"orvane_*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString deb = output + "/" + debs.first();

        const QString contents = run("dpkg-deb", {"-c", deb}).out;
        QStringList wanted{"./usr/lib/systemd/user/orvane-dropbox@.service",
                           "./usr/share/applications/orvane-import.desktop",
                           "./usr/share/icons/hicolor/scalable/apps/orvane-import.svg",
                           "./usr/share/doc/orvane/copyright"};
        for (const QString& name : programs())
            wanted << "./usr/bin/" + name << "./usr/share/man/man1/" + name + ".1.gz"
                   << "./usr/share/bash-completion/completions/" + name;
        for (const QString& path : wanted)
            QVERIFY2(contents.contains(" " + path + "\n") || contents.contains(" " + path + " "), qPrintable(path));
        QVERIFY2(!contents.contains("tst_") && !contents.contains("bench_"), qPrintable(contents));

        QVERIFY(run("dpkg-deb", {"-f", deb, "Depends"}).out.contains("libqt6core6"));
        QCOMPARE(run("dpkg-deb", {"-f", deb, "Section"}).out.trimmed(), QString("sound"));
        const QString unpacked = TestEnvironment::folder("unpacked");
        QCOMPARE(run("dpkg-deb", {"-x", deb, unpacked}).exitCode, 0);
        QCOMPARE(execStart(QString::fromUtf8(TestEnvironment::contents(unpacked + "/usr/lib/systemd/user/orvane-dropbox@.service"))),
                 QString("/usr/bin/orvane-import-batch"));

        if (QStandardPaths::findExecutable("lintian").isEmpty())
            QSKIP("lintian is not installed");
        const Result lintian = run("lintian", {"--fail-on", "error", deb});
        QVERIFY2(lintian.exitCode == 0, qPrintable(lintian.out));
    }
};

ORVANE_TEST_MAIN(DebianPackageTest)
#include "tst_debian_package.moc"
