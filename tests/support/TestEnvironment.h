#pragma once
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// Points XDG_CONFIG_HOME, XDG_CONFIG_DIRS, XDG_DATA_HOME, XDG_STATE_HOME and
// TMPDIR at a fresh temp folder for the life of the test process, so no test
// reads or writes the developer's own settings or stores.
class TestEnvironment
{
public:
    TestEnvironment();
    QString root() const { return m_root.path(); }
    static TestEnvironment* instance();
    // Writes `bytes` to `name` (relative names land in the temp folder);
    // the full path, or an empty text if the file could not be written.
    static QString writeFile(const QString& name, const QByteArray& bytes);
    // What the file holds now; empty when it is missing.
    static QByteArray contents(const QString& path);
    // Every file under the folder, hidden ones and those of sub-folders too.
    static QStringList filesUnder(const QString& folder);
    // A folder of that name in the test's temp folder, made when missing.
    static QString folder(const QString& name);
    // The built command-line tool of that name (cartvault, orvane-import-batch ...).
    static QString tool(const char* name);
    // The process stopped (SIGSTOP), as the store's fault hook stops it at a step.
    static bool isStopped(qint64 pid);

private:
    QTemporaryDir m_root;
};

#define ORVANE_TEST_MAIN(TestObject)                                                                                    \
    int main(int argc, char** argv)                                                                                     \
    {                                                                                                                   \
        TestEnvironment environment;                                                                                    \
        QCoreApplication app(argc, argv);                                                                               \
        TestObject tc;                                                                                                  \
        return QTest::qExec(&tc, argc, argv);                                                                           \
    }

// Widget tests need a QApplication; the macro exists only where the test links
// Qt Widgets, so headless tests keep building without it.
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#define ORVANE_WIDGET_TEST_MAIN(TestObject)                                                                             \
    int main(int argc, char** argv)                                                                                     \
    {                                                                                                                   \
        TestEnvironment environment;                                                                                    \
        QApplication app(argc, argv);                                                                                   \
        TestObject tc;                                                                                                  \
        return QTest::qExec(&tc, argc, argv);                                                                           \
    }
#endif
