#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace {
TestEnvironment* gInstance = nullptr;
}

TestEnvironment::TestEnvironment()
    : m_root(QDir::tempPath() + QStringLiteral("/orvane-test-XXXXXX"))
{
    const QString base = m_root.path();
    for (const char* sub : {"config", "config-system", "data", "state", "tmp"})
        QDir().mkpath(base + QLatin1Char('/') + QLatin1String(sub));
    qputenv("XDG_CONFIG_HOME", (base + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CONFIG_DIRS", (base + QStringLiteral("/config-system")).toUtf8());
    qputenv("XDG_DATA_HOME", (base + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_STATE_HOME", (base + QStringLiteral("/state")).toUtf8());
    qputenv("TMPDIR", (base + QStringLiteral("/tmp")).toUtf8());
    gInstance = this;
}

TestEnvironment* TestEnvironment::instance() { return gInstance; }

QString TestEnvironment::writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(QDir(gInstance->root() + QStringLiteral("/tmp")).filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

QByteArray TestEnvironment::contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList TestEnvironment::filesUnder(const QString& folder)
{
    QStringList found;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext())
        found << files.next();
    return found;
}

QString TestEnvironment::folder(const QString& name)
{
    const QString path = gInstance->root() + QLatin1Char('/') + name;
    QDir().mkpath(path);
    return path;
}

QString TestEnvironment::tool(const char* name)
{
    return qEnvironmentVariable("ORVANE_BINARY_DIR") + QStringLiteral("/cli/%1/%1").arg(QLatin1String(name));
}

bool TestEnvironment::isStopped(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.open(QIODevice::ReadOnly) && stat.readAll().split(')').value(1).trimmed().startsWith('T');
}
