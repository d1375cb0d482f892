#include "frame/library/PlayoutAudio.h"

#include "frame/AppPaths.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/PendingAudioFile.h"
#include "frame/library/ProfileSettings.h"
#include "frame/library/TransportZip.h"
#include "frame/library/WaveFileInfo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>

struct PlayoutAudio::AudioChange {
    PendingAudioFile* pending = nullptr; // none for a linked file
    QString audioFile;
    bool linked = false;
    double seconds = 0;
    const CartRecord* fields = nullptr; // fields that come with the audio (a packed cart)
    qint64 expectedRevision = 0;
    bool rowExists = false;
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
    return true;
}

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
    QSqlQuery& q = m_database->query(QStringLiteral(
        "SELECT title, artist, description, intro_start, intro_end, extro, length, audio_length, audio_file, linked, "
        "number FROM carts WHERE number BETWEEN ? AND ?"));
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
    return m_database->write([&] {
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
}

QString PlayoutAudio::CartAudioFile(const QString& number, int) const
{
    const auto n = m_numbers.parse(number);
    if (!n || m_store.Location(1).isEmpty())
        return {};
    // A thousand carts per folder keeps folders small in a million-cart store.
    return QStringLiteral("%1/%2/%3.wav")
        .arg(m_store.Location(1))
        .arg(*n / 1000, 3, 10, QLatin1Char('0'))
        .arg(*n, 6, 10, QLatin1Char('0'));
}

std::optional<qint64> PlayoutAudio::audioRevision(qint64 number, bool* exists)
{
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT audio_revision FROM carts WHERE number = ?"));
    q.addBindValue(number);
    if (!m_database->exec(q))
        return std::nullopt;
    *exists = q.next();
    const qint64 revision = *exists ? q.value(0).toLongLong() : 0;
    q.finish();
    return revision;
}

bool PlayoutAudio::installAudio(qint64 number, const AudioChange& change, QString& message)
{
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const QString user = AppPaths::systemUserName();
    QString why;
    const bool ok = m_database->write([&] {
        // New audio brings new timing points: the old ones belonged to the old audio.
        QSqlQuery& q = change.rowExists
            ? m_database->query(QStringLiteral(
                  "UPDATE carts SET audio_length = ?, length = ?, audio_file = ?, linked = ?, intro_start = ?, "
                  "intro_end = ?, extro = ?, title = CASE WHEN ? THEN ? ELSE title END, "
                  "artist = CASE WHEN ? THEN ? ELSE artist END, description = CASE WHEN ? THEN ? ELSE description END, "
                  "audio_revision = audio_revision + 1, modified_at = ?, modified_by = ? "
                  "WHERE number = ? AND audio_revision = ?"))
            : m_database->query(QStringLiteral(
                  "INSERT INTO carts (audio_length, length, audio_file, linked, intro_start, intro_end, extro, "
                  "title, artist, description, audio_revision, modified_at, modified_by, number) "
                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, ?, ?, ?)"));
        const CartRecord* f = change.fields;
        q.addBindValue(change.seconds);
        q.addBindValue(change.seconds);
        q.addBindValue(CartDatabase::text(change.audioFile));
        q.addBindValue(change.linked ? 1 : 0);
        q.addBindValue(f ? static_cast<double>(f->IntroStart) : 0.0);
        q.addBindValue(f ? static_cast<double>(f->IntroEnd) : 0.0);
        q.addBindValue(f ? static_cast<double>(f->Extro) : 0.0);
        const QString texts[] = {f ? f->Title : QString(), f ? f->Artist(1) : QString(), f ? f->Description(1) : QString()};
        for (const QString& text : texts) {
            if (change.rowExists)
                q.addBindValue(f != nullptr);
            q.addBindValue(CartDatabase::text(text));
        }
        q.addBindValue(CartDatabase::text(now));
        q.addBindValue(CartDatabase::text(user));
        q.addBindValue(number);
        if (change.rowExists)
            q.addBindValue(change.expectedRevision);
        if (!m_database->exec(q)) {
            why = QStringLiteral("Cart %1 was being filled by another workstation: %2").arg(number).arg(m_database->lastError());
            return false;
        }
        if (q.numRowsAffected() != 1) {
            why = QStringLiteral("Cart %1 was changed by another workstation meanwhile").arg(number);
            return false;
        }
        return !change.pending || change.pending->commit(&why);
    });
    if (!ok)
        return fail(message, m_lastError, why.isEmpty() ? m_database->lastError() : why);
    return true;
}

bool PlayoutAudio::ImportAudioFile(QObject*, const QString& number, const QString& importFile, bool link, int,
                                   QString& message, const QString&, int)
{
    m_lastError.clear();
    const auto n = m_numbers.parse(number);
    if (!n)
        return fail(message, m_lastError, QStringLiteral("'%1' is not a cart number of this Cartvault").arg(number));
    if (!m_database)
        return fail(message, m_lastError, QStringLiteral("The Cartvault is not open"));
    const auto wave = WaveFileInfo::readFile(importFile);
    if (!wave)
        return fail(message, m_lastError, QStringLiteral("'%1' is not a WAV file the Cartvault can take").arg(importFile));
    AudioChange change;
    change.seconds = wave->seconds();
    const auto revision = audioRevision(*n, &change.rowExists);
    if (!revision)
        return fail(message, m_lastError, m_database->lastError());
    change.expectedRevision = *revision;

    const QString cartFile = CartAudioFile(number);
    if (link && !sameFile(importFile, cartFile)) {
        if (!m_store.AllowLinking)
            return fail(message, m_lastError, QStringLiteral("This Cartvault does not allow linking to audio files"));
        change.audioFile = QFileInfo(importFile).absoluteFilePath();
        change.linked = true;
        if (!installAudio(*n, change, message))
            return false;
        QFile::remove(cartFile); // an earlier copy of the cart's audio is no longer used
        return true;
    }
    PendingAudioFile pending(cartFile);
    QString why;
    if (!pending.open(&why) || !pending.copyFrom(importFile, &why))
        return fail(message, m_lastError, why);
    change.pending = &pending;
    change.audioFile = cartFile;
    return installAudio(*n, change, message);
}

bool PlayoutAudio::ImportTransportFile(QObject*, const QString& number, const QString& path, QObject*, int, int,
                                       const QString&, int)
{
    m_lastError.clear();
    QString message;
    const auto n = m_numbers.parse(number);
    if (!n)
        return fail(message, m_lastError, QStringLiteral("'%1' is not a cart number of this Cartvault").arg(number));
    if (!m_database)
        return fail(message, m_lastError, QStringLiteral("The Cartvault is not open"));
    AudioChange change;
    const auto revision = audioRevision(*n, &change.rowExists);
    if (!revision)
        return fail(message, m_lastError, m_database->lastError());
    change.expectedRevision = *revision;

    const QString cartFile = CartAudioFile(number);
    PendingAudioFile pending(cartFile);
    CartRecord fields;
    QString why;
    if (!pending.open(&why) || !TransportZip::read(path, fields, pending.device(), &why))
        return fail(message, m_lastError, why);
    pending.flush();
    const auto wave = WaveFileInfo::readFile(pending.temporaryPath());
    if (!wave)
        return fail(message, m_lastError, QStringLiteral("The audio in '%1' is not a WAV file").arg(path));
    change.seconds = wave->seconds();
    change.pending = &pending;
    change.audioFile = cartFile;
    change.fields = &fields;
    return installAudio(*n, change, message);
}

bool PlayoutAudio::ExportTransportFile(const QString& number, const QString& zipPath, QString* error)
{
    const auto cart = GetCart(number);
    if (!cart || !cart->holdsAudio()) {
        if (error)
            *error = QStringLiteral("Cart %1 holds no audio").arg(number);
        return false;
    }
    return TransportZip::write(zipPath, *cart, cart->AudioFile, error);
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
