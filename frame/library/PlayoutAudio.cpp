#include "frame/library/PlayoutAudio.h"

#include "frame/AppPaths.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/CartAudioNames.h"
#include "frame/library/FileTools.h"
#include "frame/library/IncomingAudioFile.h"
#include "frame/library/ProfileSettings.h"
#include "frame/library/StoreFaults.h"
#include "frame/library/StoreLeftovers.h"
#include "frame/library/StoreOwnedFiles.h"
#include "frame/library/TransportZip.h"
#include "frame/library/WaveFileInfo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <cmath>

// What the store holds for a cart before an import changes it.
struct PlayoutAudio::CartState {
    bool rowExists = false;
    qint64 revision = 0;
    bool holdsAudio = false;
    QString audioFile;
    bool linked = false;
};

struct PlayoutAudio::AudioChange {
    CartState before;
    IncomingAudioFile* incoming = nullptr; // none for a linked file
    QString audioFile;
    bool linked = false;
    double seconds = 0;
    const CartRecord* fields = nullptr; // fields that come with the audio (a packed cart)
    // The cart's old file, to be removed once the new record is committed.
    QString retiring() const
    {
        return before.linked || before.audioFile.isEmpty() || before.audioFile == audioFile ? QString() : before.audioFile;
    }
};

namespace {
bool sameFile(const QString& a, const QString& b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

bool fail(QString& message, QString& lastError, const QString& why)
{
    message = why;
    lastError = why;
    return false;
}

QString faultText(const char* step) { return QStringLiteral("Stopped at the '%1' step by ORVANE_STORE_FAULT").arg(QLatin1String(step)); }

// Timing points must lie in the audio and in order: 0 <= intro start <=
// intro end <= extro <= length, an intro end or extro of 0 meaning none.
// Points that do not fit are cleared; the text names them.
QString dropMisplacedTimingPoints(CartRecord& fields, double length)
{
    QStringList dropped;
    auto check = [&](float& point, const char* name, double low) {
        if (!std::isfinite(point) || point < low || point > length) {
            dropped << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(point);
            point = 0;
        }
    };
    check(fields.IntroStart, "intro start", 0);
    check(fields.IntroEnd, "intro end", fields.IntroEnd == 0 ? 0 : fields.IntroStart);
    check(fields.Extro, "extro", fields.Extro == 0 ? 0 : fields.IntroEnd);
    if (dropped.isEmpty())
        return {};
    return QStringLiteral("Timing points outside the audio (%1 s) were left out: %2").arg(length).arg(dropped.join(QStringLiteral(", ")));
}

// The columns readRecord() reads, in its order, then the cart's number.
const QString kRecordColumns = QStringLiteral(
    "title, artist, description, intro_start, intro_end, extro, length, audio_length, audio_file, linked, number");

void readRecord(QSqlQuery& q, CartRecord& r)
{
    r.Title = q.value(0).toString();
    r.setArtist(q.value(1).toString());
    r.setDescription(q.value(2).toString());
    r.IntroStart = q.value(3).toFloat();
    r.IntroEnd = q.value(4).toFloat();
    r.Extro = q.value(5).toFloat();
    r.Length = q.value(6).toFloat();
    r.AudioLength = q.value(7).toFloat();
    r.AudioFile = q.value(8).toString();
    r.Linked = q.value(9).toInt() != 0;
}
} // namespace

PlayoutAudio::PlayoutAudio() = default;
PlayoutAudio::~PlayoutAudio() = default;

bool PlayoutAudio::Initialise()
{
    m_database.reset();
    if (!m_audioSettings) {
        m_lastError = QStringLiteral("No audio settings were given to the playout audio interface");
        return false;
    }
    if (!m_store.LoadProfile(m_audioSettings->profileName())) {
        m_lastError = m_store.lastError();
        return false;
    }
    if (m_store.Location(1).isEmpty()) {
        m_lastError = QStringLiteral("The Cartvault has no primary audio location");
        return false;
    }
    m_database = m_store.database();
    m_numbers = CartNumbers(m_store.FirstCart, m_store.LastCart);
    StoreLeftovers::clean(*m_database, names());
    return true;
}

CartAudioNames PlayoutAudio::names() const { return CartAudioNames(m_store.Location(1)); }

bool PlayoutAudio::IsValidCartNumber(const QString& text) const { return m_numbers.parse(text).has_value(); }

QString PlayoutAudio::FirstValidCart(const QString& from) const
{
    if (from.trimmed().isEmpty())
        return CartNumbers::text(m_numbers.first());
    const auto number = CartNumbers::parseDigits(from);
    if (!number || *number > m_numbers.last())
        return {};
    return CartNumbers::text(std::max(*number, m_numbers.first()));
}

QString PlayoutAudio::NextCartNumber(const QString& number) const
{
    const auto current = m_numbers.parse(number);
    if (!current || *current >= m_numbers.last())
        return {};
    return CartNumbers::text(*current + 1);
}

QString PlayoutAudio::FirstFreeCart(const QString& from)
{
    const QString start = FirstValidCart(from);
    if (start.isEmpty() || !m_database)
        return {};
    const qint64 first = start.toLongLong();
    QSqlQuery& used = m_database->query(QStringLiteral("SELECT 1 FROM carts WHERE number = ? AND audio_length >= 0"));
    used.addBindValue(first);
    if (!m_database->exec(used))
        return {};
    const bool startUsed = used.next();
    used.finish();
    if (!startUsed)
        return start;
    // The first cart after a cart in use whose successor is not in use.
    QSqlQuery& gap = m_database->query(QStringLiteral(
        "SELECT MIN(c.number) FROM carts c WHERE c.number >= ? AND c.audio_length >= 0 AND NOT EXISTS "
        "(SELECT 1 FROM carts d WHERE d.number = c.number + 1 AND d.audio_length >= 0)"));
    gap.addBindValue(first);
    qint64 candidate = -1;
    if (m_database->exec(gap) && gap.next() && !gap.value(0).isNull())
        candidate = gap.value(0).toLongLong() + 1;
    gap.finish();
    return candidate >= 0 && m_numbers.contains(candidate) ? CartNumbers::text(candidate) : QString();
}

std::optional<CartRecord> PlayoutAudio::GetCart(const QString& number, int)
{
    m_lastError.clear(); // set again when the store cannot be read, which is not "no such cart"
    const auto n = m_numbers.parse(number);
    if (!n || !m_database)
        return std::nullopt;
    const bool walking = *n == m_lastRead + 1;
    m_lastRead = *n;
    if (walking)
        if (auto record = readAhead(*n))
            return record;
    QHash<qint64, CartRecord> found;
    if (!fetchRecords(*n, *n, found))
        return std::nullopt;
    CartRecord record = found.value(*n);
    record.Number = CartNumbers::text(*n);
    return record;
}

std::optional<CartRecord> PlayoutAudio::readAhead(qint64 number)
{
    constexpr qint64 kBlock = 512;
    const qint64 stamp = m_database->changeStamp();
    if (stamp < 0)
        return std::nullopt;
    if (stamp != m_readAhead.stamp || number < m_readAhead.first || number > m_readAhead.last) {
        m_readAhead = {};
        const qint64 last = std::min(number + kBlock - 1, m_numbers.last());
        if (!fetchRecords(number, last, m_readAhead.records))
            return std::nullopt;
        m_readAhead.first = number;
        m_readAhead.last = last;
        m_readAhead.stamp = stamp;
    }
    CartRecord record = m_readAhead.records.value(number);
    record.Number = CartNumbers::text(number);
    return record;
}

bool PlayoutAudio::fetchRecords(qint64 first, qint64 last, QHash<qint64, CartRecord>& records)
{
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT %1 FROM carts WHERE number BETWEEN ? AND ?").arg(kRecordColumns));
    q.addBindValue(first);
    q.addBindValue(last);
    if (!m_database->exec(q)) {
        m_lastError = m_database->lastError();
        return false;
    }
    while (q.next())
        readRecord(q, records[q.value(10).toLongLong()]);
    q.finish();
    return true;
}

bool PlayoutAudio::SaveCart(const QString& number, const CartRecord& record, int, int, int)
{
    const auto n = m_numbers.parse(number);
    if (!n || !m_database)
        return false;
    const bool saved = m_database->write([&] {
        if (!m_database->allows(CartDatabase::Right::CartWrite))
            return false;
        QSqlQuery& q = m_database->query(QStringLiteral(
            "INSERT INTO carts (number, title, artist, description, intro_start, intro_end, extro, modified_at, modified_by) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (number) DO UPDATE SET title = excluded.title, "
            "artist = excluded.artist, description = excluded.description, intro_start = excluded.intro_start, "
            "intro_end = excluded.intro_end, extro = excluded.extro, modified_at = excluded.modified_at, "
            "modified_by = excluded.modified_by"));
        q.addBindValue(*n);
        q.addBindValue(CartDatabase::text(record.Title));
        q.addBindValue(CartDatabase::text(record.Artist(1)));
        q.addBindValue(CartDatabase::text(record.Description(1)));
        q.addBindValue(static_cast<double>(record.IntroStart));
        q.addBindValue(static_cast<double>(record.IntroEnd));
        q.addBindValue(static_cast<double>(record.Extro));
        q.addBindValue(CartDatabase::text(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)));
        q.addBindValue(CartDatabase::text(AppPaths::systemUserName()));
        return m_database->exec(q);
    });
    if (!saved)
        m_lastError = m_database->lastError();
    return saved;
}

QString PlayoutAudio::CartAudioFile(const QString& number, int)
{
    const auto n = m_numbers.parse(number);
    if (!n || m_store.Location(1).isEmpty())
        return {};
    if (m_database)
        if (const auto state = cartState(*n); state && state->holdsAudio && !state->linked)
            return state->audioFile;
    return names().plainFile(*n);
}

std::optional<PlayoutAudio::CartState> PlayoutAudio::cartState(qint64 number)
{
    QSqlQuery& q = m_database->query(
        QStringLiteral("SELECT audio_revision, audio_length, audio_file, linked FROM carts WHERE number = ?"));
    q.addBindValue(number);
    if (!m_database->exec(q))
        return std::nullopt;
    CartState state;
    state.rowExists = q.next();
    if (state.rowExists) {
        state.revision = q.value(0).toLongLong();
        state.holdsAudio = q.value(1).toDouble() >= 0;
        state.audioFile = q.value(2).toString();
        state.linked = q.value(3).toInt() != 0;
    }
    q.finish();
    return state;
}

bool PlayoutAudio::ownsFile(const QString& path, QString* why) const { return StoreOwnedFiles(m_store).owns(path, why); }

bool PlayoutAudio::recordAudio(qint64 number, const AudioChange& change, QString& why)
{
    // New audio brings new timing points: the old ones belonged to the old audio.
    QSqlQuery& q = change.before.rowExists
        ? m_database->query(QStringLiteral(
              "UPDATE carts SET audio_length = ?, length = ?, audio_file = ?, linked = ?, intro_start = ?, "
              "intro_end = ?, extro = ?, title = CASE WHEN ? THEN ? ELSE title END, "
              "artist = CASE WHEN ? THEN ? ELSE artist END, description = CASE WHEN ? THEN ? ELSE description END, "
              "audio_revision = ?, modified_at = ?, modified_by = ? WHERE number = ? AND audio_revision = ?"))
        : m_database->query(QStringLiteral(
              "INSERT INTO carts (audio_length, length, audio_file, linked, intro_start, intro_end, extro, "
              "title, artist, description, audio_revision, modified_at, modified_by, number) "
              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (number) DO NOTHING"));
    const CartRecord* f = change.fields;
    q.addBindValue(change.seconds);
    q.addBindValue(change.seconds);
    q.addBindValue(CartDatabase::text(change.audioFile));
    q.addBindValue(change.linked ? 1 : 0);
    q.addBindValue(f ? static_cast<double>(f->IntroStart) : 0.0);
    q.addBindValue(f ? static_cast<double>(f->IntroEnd) : 0.0);
    // Until someone marks it, the extro is where the audio ends.
    q.addBindValue(f && f->Extro > 0 ? static_cast<double>(f->Extro) : change.seconds);
    const QString texts[] = {f ? f->Title : QString(), f ? f->Artist(1) : QString(), f ? f->Description(1) : QString()};
    for (const QString& text : texts) {
        if (change.before.rowExists)
            q.addBindValue(f != nullptr);
        q.addBindValue(CartDatabase::text(text));
    }
    q.addBindValue(change.before.revision + 1);
    q.addBindValue(CartDatabase::text(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)));
    q.addBindValue(CartDatabase::text(AppPaths::systemUserName()));
    q.addBindValue(number);
    if (change.before.rowExists)
        q.addBindValue(change.before.revision);
    if (!m_database->exec(q)) {
        why = QStringLiteral("Cannot record the audio of cart %1: %2").arg(number).arg(m_database->lastError());
        return false;
    }
    if (q.numRowsAffected() != 1) {
        why = QStringLiteral("Cart %1 was changed by another workstation meanwhile").arg(number);
        return false;
    }
    return true;
}

// Inside the import's transaction: the old file is noted for removal, so that
// it is removed even if this process dies right after the commit.
bool PlayoutAudio::retireLater(qint64 number, const AudioChange& change)
{
    const QString old = change.retiring();
    if (old.isEmpty() || !names().contains(old))
        return true;
    QSqlQuery& q = m_database->query(QStringLiteral("INSERT INTO retired_audio (path, cart) VALUES (?, ?) ON CONFLICT (path) DO NOTHING"));
    q.addBindValue(old);
    q.addBindValue(number);
    return m_database->exec(q);
}

void PlayoutAudio::removeRetired(const AudioChange& change)
{
    const QString old = change.retiring();
    if (old.isEmpty() || !names().contains(old) || StoreFaults::at("committed"))
        return;
    QFile::remove(old);
    if (StoreFaults::at("retired"))
        return;
    m_database->write([&] {
        QSqlQuery& q = m_database->query(QStringLiteral("DELETE FROM retired_audio WHERE path = ?"));
        q.addBindValue(old);
        return m_database->exec(q);
    });
}

bool PlayoutAudio::installAudio(qint64 number, const AudioChange& change, QString& message)
{
    QString why;
    const bool committed = m_database->write([&] {
        if (!m_database->allows(CartDatabase::Right::CartWrite) || !m_database->lockCart(number))
            return false;
        if (!recordAudio(number, change, why))
            return false;
        if (change.incoming && !change.incoming->publish(&why))
            return false;
        if (StoreFaults::at("linked")) {
            why = faultText("linked");
            return false;
        }
        return retireLater(number, change);
    });
    if (!committed)
        return fail(message, m_lastError, why.isEmpty() ? m_database->lastError() : why);
    if (change.incoming)
        change.incoming->keep();
    // A failure from here on leaves only an old file, which the next opening removes.
    removeRetired(change);
    return true;
}

std::optional<qint64> PlayoutAudio::importTarget(const QString& number, QString& message)
{
    m_lastError.clear();
    m_lastNote.clear();
    const auto n = m_numbers.parse(number);
    if (!n) {
        fail(message, m_lastError, QStringLiteral("'%1' is not a cart number of this Cartvault").arg(number));
        return std::nullopt;
    }
    if (!m_database || m_database->isReadOnly()) {
        fail(message, m_lastError, m_database ? m_database->readOnlyMessage() : QStringLiteral("The Cartvault is not open"));
        return std::nullopt;
    }
    return n;
}

bool PlayoutAudio::ImportAudioFile(QObject*, const QString& number, const QString& importFile, bool link, int options,
                                   QString& message, const QString&, int)
{
    const auto n = importTarget(number, message);
    if (!n)
        return false;
    QString why;
    const auto wave = WaveFileInfo::readFile(importFile, &why);
    if (!wave)
        return fail(message, m_lastError, why);
    const auto state = cartState(*n);
    if (!state)
        return fail(message, m_lastError, m_database->lastError());
    if ((options & kOnlyIntoEmptyCart) && state->holdsAudio)
        return fail(message, m_lastError, QStringLiteral("Cart %1 holds audio already").arg(*n));
    AudioChange change;
    change.before = *state;
    change.seconds = wave->seconds();

    if (link && !ownsFile(importFile)) {
        if (!m_store.AllowLinking)
            return fail(message, m_lastError, QStringLiteral("This Cartvault does not allow linking to audio files"));
        change.audioFile = QDir::cleanPath(QFileInfo(importFile).absoluteFilePath());
        change.linked = true;
        return installAudio(*n, change, message);
    }
    IncomingAudioFile incoming(names(), *n, state->revision + 1);
    if (!incoming.open(&why) || !incoming.copyFrom(importFile, &why))
        return fail(message, m_lastError, why);
    if (StoreFaults::at("copied"))
        return fail(message, m_lastError, faultText("copied"));
    if (!incoming.sync(&why))
        return fail(message, m_lastError, why);
    change.incoming = &incoming;
    change.audioFile = incoming.finalPath();
    return installAudio(*n, change, message);
}

bool PlayoutAudio::ImportTransportFile(QObject*, const QString& number, const QString& path, QObject*, int options, int,
                                       const QString&, int)
{
    QString message;
    const auto n = importTarget(number, message);
    if (!n)
        return false;
    const auto state = cartState(*n);
    if (!state)
        return fail(message, m_lastError, m_database->lastError());
    if ((options & kOnlyIntoEmptyCart) && state->holdsAudio)
        return fail(message, m_lastError, QStringLiteral("Cart %1 holds audio already").arg(*n));
    IncomingAudioFile incoming(names(), *n, state->revision + 1);
    CartRecord fields;
    QString why;
    const TransportZip::AudioSink toIncoming = [&incoming](const char* data, qint64 size, QString* error) {
        return incoming.write(data, size, error);
    };
    if (!incoming.open(&why) || !TransportZip::read(path, fields, toIncoming, &why))
        return fail(message, m_lastError, why);
    const auto wave = WaveFileInfo::readFile(incoming.temporaryPath());
    if (!wave)
        return fail(message, m_lastError, QStringLiteral("The audio in '%1' is not a WAV file holding audio").arg(path));
    if (!incoming.sync(&why))
        return fail(message, m_lastError, why);
    AudioChange change;
    change.before = *state;
    change.seconds = wave->seconds();
    m_lastNote = dropMisplacedTimingPoints(fields, change.seconds);
    change.incoming = &incoming;
    change.audioFile = incoming.finalPath();
    change.fields = &fields;
    return installAudio(*n, change, message);
}

bool PlayoutAudio::ExportTransportFile(const QString& number, const QString& zipPath, bool overwrite, QString* error)
{
    auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const auto cart = GetCart(number);
    if (!cart || !cart->holdsAudio())
        return refuse(QStringLiteral("Cart %1 holds no audio").arg(number));
    // A link is written through, as a shell's '>' would, and the file it
    // leads to is the one checked: the rename never lands anywhere else.
    const QString target = FileTools::resolvedPath(zipPath);
    if (QFileInfo(target).isDir())
        return refuse(QStringLiteral("'%1' is a folder").arg(zipPath));
    if (QString why; ownsFile(zipPath, &why))
        return refuse(QStringLiteral("'%1' %2: export to another file").arg(zipPath, why));
    if (QFileInfo::exists(target) && !overwrite)
        return refuse(QStringLiteral("'%1' exists already").arg(zipPath));
    return TransportZip::write(target, *cart, cart->AudioFile, overwrite, error);
}

QStringList PlayoutAudio::cartsWithAudio()
{
    QStringList numbers;
    if (!m_database)
        return numbers;
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT number FROM carts WHERE audio_length >= 0 ORDER BY number"));
    if (m_database->exec(q))
        while (q.next())
            numbers << QString::number(q.value(0).toLongLong());
    q.finish();
    return numbers;
}

QList<CartRecord> PlayoutAudio::cartsHoldingAudio(qint64 from, int limit)
{
    QList<CartRecord> records;
    if (!m_database)
        return records;
    QSqlQuery& q = m_database->query(
        QStringLiteral("SELECT %1 FROM carts WHERE number >= ? AND number <= ? AND audio_length >= 0 ORDER BY number LIMIT ?")
            .arg(kRecordColumns));
    q.addBindValue(from);
    q.addBindValue(m_numbers.last());
    q.addBindValue(limit);
    if (m_database->exec(q)) {
        while (q.next()) {
            CartRecord record;
            readRecord(q, record);
            record.Number = CartNumbers::text(q.value(10).toLongLong());
            records.append(record);
        }
    } else {
        m_lastError = m_database->lastError();
    }
    q.finish();
    return records;
}
