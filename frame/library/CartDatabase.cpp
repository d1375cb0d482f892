#include "frame/library/CartDatabase.h"

#include "frame/AppPaths.h"
#include "frame/library/ProfileSettings.h"

#include <QDateTime>
#include <QDir>
#include <QMap>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>
#include <QVariant>
#include <atomic>
#include <sqlite3.h>

namespace {
std::atomic<int> gConnectionCounter{0};

QMap<QString, std::weak_ptr<CartDatabase>>& sharedConnections()
{
    thread_local QMap<QString, std::weak_ptr<CartDatabase>> connections;
    return connections;
}

// Column types that mean the same on both backends.
QStringList schemaStatements(bool postgres)
{
    const QString id = postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    return {
        QStringLiteral("CREATE TABLE settings (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE users (name TEXT PRIMARY KEY, cart_rights INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE user_settings (user_name TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL, "
                       "PRIMARY KEY (user_name, name))"),
        QStringLiteral("CREATE TABLE audit_log (id %1, logged_at TEXT NOT NULL, workstation TEXT NOT NULL, "
                       "user_name TEXT NOT NULL, kind INTEGER NOT NULL, category INTEGER NOT NULL, title TEXT NOT NULL, "
                       "text TEXT NOT NULL, flag INTEGER NOT NULL)").arg(id),
        QStringLiteral("CREATE TABLE carts (number BIGINT PRIMARY KEY, title TEXT NOT NULL DEFAULT '', "
                       "artist TEXT NOT NULL DEFAULT '', description TEXT NOT NULL DEFAULT '', "
                       "intro_start DOUBLE PRECISION NOT NULL DEFAULT 0, intro_end DOUBLE PRECISION NOT NULL DEFAULT 0, "
                       "extro DOUBLE PRECISION NOT NULL DEFAULT 0, length DOUBLE PRECISION NOT NULL DEFAULT 0, "
                       "audio_length DOUBLE PRECISION NOT NULL DEFAULT -1, audio_file TEXT NOT NULL DEFAULT '', "
                       "linked INTEGER NOT NULL DEFAULT 0, audio_revision BIGINT NOT NULL DEFAULT 0, "
                       "modified_at TEXT NOT NULL DEFAULT '', modified_by TEXT NOT NULL DEFAULT '')"),
        QStringLiteral("CREATE INDEX carts_holding_audio ON carts (number) WHERE audio_length >= 0"),
    };
}
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
    if (m_postgres) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        m_db.setHostName(profile.pgHost);
        m_db.setPort(profile.pgPort);
        m_db.setDatabaseName(profile.pgDatabase);
        m_db.setUserName(profile.pgUser);
        m_db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    } else {
        if (profile.DataLocation.isEmpty() || !QDir().mkpath(profile.DataLocation)) {
            m_lastError = QStringLiteral("The data location '%1' cannot be created").arg(profile.DataLocation);
            return false;
        }
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        m_db.setDatabaseName(profile.sqliteFile());
        // Several tools on one workstation may write at once: wait for the
        // lock rather than fail.
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000"));
    }
    if (!m_db.isValid()) {
        m_lastError = QStringLiteral("The database driver for this store is not installed");
        return false;
    }
    if (!m_db.open()) {
        fail(QStringLiteral("Cannot open the Cartvault database %1").arg(profile.databaseText()), m_db.lastError());
        return false;
    }
    if (!m_postgres && !execAll({QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=NORMAL")}))
        return false;
    if (m_postgres && !execAll({QStringLiteral("SET client_min_messages TO warning")}))
        return false;
    return ensureSchema();
}

bool CartDatabase::execAll(const QStringList& statements)
{
    for (const QString& sql : statements) {
        QSqlQuery q(m_db);
        if (!q.exec(sql)) {
            fail(QStringLiteral("Cannot prepare the Cartvault database"), q.lastError());
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
    // The usual case, an existing store, needs no write lock.
    if (const int version = storedSchemaVersion(); version > 0) {
        if (version <= kSchemaVersion)
            return true;
        m_lastError = QStringLiteral("This Cartvault was made by a newer version of Orvane");
        return false;
    }
    return write([this] {
        // Two workstations may meet an empty store at the same moment.
        if (m_postgres && !execAll({QStringLiteral("SELECT pg_advisory_xact_lock(727274)")}))
            return false;
        if (!execAll({QStringLiteral("CREATE TABLE IF NOT EXISTS schema_info (version INTEGER NOT NULL)")}))
            return false;
        const int version = storedSchemaVersion();
        if (version < 0) {
            m_lastError = QStringLiteral("Cannot read the Cartvault schema version");
            return false;
        }
        if (version > 0) // made meanwhile by another workstation
            return version <= kSchemaVersion;
        if (!execAll(schemaStatements(m_postgres))
            || !execAll({QStringLiteral("INSERT INTO schema_info (version) VALUES (%1)").arg(kSchemaVersion)}))
            return false;
        // Whoever creates a store may use it: the creating user gets cart
        // rights 1 (may add carts). Further users are added with `cartvault user add`.
        QSqlQuery creator(m_db);
        creator.prepare(QStringLiteral("INSERT INTO users (name, cart_rights) VALUES (?, 1)"));
        creator.addBindValue(AppPaths::systemUserName());
        if (!creator.exec()) {
            fail(QStringLiteral("Cannot add the store's first user"), creator.lastError());
            return false;
        }
        return true;
    });
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
    QSqlQuery begin(m_db);
    // SQLite: take the write lock now, so a read inside `work` is still true
    // when the write follows. PostgreSQL locks rows as they are written.
    if (!begin.exec(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) {
        fail(QStringLiteral("Cannot start a Cartvault transaction"), begin.lastError());
        return false;
    }
    const bool ok = work();
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
        return -1;
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

void CartDatabase::StatementFinalizer::operator()(void* statement) const
{
    sqlite3_finalize(static_cast<sqlite3_stmt*>(statement));
}
