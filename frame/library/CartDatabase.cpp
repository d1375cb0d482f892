#include "frame/library/CartDatabase.h"

#include "frame/AppPaths.h"
#include "frame/library/FileTools.h"
#include "frame/library/ProfileSettings.h"
#include "frame/library/StoreMigrations.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>
#include <QUrl>
#include <QVariant>
#include <atomic>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {
std::atomic<int> gConnectionCounter{0};

QMap<QString, std::weak_ptr<CartDatabase>>& sharedConnections()
{
    thread_local QMap<QString, std::weak_ptr<CartDatabase>> connections;
    return connections;
}

// The PostgreSQL advisory lock keys of the store: one for schema changes,
// one namespace of per-cart locks.
constexpr int kSchemaLockKey = 727274;
constexpr int kCartLockSpace = 727275;
// The channel on which every PostgreSQL commit is announced.
const QString kChangeChannel = QStringLiteral("cartvault_changes");

bool writable(const QString& path) { return ::access(QFile::encodeName(path).constData(), W_OK) == 0; }
} // namespace

std::shared_ptr<CartDatabase> CartDatabase::shared(const ProfileSettings& profile, QString* error)
{
    const QString key = profile.databaseText();
    if (auto existing = sharedConnections().value(key).lock())
        return existing;
    auto created = openNew(profile, error);
    if (created)
        sharedConnections().insert(key, created);
    return created;
}

std::shared_ptr<CartDatabase> CartDatabase::openNew(const ProfileSettings& profile, QString* error)
{
    std::shared_ptr<CartDatabase> database(new CartDatabase());
    if (!database->open(profile)) {
        if (error)
            *error = database->lastError();
        return nullptr;
    }
    return database;
}

CartDatabase::~CartDatabase()
{
    m_dataVersion.reset();
    m_queries.clear();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void CartDatabase::fail(const QString& what, const QSqlError& error)
{
    m_lastError = what + QStringLiteral(": ") + error.text().trimmed();
}

bool CartDatabase::open(const ProfileSettings& profile)
{
    m_connectionName = QStringLiteral("orvane-cartvault-%1").arg(++gConnectionCounter);
    m_postgres = profile.backend == ProfileSettings::Backend::PostgreSQL;
    m_location = profile.databaseText();
    if (m_postgres) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        m_db.setHostName(profile.pgHost);
        m_db.setPort(profile.pgPort);
        m_db.setDatabaseName(profile.pgDatabase);
        m_db.setUserName(profile.pgUser);
        m_db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    } else if (!openSqlite(profile)) {
        return false;
    }
    if (!m_db.isValid()) {
        m_lastError = QStringLiteral("The database driver for this store is not installed");
        return false;
    }
    if (!m_db.open()) {
        fail(QStringLiteral("Cannot open the Cartvault database %1").arg(m_location), m_db.lastError());
        return false;
    }
    if (isReadOnly())
        return ensureSchema();
    // FULL: a commit that returned is on disk, so a cart's record never
    // names audio that a power cut could take back.
    if (!m_postgres && !execAll({QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=FULL")}))
        return false;
    // Commits of other workstations are announced (see write()), so walks may
    // keep what they read ahead until one comes.
    if (m_postgres && !execAll({QStringLiteral("SET client_min_messages TO warning"), QStringLiteral("LISTEN %1").arg(kChangeChannel)}))
        return false;
    return ensureSchema();
}

bool CartDatabase::openSqlite(const ProfileSettings& profile)
{
    const QString file = profile.sqliteFile();
    if (profile.DataLocation.isEmpty()) {
        m_lastError = QStringLiteral("The profile names no data location for the Cartvault");
        return false;
    }
    QString why;
    if (!QFileInfo::exists(file) && !FileTools::makeFolder(profile.DataLocation, &why)) {
        m_lastError = QStringLiteral("Cannot create the Cartvault's data location: %1").arg(why);
        return false;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (QFileInfo::exists(file) && (!writable(profile.DataLocation) || !writable(file))) {
        // Reading a WAL store needs its -shm file; where none can be made the
        // store is read as it stands on disk.
        m_readOnlyReason = QStringLiteral("%1 cannot be written by this user").arg(writable(file) ? profile.DataLocation : file);
        const bool shared = QFileInfo::exists(file + QStringLiteral("-shm"));
        m_db.setDatabaseName(shared ? file : QStringLiteral("file:%1?immutable=1").arg(QString::fromUtf8(QUrl::toPercentEncoding(file, "/"))));
        m_db.setConnectOptions(shared ? QStringLiteral("QSQLITE_OPEN_READONLY") : QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        return true;
    }
    m_db.setDatabaseName(file);
    // Several tools on one workstation may write at once: wait for the
    // lock rather than fail.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000"));
    return true;
}

bool CartDatabase::execAll(const QStringList& statements)
{
    for (const QString& sql : statements) {
        QSqlQuery q(m_db);
        if (!q.exec(sql)) {
            fail(QStringLiteral("Cannot prepare the Cartvault database %1").arg(m_location), q.lastError());
            return false;
        }
    }
    return true;
}

int CartDatabase::storedSchemaVersion()
{
    QSqlQuery version(m_db);
    if (!version.exec(QStringLiteral("SELECT MAX(version) FROM schema_info")) || !version.next())
        return -1;
    return version.value(0).isNull() ? 0 : version.value(0).toInt();
}

bool CartDatabase::ensureSchema()
{
    const int latest = StoreMigrations::latestVersion();
    // The usual case, a store that is up to date, needs no write lock.
    const int version = storedSchemaVersion();
    if (version > latest) {
        m_lastError = QStringLiteral("The Cartvault %1 was made by a newer version of Orvane (store version %2, this "
                                     "program knows up to %3): update this program")
                          .arg(m_location)
                          .arg(version)
                          .arg(latest);
        return false;
    }
    if (version == latest)
        return true;
    if (isReadOnly()) {
        m_lastError = QStringLiteral("The Cartvault %1 needs updating by a user who may write to it (%2)")
                          .arg(m_location, m_readOnlyReason);
        return false;
    }
    return write([this] { return migrate(); });
}

bool CartDatabase::migrate()
{
    // Two workstations may meet an old or empty store at the same moment.
    if (m_postgres && !execAll({QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey)}))
        return false;
    if (!execAll({QStringLiteral("CREATE TABLE IF NOT EXISTS schema_info (version INTEGER NOT NULL)")}))
        return false;
    const int version = storedSchemaVersion();
    if (version < 0) {
        m_lastError = QStringLiteral("Cannot read the Cartvault schema version");
        return false;
    }
    for (const StoreMigrations::Step& step : StoreMigrations::steps()) {
        if (step.version <= version)
            continue;
        if (!execAll(step.statements(m_postgres))
            || !execAll({QStringLiteral("INSERT INTO schema_info (version) VALUES (%1)").arg(step.version)}))
            return false;
    }
    return version > 0 || addCreator();
}

// Whoever creates a store administers it and may add carts. Further users
// are added with `cartvault user add`.
bool CartDatabase::addCreator()
{
    QSqlQuery creator(m_db);
    creator.prepare(QStringLiteral("INSERT INTO users (name, cart_rights, administrator) VALUES (?, 1, 1)"));
    creator.addBindValue(AppPaths::systemUserName());
    if (!creator.exec()) {
        fail(QStringLiteral("Cannot add the store's first user"), creator.lastError());
        return false;
    }
    return true;
}

QSqlQuery& CartDatabase::query(const QString& sql)
{
    std::shared_ptr<QSqlQuery>& q = m_queries[sql];
    if (!q) {
        q = std::make_shared<QSqlQuery>(m_db);
        q->setForwardOnly(true);
        q->prepare(sql);
    }
    return *q;
}

bool CartDatabase::exec(QSqlQuery& q)
{
    if (q.exec())
        return true;
    fail(QStringLiteral("Cartvault database error"), q.lastError());
    return false;
}

bool CartDatabase::write(const std::function<bool()>& work)
{
    if (isReadOnly()) {
        m_lastError = readOnlyMessage();
        return false;
    }
    QSqlQuery begin(m_db);
    // SQLite: take the write lock now, so a read inside `work` is still true
    // when the write follows. PostgreSQL locks rows as they are written.
    if (!begin.exec(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) {
        fail(QStringLiteral("Cannot start a Cartvault transaction"), begin.lastError());
        return false;
    }
    bool ok = work();
    // Delivered to every listening workstation when, and only if, this commits.
    if (ok && m_postgres)
        ok = execAll({QStringLiteral("NOTIFY %1").arg(kChangeChannel)});
    QSqlQuery end(m_db);
    if (ok && end.exec(QStringLiteral("COMMIT"))) {
        ++m_ownCommits;
        return true;
    }
    if (ok)
        fail(QStringLiteral("Cannot commit to the Cartvault"), end.lastError());
    QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
    return false;
}

QString CartDatabase::readOnlyMessage() const
{
    return isReadOnly() ? QStringLiteral("The Cartvault %1 is read-only: %2").arg(m_location, m_readOnlyReason) : QString();
}

bool CartDatabase::lockCart(qint64 number)
{
    if (!m_postgres)
        return true;
    QSqlQuery& q = query(QStringLiteral("SELECT pg_advisory_xact_lock(%1, CAST(? AS INTEGER))").arg(kCartLockSpace));
    q.addBindValue(number);
    const bool ok = exec(q);
    q.finish();
    return ok;
}

bool CartDatabase::allows(Right right)
{
    const QString user = AppPaths::systemUserName();
    QSqlQuery& q = query(QStringLiteral("SELECT cart_rights, administrator FROM users WHERE name = ?"));
    q.addBindValue(text(user));
    if (!exec(q))
        return false;
    const bool known = q.next();
    const qint32 cartRights = known ? q.value(0).toInt() : 0;
    const bool administrator = known && q.value(1).toInt() != 0;
    q.finish();
    if (!known)
        m_lastError = QStringLiteral("%1 is not in the directory of the Cartvault %2").arg(user, m_location);
    else if (right == Right::CartWrite && cartRights <= 0)
        m_lastError = QStringLiteral("%1 may not change carts in this Cartvault (cart rights %2)").arg(user).arg(cartRights);
    else if (right == Right::Administration && !administrator)
        m_lastError = QStringLiteral("%1 is not an administrator of this Cartvault").arg(user);
    else
        return true;
    return false;
}

QString CartDatabase::setting(const QString& key, const QString& fallback)
{
    QSqlQuery& q = query(QStringLiteral("SELECT value FROM settings WHERE key = ?"));
    q.addBindValue(key);
    QString value = fallback;
    if (exec(q) && q.next())
        value = q.value(0).toString();
    q.finish();
    return value;
}

bool CartDatabase::hasSetting(const QString& key)
{
    QSqlQuery& q = query(QStringLiteral("SELECT 1 FROM settings WHERE key = ?"));
    q.addBindValue(key);
    const bool found = exec(q) && q.next();
    q.finish();
    return found;
}

bool CartDatabase::putSetting(const QString& key, const QString& value)
{
    QSqlQuery& q = query(QStringLiteral("INSERT INTO settings (key, value) VALUES (?, ?) "
                                        "ON CONFLICT (key) DO UPDATE SET value = excluded.value"));
    q.addBindValue(key);
    q.addBindValue(text(value));
    return exec(q);
}

qint64 CartDatabase::changeStamp()
{
    if (m_postgres)
        return postgresChangeStamp();
    // "PRAGMA data_version" moves with every other connection's commit; our
    // own commits are counted here. Run on SQLite directly: through Qt's
    // query layer it would cost more than the read it saves.
    if (!m_dataVersion) {
        const QVariant handle = m_db.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return -1;
        sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
        sqlite3_stmt* statement = nullptr;
        if (!connection || sqlite3_prepare_v2(connection, "PRAGMA data_version", -1, &statement, nullptr) != SQLITE_OK)
            return -1;
        m_dataVersion.reset(statement);
    }
    sqlite3_stmt* statement = static_cast<sqlite3_stmt*>(m_dataVersion.get());
    qint64 version = -1;
    if (sqlite3_step(statement) == SQLITE_ROW)
        version = sqlite3_column_int64(statement, 0);
    sqlite3_reset(statement);
    return version < 0 ? -1 : (version << 24) + (m_ownCommits & 0xFFFFFF);
}

// Counts the announcements that have reached this connection, without a
// round trip to the server: libpq reads what is already on the socket.
qint64 CartDatabase::postgresChangeStamp()
{
    const QVariant handle = m_db.driver()->handle();
    // The driver names libpq's connection type by its struct's name.
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0)
        return -1;
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    if (!connection || PQconsumeInput(connection) == 0)
        return -1;
    while (PGnotify* notify = PQnotifies(connection)) {
        ++m_announcements;
        PQfreemem(notify);
    }
    return (m_announcements << 24) + (m_ownCommits & 0xFFFFFF);
}

void CartDatabase::StatementFinalizer::operator()(void* statement) const
{
    sqlite3_finalize(static_cast<sqlite3_stmt*>(statement));
}
