#include "frame/library/StoreMigrations.h"

namespace {
// Version 1: the first schema, as the first release created it.
StoreMigrations::Step firstSchema()
{
    auto statements = [](const QString& id) {
        return QStringList{
            QStringLiteral("CREATE TABLE settings (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE users (name TEXT PRIMARY KEY, cart_rights INTEGER NOT NULL DEFAULT 0)"),
            QStringLiteral("CREATE TABLE user_settings (user_name TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL, "
                           "PRIMARY KEY (user_name, name))"),
            QStringLiteral("CREATE TABLE audit_log (id %1, logged_at TEXT NOT NULL, workstation TEXT NOT NULL, "
                           "user_name TEXT NOT NULL, kind INTEGER NOT NULL, category INTEGER NOT NULL, title TEXT NOT NULL, "
                           "text TEXT NOT NULL, flag INTEGER NOT NULL)")
                .arg(id),
            QStringLiteral("CREATE TABLE carts (number BIGINT PRIMARY KEY, title TEXT NOT NULL DEFAULT '', "
                           "artist TEXT NOT NULL DEFAULT '', description TEXT NOT NULL DEFAULT '', "
                           "intro_start DOUBLE PRECISION NOT NULL DEFAULT 0, intro_end DOUBLE PRECISION NOT NULL DEFAULT 0, "
                           "extro DOUBLE PRECISION NOT NULL DEFAULT 0, length DOUBLE PRECISION NOT NULL DEFAULT 0, "
                           "audio_length DOUBLE PRECISION NOT NULL DEFAULT -1, audio_file TEXT NOT NULL DEFAULT '', "
                           "linked INTEGER NOT NULL DEFAULT 0, audio_revision BIGINT NOT NULL DEFAULT 0, "
                           "modified_at TEXT NOT NULL DEFAULT '', modified_by TEXT NOT NULL DEFAULT '')"),
            QStringLiteral("CREATE INDEX carts_holding_audio ON carts (number) WHERE audio_length >= 0"),
        };
    };
    return {1, statements(QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")), statements(QStringLiteral("BIGSERIAL PRIMARY KEY"))};
}

// Version 2: administrators, and the audio files a committed import has
// replaced but not yet removed. Before administrators existed anyone with
// cart rights could change settings and users, so those users keep that.
StoreMigrations::Step administratorsAndRetiredAudio()
{
    const QStringList statements{
        QStringLiteral("ALTER TABLE users ADD COLUMN administrator INTEGER NOT NULL DEFAULT 0"),
        QStringLiteral("UPDATE users SET administrator = 1 WHERE cart_rights > 0"),
        QStringLiteral("CREATE TABLE retired_audio (path TEXT PRIMARY KEY, cart BIGINT NOT NULL)"),
    };
    return {2, statements, statements};
}

// Version 3: PostgreSQL roles for a shared store. <database>_reader may read
// everything (list, show, export); <database>_writer may also import and
// administer. The administrator grants them to each studio's login role. Roles
// are made only where the store's owner may create roles; otherwise the
// cluster's administrator makes them and runs the grants by hand.
StoreMigrations::Step postgresRoles()
{
    const QString grants = QStringLiteral(R"SQL(
DO $$
DECLARE
    reader TEXT := current_database() || '_reader';
    writer TEXT := current_database() || '_writer';
BEGIN
    IF NOT (SELECT rolcreaterole OR rolsuper FROM pg_roles WHERE rolname = current_user) THEN
        RETURN;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = reader) THEN
        EXECUTE format('CREATE ROLE %I NOLOGIN', reader);
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = writer) THEN
        EXECUTE format('CREATE ROLE %I NOLOGIN', writer);
    END IF;
    EXECUTE format('GRANT USAGE ON SCHEMA public TO %I, %I', reader, writer);
    EXECUTE format('GRANT SELECT ON ALL TABLES IN SCHEMA public TO %I', reader);
    EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO %I', writer);
    EXECUTE format('GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %I', writer);
END
$$)SQL");
    return {3, {}, {grants}};
}
// The store's roles (step 3) cover the tables that existed then; a later
// table is granted to them where they exist.
QString roleGrants(const QString& table)
{
    return QStringLiteral(R"SQL(
DO $$
DECLARE
    reader TEXT := current_database() || '_reader';
    writer TEXT := current_database() || '_writer';
BEGIN
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = reader) THEN
        EXECUTE format('GRANT SELECT ON %1 TO %I', reader);
    END IF;
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = writer) THEN
        EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %I', writer);
    END IF;
END
$$)SQL")
        .arg(table);
}

// Version 4: what drop folders have seen. A file is one version of a name in
// a folder (its size and modification time); the row is its claim while a
// watcher imports it, then its outcome, so no file is imported twice, across
// restarts and across workstations watching one shared folder.
StoreMigrations::Step dropFolders()
{
    const QStringList statements{
        QStringLiteral("CREATE TABLE dropbox_files (folder TEXT NOT NULL, name TEXT NOT NULL, size BIGINT NOT NULL, "
                       "mtime BIGINT NOT NULL, outcome TEXT NOT NULL, cart TEXT NOT NULL DEFAULT '', "
                       "reason TEXT NOT NULL DEFAULT '', workstation TEXT NOT NULL DEFAULT '', at TEXT NOT NULL DEFAULT '', "
                       "PRIMARY KEY (folder, name, size, mtime))"),
    };
    return {4, statements, statements + QStringList{roleGrants(QStringLiteral("dropbox_files"))}};
}

// Version 5: who holds a drop-folder claim (workstation, process, boot) and
// until when on the store's clock (seconds since the epoch), so a claim of a
// watcher that died is taken over at once on its own workstation and after
// the lease elsewhere. Rows from before have no holder and a spent lease.
StoreMigrations::Step dropFolderClaimHolders()
{
    const QStringList statements{
        QStringLiteral("ALTER TABLE dropbox_files ADD COLUMN host TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("ALTER TABLE dropbox_files ADD COLUMN pid BIGINT NOT NULL DEFAULT 0"),
        QStringLiteral("ALTER TABLE dropbox_files ADD COLUMN boot TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("ALTER TABLE dropbox_files ADD COLUMN lease_until BIGINT NOT NULL DEFAULT 0"),
    };
    return {5, statements, statements};
}

// Version 6: a cart's ISRC and its disc's catalogue number (MCN), as a CD
// rip reads them; empty for carts from before and for audio without them.
StoreMigrations::Step recordingCodes()
{
    const QStringList statements{
        QStringLiteral("ALTER TABLE carts ADD COLUMN isrc TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("ALTER TABLE carts ADD COLUMN mcn TEXT NOT NULL DEFAULT ''"),
    };
    return {6, statements, statements};
}

// Version 7: the loudness of a cart's audio (EBU R128), measured as it was
// imported. loudness_measured tells a cart measured as silence (its levels
// NULL) from one imported before measuring began.
StoreMigrations::Step loudness()
{
    auto statements = [](const QString& real) {
        return QStringList{
            QStringLiteral("ALTER TABLE carts ADD COLUMN loudness_measured INTEGER NOT NULL DEFAULT 0"),
            QStringLiteral("ALTER TABLE carts ADD COLUMN loudness_integrated %1").arg(real),
            QStringLiteral("ALTER TABLE carts ADD COLUMN loudness_range %1").arg(real),
            QStringLiteral("ALTER TABLE carts ADD COLUMN loudness_true_peak %1").arg(real),
            QStringLiteral("ALTER TABLE carts ADD COLUMN loudness_max_momentary %1").arg(real),
            QStringLiteral("ALTER TABLE carts ADD COLUMN loudness_max_short_term %1").arg(real),
        };
    };
    return {7, statements(QStringLiteral("REAL")), statements(QStringLiteral("DOUBLE PRECISION"))};
}

// Version 10: what stations schedule and report a cart by (CartMetadata):
// air times as "yyyy-MM-ddTHH:mm:ss" local text, which sorts as it reads;
// the post timers as one JSON text. Carts from before have none of it.
StoreMigrations::Step cartMetadata()
{
    QStringList statements{
        QStringLiteral("ALTER TABLE carts ADD COLUMN start_air TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("ALTER TABLE carts ADD COLUMN end_air TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("ALTER TABLE carts ADD COLUMN year INTEGER NOT NULL DEFAULT 0"),
        QStringLiteral("ALTER TABLE carts ADD COLUMN post_timers TEXT NOT NULL DEFAULT '[]'"),
        QStringLiteral("ALTER TABLE carts ADD COLUMN level_reference INTEGER NOT NULL DEFAULT 0"),
    };
    for (const char* text : {"category", "classification", "client_id", "cut_id", "out_cue", "user_def", "composer", "publisher",
                             "label", "url", "tag_text", "producer_app_id", "producer_app_version"})
        statements << QStringLiteral("ALTER TABLE carts ADD COLUMN %1 TEXT NOT NULL DEFAULT ''").arg(QLatin1String(text));
    statements << QStringLiteral("CREATE INDEX carts_end_air ON carts (end_air) WHERE end_air <> ''");
    return {10, statements, statements};
}

// Version 9: carts by the file they play. Whether any cart still names a file
// (the clean-up at opening asks it of every leftover it finds) was a read of
// the whole table, a second or more per file in a million-cart store.
StoreMigrations::Step cartsByAudioFile()
{
    const QStringList statements{QStringLiteral("CREATE INDEX carts_by_audio_file ON carts (audio_file)")};
    return {9, statements, statements};
}

// Version 8: what each cart's audio sounds like, for finding the same audio
// under other titles: the packed fingerprint and the length it covers. A
// row belongs to the audio the cart held when it was made; new audio drops it.
StoreMigrations::Step cartFingerprints()
{
    const QString table = QStringLiteral("CREATE TABLE cart_fingerprints (cart BIGINT PRIMARY KEY, "
                                         "seconds DOUBLE PRECISION NOT NULL, fingerprint %1 NOT NULL)");
    return {8, {table.arg(QStringLiteral("BLOB"))}, {table.arg(QStringLiteral("BYTEA")), roleGrants(QStringLiteral("cart_fingerprints"))}};
}
} // namespace

const QList<StoreMigrations::Step>& StoreMigrations::steps()
{
    static const QList<Step> all{firstSchema(), administratorsAndRetiredAudio(), postgresRoles(), dropFolders(), dropFolderClaimHolders(),
                                  recordingCodes(), loudness(), cartFingerprints(), cartsByAudioFile(), cartMetadata()};
    return all;
}
