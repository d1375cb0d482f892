#pragma once
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <functional>
#include <memory>

class ProfileSettings;

// One connection to a Cartvault database (SQLite file or PostgreSQL).
// Library objects of one process that work on the same profile share one
// connection; tests and tools that want a second, independent connection
// (another workstation, in effect) ask for a new one.
//
// Opening never makes a store: a missing data location or database file, an
// empty file, a database without the store's schema and a backend this
// program does not know are refused, naming the profile and the path. Only
// create() makes one.
class CartDatabase
{
public:
    // The connection this thread shares for the profile's store.
    static std::shared_ptr<CartDatabase> shared(const ProfileSettings& profile, QString* error = nullptr);
    // A connection of its own.
    static std::shared_ptr<CartDatabase> openNew(const ProfileSettings& profile, QString* error = nullptr);
    // Makes the profile's store, with the system user as its administrator,
    // or opens the store that is there already. A new store is made only in
    // a data location that is new or empty, so it never takes over the audio
    // of a store whose database is lost. Only CartvaultStore::CreateStore
    // calls this.
    static std::shared_ptr<CartDatabase> create(const ProfileSettings& profile, QString* error = nullptr);

    ~CartDatabase();
    CartDatabase(const CartDatabase&) = delete;
    CartDatabase& operator=(const CartDatabase&) = delete;

    bool isPostgres() const { return m_postgres; }
    // A store in a folder this user may not write to is opened for reading:
    // listing and showing work, every write is refused with the reason.
    bool isReadOnly() const { return !m_readOnlyReason.isEmpty(); }
    QString readOnlyMessage() const;
    QString lastError() const { return m_lastError; }
    // Where the store is, for messages ("the Cartvault <this>").
    QString location() const { return m_location; }

    // A prepared statement, kept for the life of the connection.
    QSqlQuery& query(const QString& sql);
    // Runs `work` in a write transaction that holds the store's write lock
    // from the start (so read-then-write cannot be overtaken); commits when
    // `work` returns true, rolls back otherwise.
    bool write(const std::function<bool()>& work);
    // Inside write(): holds cart `number` until the transaction ends, so that
    // no other workstation changes the cart's audio meanwhile. SQLite's write
    // lock already holds the whole store.
    bool lockCart(qint64 number);

    // How long a wait for a cart or the store's write lock lasts before it
    // fails with "... is being changed by another workstation". open() takes
    // the store's LockTimeout setting; useStoredLockTimeout() takes it again
    // (after it changed). reconnect() waits as long for a server to take over.
    bool useStoredLockTimeout();
    int lockTimeout() const { return m_lockTimeout; }

    // What the logged-in system user may do, from the store's directory.
    enum class Right { CartWrite, Administration };
    // False with the reason in lastError() when the user may not.
    bool allows(Right right);
    // Outside write(), a statement whose connection was lost (a failover, a
    // server restart) is run once more on a new connection.
    bool exec(QSqlQuery& query);
    // A statement that takes no values and cannot be prepared (BEGIN, LOCK ...).
    bool execDirect(const QString& sql) { return execAll({sql}); }
    // A text for a NOT NULL column: a null QString would bind as NULL.
    static QString text(const QString& value) { return value.isNull() ? QStringLiteral("") : value; }

    // Changes whenever anything was committed to the store since the last
    // call, by this connection or another; -1 when it cannot tell, and then
    // callers must not cache at all. On PostgreSQL another workstation's
    // commit shows as soon as its announcement has reached this connection.
    qint64 changeStamp();

    // PostgreSQL: the server went away under this connection. A write that
    // failed so may or may not have been committed.
    bool connectionLost() const;
    // A new connection with this session's settings, to whichever server of
    // the profile's list takes writes now (waiting for one up to the lock
    // timeout); false with a message naming the server.
    // Statements from query() are prepared again when next asked for.
    bool reconnect();

    // Store-wide settings (key/value).
    QString setting(const QString& key, const QString& fallback = QString());
    bool hasSetting(const QString& key);
    bool putSetting(const QString& key, const QString& value); // inside write()

private:
    enum class Opening { Existing, MayCreate };
    static std::shared_ptr<CartDatabase> opened(const ProfileSettings& profile, Opening opening, QString* error);
    CartDatabase() = default;
    bool open(const ProfileSettings& profile, Opening opening);
    bool connectSqlite(const ProfileSettings& profile, Opening opening);
    bool openConnection();
    bool serverAway() const;
    void connectPostgres(const ProfileSettings& profile);
    bool recogniseStore(Opening opening, const QString& dataLocation);
    bool makeDataLocation(const QString& folder);
    bool prepareSession();
    bool ensureSchema();
    bool createSchema();
    bool migrate();
    bool addCreator();
    int storedSchemaVersion(); // -1 = no schema table (or none readable)
    int tableCount(QString* why); // -1 = cannot read the database: why
    bool setLockTimeout(int seconds);
    bool isLockTimeout(const QSqlError& error) const;
    bool refuse(const QString& why);
    bool execAll(const QStringList& statements);
    bool beginTransaction();
    bool rerun(QSqlQuery& query);
    void* postgresConnection() const; // libpq's PGconn, or null
    void fail(const QString& what, const QSqlError& error);
    qint64 postgresChangeStamp();

    QString m_connectionName;
    QSqlDatabase m_db;
    bool m_postgres = false;
    QString m_profileName;
    QString m_location;
    bool m_creating = false; // open() is making the store
    int m_lockTimeout = 0;
    bool m_inTransaction = false;
    bool m_unreachable = false; // the last reconnect() gave up
    QString m_readOnlyReason;
    QString m_lastError;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_queries; // shared_ptr: references stay valid
    qint64 m_ownCommits = 0;
    qint64 m_announcements = 0; // PostgreSQL: other commits heard of
    struct StatementFinalizer {
        void operator()(void* statement) const;
    };
    std::unique_ptr<void, StatementFinalizer> m_dataVersion; // SQLite only
};
