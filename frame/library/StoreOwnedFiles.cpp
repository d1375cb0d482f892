#include "frame/library/StoreOwnedFiles.h"

#include "frame/library/CartAudioNames.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/FileTools.h"

#include <QDir>
#include <QFileInfo>
#include <QVariant>

namespace {
QString absolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

// A LIKE pattern for any path that ends in /name. SQLite's LIKE ignores
// letter case, which only lets more rows through to the exact comparison.
QString endingIn(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QStringLiteral("%/") + escaped;
}
} // namespace

StoreOwnedFiles::StoreOwnedFiles(const CartvaultStore& store)
    : m_database(store.database())
{
    for (int n = 1; n <= store.locationCount(); ++n)
        if (!store.Location(n).isEmpty())
            m_locations << store.Location(n);
}

bool StoreOwnedFiles::owns(const QString& path, QString* why) const
{
    const QString literal = absolute(path);
    const QString resolved = FileTools::resolvedPath(path);
    QString claim = databaseClaim(literal, resolved);
    if (claim.isEmpty())
        claim = cartClaim(literal, resolved);
    if (claim.isEmpty())
        claim = locationClaim(literal, resolved);
    if (why)
        *why = claim;
    return !claim.isEmpty();
}

QString StoreOwnedFiles::databaseClaim(const QString& literal, const QString& resolved) const
{
    if (!m_database || m_database->isPostgres())
        return {};
    // SQLite keeps its log and shared memory beside the file, and a journal
    // while it writes without a log.
    const QString file = m_database->location();
    for (const char* side : {"", "-wal", "-shm", "-journal"}) {
        const QString part = file + QLatin1String(side);
        if (literal == absolute(part) || resolved == FileTools::resolvedPath(part))
            return *side ? QStringLiteral("is part of the Cartvault's database") : QStringLiteral("is the Cartvault's database");
    }
    return {};
}

QString StoreOwnedFiles::cartClaim(const QString& literal, const QString& resolved) const
{
    if (!m_database)
        return QStringLiteral("cannot be checked against the carts: the Cartvault is not open");
    // A cart names its file as it was given, perhaps through a linked folder,
    // which keeps the file's name: rows ending in either name are resolved too.
    QSqlQuery& q = m_database->query(QStringLiteral(
        "SELECT number, audio_file FROM carts WHERE audio_file IN (?, ?) OR audio_file LIKE ? ESCAPE '\\' "
        "OR audio_file LIKE ? ESCAPE '\\'"));
    q.addBindValue(literal);
    q.addBindValue(resolved);
    q.addBindValue(endingIn(QFileInfo(literal).fileName()));
    q.addBindValue(endingIn(QFileInfo(resolved).fileName()));
    if (!m_database->exec(q))
        return QStringLiteral("cannot be checked against the carts (%1)").arg(m_database->lastError());
    QString claim;
    while (claim.isEmpty() && q.next()) {
        const QString played = q.value(1).toString();
        if (played == literal || played == resolved || FileTools::resolvedPath(played) == resolved)
            claim = QStringLiteral("is played by cart %1").arg(q.value(0).toLongLong());
    }
    q.finish();
    return claim;
}

QString StoreOwnedFiles::locationClaim(const QString& literal, const QString& resolved) const
{
    for (const QString& location : m_locations)
        if (CartAudioNames(location).contains(literal) || CartAudioNames(FileTools::resolvedPath(location)).contains(resolved))
            return QStringLiteral("is inside this Cartvault's audio location %1").arg(location);
    return {};
}
