#include "frame/library/CartDatabase.h"

#include "frame/AppPaths.h"
#include "frame/library/FileTools.h"
#include "frame/library/ProfileSettings.h"
#include "frame/library/StoreDefaults.h"
#include "frame/library/StoreMigrations.h"

#include <QDateTime>
#include <QDeadlineTimer>
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
// Seconds an opening waits for a server to answer: a restart or a failover
// takes a few.
constexpr int kOpeningPatience = 10;
// The channel on which every PostgreSQL commit is announced.
const QString kChangeChannel = QStringLiteral("cartvault_changes");

bool writable(const QString& path) { return ::access(QFile::encodeName(path).constData(), W_OK) == 0; }

// Statements prepared on a connection that is gone cannot be freed on the
// server; the driver warns about each when they are dropped. Those warnings
// say nothing to whoever runs the program, so they are kept quiet meanwhile.
class QuietStaleStatements
{
public:
    // Connections of other threads may be quietened at the same time: the
    // filter never takes itself for the handler it passes messages on to.
    QuietStaleStatements()
    {
        const QtMessageHandler previous = qInstallMessageHandler(&filter);
        if (previous != &filter)
            s_previous = previous;
    }
    ~QuietStaleStatements() { qInstallMessageHandler(s_previous); }

private:
    static void filter(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        const QtMessageHandler previous = s_previous;
        if (previous && !message.startsWith(QLatin1String("Unable to free statement")))
            previous(type, context, message);
    }
    static inline std::atomic<QtMessageHandler> s_previous = nullptr;
};
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
    return opened(profile, Opening::Existing, error);
}

std::shared_ptr<CartDatabase> CartDatabase::create(const ProfileSettings& profile, QString* error)
{
    // The creator becomes the store's administrator: who that is must be known
    // before anything is made.
    QString why;
    if (AppPaths::systemUserName(&why).isEmpty()) {
        if (error)
            *error = why;
        return nullptr;
    }
    return opened(profile, Opening::MayCreate, error);
}

std::shared_ptr<CartDatabase> CartDatabase::opened(const ProfileSettings& profile, Opening opening, QString* error)
{
    std::shared_ptr<CartDatabase> database(new CartDatabase());
    if (database->open(profile, opening))
        return database;
    if (error)
        *error = database->lastError();
    // A store that could not be made leaves no file that the next try would
    // take for a damaged store.
    const bool madeFile = database->m_creating && !database->m_postgres;
    database.reset();
    if (madeFile)
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(profile.sqliteFile() + QLatin1String(suffix));
    return nullptr;
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
    if (isLockTimeout(error))
        m_lastError = QStringLiteral("The Cartvault %1 is being changed by another workstation (waited %2 s)").arg(m_location).arg(m_lockTimeout);
    else if (connectionLost())
        m_lastError = QStringLiteral("%1: the connection to the Cartvault server (%2) was lost: %3").arg(what, m_location, error.databaseText().simplified());
    else
        m_lastError = what + QStringLiteral(": ") + error.text().trimmed();
}

bool CartDatabase::refuse(const QString& why)
{
    m_lastError = why;
    return false;
}

bool CartDatabase::open(const ProfileSettings& profile, Opening opening)
{
    m_connectionName = QStringLiteral("orvane-cartvault-%1").arg(++gConnectionCounter);
    m_postgres = profile.backend == ProfileSettings::Backend::PostgreSQL;
    m_profileName = profile.name();
    m_location = profile.databaseText();
    if (profile.backend == ProfileSettings::Backend::Unknown)
        return refuse(QStringLiteral("Profile '%1' names the database backend '%2' (in %3), which is neither sqlite nor postgresql")
                          .arg(m_profileName, profile.backendName(), ProfileSettings::profileFile(m_profileName)));
    if (m_postgres)
        connectPostgres(profile);
    else if (!connectSqlite(profile, opening))
        return false;
    if (!m_db.isValid())
        return refuse(QStringLiteral("The database driver for this store is not installed"));
    if (!openConnection())
        return false;
    // Until the store's own setting is read, and while its schema is brought
    // up to date, waits are bounded by the default.
    if (!setLockTimeout(StoreDefaults::kLockTimeout) || !recogniseStore(opening, profile.DataLocation)
        || (!isReadOnly() && !prepareSession()))
        return false;
    if (m_creating ? !write([this] { return createSchema(); }) : !ensureSchema())
        return false;
    return useStoredLockTimeout();
}

// A server that is starting, restarting or failing over refuses connections
// for some seconds: opening waits that long for one, then says that no
// server answered. A server that answers and refuses (no such database, a
// wrong password) is not waited for.
bool CartDatabase::openConnection()
{
    QDeadlineTimer patience{std::chrono::seconds(kOpeningPatience)};
    bool waited = false;
    while (!m_db.open()) {
        if (!m_postgres || !serverAway() || patience.hasExpired()) {
            const QString what = QStringLiteral("Cannot open the Cartvault database %1 of profile '%2'").arg(m_location, m_profileName);
            if (waited)
                m_lastError = QStringLiteral("%1: no server answered for %2 s: %3")
                                  .arg(what)
                                  .arg(kOpeningPatience)
                                  .arg(m_db.lastError().databaseText().simplified());
            else
                fail(what, m_db.lastError());
            return false;
        }
        waited = true;
        QThread::sleep(1);
    }
    return true;
}

// libpq's ping: no answer, or an answer that it takes no connections now.
bool CartDatabase::serverAway() const
{
    const QByteArray conninfo = (m_location + QStringLiteral(" connect_timeout=5")).toUtf8();
    const PGPing ping = PQping(conninfo.constData());
    return ping == PQPING_NO_RESPONSE || ping == PQPING_REJECT;
}

void CartDatabase::connectPostgres(const ProfileSettings& profile)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    // The driver quotes the host text as one value, which libpq then reads as
    // its list of hosts; the port list and target_session_attrs go in with
    // the options, which the driver hands to libpq as they are.
    m_db.setHostName(profile.pgHost);
    m_db.setDatabaseName(profile.pgDatabase);
    m_db.setUserName(profile.pgUser);
    QStringList options{QStringLiteral("connect_timeout=5"), QStringLiteral("port=") + profile.pgPort};
    if (!profile.pgTargetSession.isEmpty())
        options << QStringLiteral("target_session_attrs=") + profile.pgTargetSession;
    m_db.setConnectOptions(options.join(QLatin1Char(';')));
}

bool CartDatabase::connectSqlite(const ProfileSettings& profile, Opening opening)
{
    const QString file = profile.sqliteFile();
    const QFileInfo info(file);
    if (profile.DataLocation.isEmpty())
        return refuse(QStringLiteral("Profile '%1' names no data location for the Cartvault").arg(m_profileName));
    const bool creating = opening == Opening::MayCreate && !info.exists();
    if (creating && !makeDataLocation(profile.DataLocation))
        return false;
    m_creating = creating;
    if (!m_creating && !QFileInfo(profile.DataLocation).isDir())
        return refuse(QStringLiteral("The data location %1 of profile '%2' does not exist").arg(profile.DataLocation, m_profileName));
    if (!m_creating && !info.exists())
        return refuse(QStringLiteral("The Cartvault database %1 of profile '%2' does not exist").arg(file, m_profileName));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    const QString uri = QStringLiteral("file:%1?").arg(QString::fromUtf8(QUrl::toPercentEncoding(file, "/")));
    if (!m_creating && (!writable(profile.DataLocation) || !writable(file))) {
        // Reading a WAL store needs its -shm file; where none can be made the
        // store is read as it stands on disk.
        m_readOnlyReason = QStringLiteral("%1 cannot be written by this user").arg(writable(file) ? profile.DataLocation : file);
        const bool shared = QFileInfo::exists(file + QStringLiteral("-shm"));
        m_db.setDatabaseName(shared ? file : uri + QStringLiteral("immutable=1"));
        m_db.setConnectOptions(shared ? QStringLiteral("QSQLITE_OPEN_READONLY") : QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        return true;
    }
    // "rw" opens the file only if it is there: one removed meanwhile is not
    // made again.
    m_db.setDatabaseName(uri + (m_creating ? QStringLiteral("mode=rwc") : QStringLiteral("mode=rw")));
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    return true;
}

// A new store goes into a new or empty folder: files there would be taken
// for its own (an old store's audio would be overwritten by new carts).
bool CartDatabase::makeDataLocation(const QString& folder)
{
    if (!QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        return refuse(QStringLiteral("The data location %1 of profile '%2' holds files but no Cartvault: a new store needs a new "
                                     "or empty folder")
                          .arg(folder, m_profileName));
    QString why;
    if (!FileTools::makeFolder(folder, &why))
        return refuse(QStringLiteral("Cannot create the data location of profile '%1': %2").arg(m_profileName, why));
    return true;
}

// A store is opened; an empty PostgreSQL database becomes one only when
// creating (an SQLite store is made only as a new file); anything else is
// refused.
bool CartDatabase::recogniseStore(Opening opening, const QString& dataLocation)
{
    if (m_creating || storedSchemaVersion() >= 1)
        return true;
    QString why;
    const int tables = tableCount(&why);
    if (tables == 0 && opening == Opening::MayCreate && m_postgres) {
        m_creating = makeDataLocation(dataLocation);
        return m_creating;
    }
    if (tables >= 0)
        why = tables == 0 ? QStringLiteral("it is empty") : QStringLiteral("its tables are not a store's");
    return refuse(QStringLiteral("The Cartvault database %1 of profile '%2' is not a Cartvault store: %3").arg(m_location, m_profileName, why));
}

int CartDatabase::tableCount(QString* why)
{
    QSqlQuery count(m_db);
    if (!count.exec(m_postgres ? QStringLiteral("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = current_schema()")
                               : QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'"))
        || !count.next()) {
        *why = count.lastError().databaseText().trimmed();
        return -1;
    }
    return count.value(0).toInt();
}

bool CartDatabase::prepareSession()
{
    // FULL: a commit that returned is on disk, so a cart's record never
    // names audio that a power cut could take back.
    if (!m_postgres)
        return execAll({QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=FULL")});
    // Commits of other workstations are announced (see write()), so walks may
    // keep what they read ahead until one comes.
    return execAll({QStringLiteral("SET client_min_messages TO warning"), QStringLiteral("LISTEN %1").arg(kChangeChannel)});
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

// Two workstations may make one PostgreSQL store at the same moment: the
// second finds it made and only opens it.
bool CartDatabase::createSchema()
{
    if (m_postgres && !execAll({QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey)}))
        return false;
    if (!execAll({QStringLiteral("CREATE TABLE IF NOT EXISTS schema_info (version INTEGER NOT NULL)")}))
        return false;
    const bool fresh = storedSchemaVersion() == 0;
    return migrate() && (!fresh || addCreator());
}

bool CartDatabase::migrate()
{
    // Two workstations may meet an old store at the same moment.
    if (m_postgres && !execAll({QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey)}))
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
    return true;
}

// Whoever creates a store administers it and may add carts. Further users
// are added with `cartvault user add`.
bool CartDatabase::addCreator()
{
    QString why;
    const QString creator = AppPaths::systemUserName(&why);
    if (creator.isEmpty())
        return refuse(why);
    QSqlQuery insert(m_db);
    insert.prepare(QStringLiteral("INSERT INTO users (name, cart_rights, administrator) VALUES (?, 1, 1)"));
    insert.addBindValue(creator);
    if (!insert.exec()) {
        fail(QStringLiteral("Cannot add the store's first user"), insert.lastError());
        return false;
    }
    return true;
}

// PostgreSQL: lock_timeout makes the server itself end any wait for a lock
// (a cart's advisory lock, a row another workstation is writing, the schema
// lock), for every statement of this session; a loop of try-locks would poll
// and cover the advisory locks only. SQLite: the busy timeout bounds the wait
// for the store's write lock, the only lock a writer waits for.
bool CartDatabase::setLockTimeout(int seconds)
{
    if (!execAll({m_postgres ? QStringLiteral("SET lock_timeout = '%1s'").arg(seconds)
                             : QStringLiteral("PRAGMA busy_timeout = %1").arg(seconds * 1000)}))
        return false;
    m_lockTimeout = seconds;
    return true;
}

bool CartDatabase::useStoredLockTimeout()
{
    bool ok = false;
    const int stored = setting(StoreDefaults::kLockTimeoutKey).toInt(&ok);
    return setLockTimeout(ok && stored >= 1 && stored <= StoreDefaults::kMaxLockTimeout ? stored : StoreDefaults::kLockTimeout);
}

// 55P03 lock_not_available (lock_timeout); SQLITE_BUSY (busy timeout).
bool CartDatabase::isLockTimeout(const QSqlError& error) const
{
    return error.nativeErrorCode() == (m_postgres ? QLatin1String("55P03") : QLatin1String("5"));
}

QSqlQuery& CartDatabase::query(const QString& sql)
{
    std::shared_ptr<QSqlQuery>& q = m_queries[sql];
    if (!q)
        q = std::make_shared<QSqlQuery>(m_db);
    // New, or dropped with a lost connection (prepared once one is made again).
    if (q->lastQuery().isEmpty() && m_db.isOpen()) {
        q->setForwardOnly(true);
        q->prepare(sql);
    }
    return *q;
}

bool CartDatabase::exec(QSqlQuery& q)
{
    if (q.exec())
        return true;
    // Inside a transaction the rest of it is lost too: write()'s caller decides.
    if (m_inTransaction || !connectionLost()) {
        fail(QStringLiteral("Cartvault database error"), q.lastError());
        return false;
    }
    return rerun(q);
}

// The statement again, with the values it had, on a new connection.
bool CartDatabase::rerun(QSqlQuery& q)
{
    QString sql = q.lastQuery();
    for (auto it = m_queries.cbegin(); sql.isEmpty() && it != m_queries.cend(); ++it)
        if (it.value().get() == &q)
            sql = it.key(); // asked for while no connection was open
    const QVariantList values = q.boundValues();
    if (!reconnect())
        return false;
    {
        QuietStaleStatements quiet;
        q = QSqlQuery(m_db);
    }
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& value : values)
        q.addBindValue(value);
    if (q.exec())
        return true;
    fail(QStringLiteral("Cartvault database error"), q.lastError());
    return false;
}

void* CartDatabase::postgresConnection() const
{
    const QVariant handle = m_db.driver() ? m_db.driver()->handle() : QVariant();
    // The driver names libpq's connection type by its struct's name.
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0)
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

// libpq marks a connection bad once a call found its server gone.
bool CartDatabase::connectionLost() const
{
    if (!m_postgres)
        return false;
    const auto* connection = static_cast<const PGconn*>(postgresConnection());
    return !connection || PQstatus(connection) != CONNECTION_OK;
}

bool CartDatabase::reconnect()
{
    {
        QuietStaleStatements quiet;
        m_db.close();
        for (const std::shared_ptr<QSqlQuery>& q : std::as_const(m_queries))
            *q = QSqlQuery(m_db);
    }
    // A standby takes some seconds to become the primary: that wait is
    // bounded like a wait for a lock. A server that could not be reached is
    // tried once per later request, so a batch does not wait for each file.
    QDeadlineTimer patience(std::chrono::seconds(m_unreachable ? 0 : m_lockTimeout));
    while (!m_db.open()) {
        if (patience.hasExpired()) {
            m_unreachable = true;
            m_lastError = QStringLiteral("Lost the connection to the Cartvault server (%1) and cannot reach it again: %2")
                              .arg(m_location, m_db.lastError().databaseText().simplified());
            return false;
        }
        QThread::sleep(1);
    }
    m_unreachable = false;
    // Commits made meanwhile were announced to nobody listening here.
    ++m_announcements;
    return prepareSession() && setLockTimeout(m_lockTimeout);
}

bool CartDatabase::write(const std::function<bool()>& work)
{
    if (isReadOnly()) {
        m_lastError = readOnlyMessage();
        return false;
    }
    if (!beginTransaction())
        return false;
    m_inTransaction = true;
    bool ok = work();
    // Delivered to every listening workstation when, and only if, this commits.
    if (ok && m_postgres)
        ok = execAll({QStringLiteral("NOTIFY %1").arg(kChangeChannel)});
    QSqlQuery end(m_db);
    if (ok && end.exec(QStringLiteral("COMMIT"))) {
        m_inTransaction = false;
        ++m_ownCommits;
        return true;
    }
    if (ok)
        fail(QStringLiteral("Cannot commit to the Cartvault"), end.lastError());
    if (!connectionLost())
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
    m_inTransaction = false;
    return false;
}

// SQLite: take the write lock now, so a read inside the transaction is still
// true when the write follows. PostgreSQL locks rows as they are written.
// A connection that died while idle shows only here, before anything was
// done on it: the transaction starts on a new one.
bool CartDatabase::beginTransaction()
{
    const QString sql = m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE");
    QSqlQuery begin(m_db);
    if (m_db.isOpen() && begin.exec(sql))
        return true;
    if (connectionLost() && reconnect()) {
        begin = QSqlQuery(m_db); // the first was made for the connection that is gone
        if (begin.exec(sql))
            return true;
    }
    if (!connectionLost())
        fail(QStringLiteral("Cannot start a Cartvault transaction"), begin.lastError());
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
    if (!ok && isLockTimeout(q.lastError()))
        m_lastError = QStringLiteral("Cart %1 is being changed by another workstation (waited %2 s)").arg(number).arg(m_lockTimeout);
    q.finish();
    return ok;
}

bool CartDatabase::allows(Right right)
{
    const QString user = AppPaths::systemUserName(&m_lastError);
    if (user.isEmpty())
        return false;
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
    auto* connection = static_cast<PGconn*>(postgresConnection());
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
