#include "frame/library/StoreLeftovers.h"

#include "frame/library/CartAudioNames.h"
#include "frame/library/CartDatabase.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QVariant>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
QByteArray native(const QString& path) { return QFile::encodeName(path); }

// The file the cart's committed record names.
QString recordedFile(CartDatabase& database, qint64 number)
{
    QSqlQuery& q = database.query(QStringLiteral("SELECT audio_file FROM carts WHERE number = ?"));
    q.addBindValue(number);
    QString file;
    if (database.exec(q) && q.next())
        file = q.value(0).toString();
    q.finish();
    return file;
}

bool anyCartNames(CartDatabase& database, const QString& path)
{
    QSqlQuery& q = database.query(QStringLiteral("SELECT 1 FROM carts WHERE audio_file = ?"));
    q.addBindValue(path);
    const bool named = !database.exec(q) || q.next(); // in doubt, keep the file
    q.finish();
    return named;
}
} // namespace

void StoreLeftovers::clean(CartDatabase& database, const CartAudioNames& names)
{
    if (database.isReadOnly())
        return;
    cleanIncoming(database, names);
    cleanRetired(database, names);
    cleanOldTemporaries(database, names);
}

void StoreLeftovers::cleanIncoming(CartDatabase& database, const CartAudioNames& names)
{
    const QDir folder(names.incomingFolder());
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
        const auto destination = names.destinationOf(name);
        const QString path = folder.filePath(name);
        const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Locked: an import is writing it right now.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            bool decided = false;
            database.write([&] {
                if (destination) {
                    if (!database.lockCart(destination->number))
                        return false;
                    if (recordedFile(database, destination->number) != destination->file)
                        ::unlink(native(destination->file).constData()); // never recorded
                }
                decided = true;
                return true;
            });
            if (decided)
                ::unlink(native(path).constData());
        }
        ::close(fd);
    }
}

void StoreLeftovers::cleanRetired(CartDatabase& database, const CartAudioNames& names)
{
    QList<QPair<QString, qint64>> retired;
    QSqlQuery& q = database.query(QStringLiteral("SELECT path, cart FROM retired_audio"));
    if (database.exec(q))
        while (q.next())
            retired.append({q.value(0).toString(), q.value(1).toLongLong()});
    q.finish();
    for (const auto& [path, number] : retired) {
        database.write([&, path = path, number = number] {
            if (!database.lockCart(number))
                return false;
            // Only the store's own files: a row naming anything else is not ours to act on.
            if (names.contains(path) && !anyCartNames(database, path))
                ::unlink(native(path).constData());
            QSqlQuery& remove = database.query(QStringLiteral("DELETE FROM retired_audio WHERE path = ?"));
            remove.addBindValue(path);
            return database.exec(remove);
        });
    }
}

// Before every import went through .incoming, conversions and rips were
// written to temporary files in the cart folders ("ORVk3x9Qa.WAV", the
// encoder's ".ORVk3x9Qa.WAV.aB3dE6.part", the normalising ".….spool"), and a
// kill left them there. No store file looks like these (the store's own are
// "000300.r7.wav"); one a record names all the same is kept. Done once per
// store: walking a million carts' folders at every opening would not pay.
void StoreLeftovers::cleanOldTemporaries(CartDatabase& database, const CartAudioNames& names)
{
    const QString done = QStringLiteral("leftovers.old_temporaries_removed");
    if (database.setting(done) == QLatin1String("1"))
        return;
    static const QRegularExpression temporary(
        QStringLiteral("^\\.?[A-Z0-9]{3}[A-Za-z0-9]{6}\\.WAV(\\.[A-Za-z0-9]{6}\\.(part|spool))?$"));
    static const QRegularExpression cartFolder(QStringLiteral("^[0-9]{3,}$"));
    const QDir location(names.location());
    for (const QString& folder : location.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!cartFolder.match(folder).hasMatch())
            continue;
        const QDir cartDir(location.filePath(folder));
        for (const QString& name : cartDir.entryList(QDir::Files | QDir::Hidden)) {
            const QString path = cartDir.filePath(name);
            if (temporary.match(name).hasMatch() && !anyCartNames(database, path))
                ::unlink(native(path).constData());
        }
    }
    database.write([&] { return database.putSetting(done, QStringLiteral("1")); });
}
