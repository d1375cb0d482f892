#include "frame/library/PlayoutAudio.h"

#include "frame/AppPaths.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/CartAudioNames.h"
#include "frame/library/CartImport.h"
#include "frame/library/CartLoudnessColumns.h"
#include "frame/library/CartReservations.h"
#include "frame/library/FileTools.h"
#include "frame/library/ProfileSettings.h"
#include "frame/library/StoreLeftovers.h"
#include "frame/library/StoreOwnedFiles.h"
#include "frame/library/TransportZip.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>

namespace {
// The columns readRecord() reads, in its order.
QString recordColumns()
{
    static const QString columns = QStringLiteral(
        "title, artist, description, intro_start, intro_end, extro, length, audio_length, audio_file, linked, isrc, mcn, "
        "number, ") + CartMetadata::columns().join(QStringLiteral(", ")) + QStringLiteral(", ") + CartLoudnessColumns::names();
    return columns;
}
constexpr int kNumberColumn = 12;
constexpr int kFirstMetadataColumn = 13;
int firstLoudnessColumn() { return kFirstMetadataColumn + static_cast<int>(CartMetadata::columns().size()); }

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
    r.Isrc = q.value(10).toString();
    r.Mcn = q.value(11).toString();
    QVariantList metadata;
    for (int i = 0; i < CartMetadata::columns().size(); ++i)
        metadata << q.value(kFirstMetadataColumn + i);
    r.Metadata = CartMetadata::fromValues(metadata);
    r.Loudness = CartLoudnessColumns::read(q, firstLoudnessColumn());
}

// The fields SaveCart writes beside the cart's number, in its statement's order.
QStringList savedColumns()
{
    return QStringList{QStringLiteral("title"), QStringLiteral("artist"), QStringLiteral("description"),
                       QStringLiteral("intro_start"), QStringLiteral("intro_end"), QStringLiteral("extro"),
                       QStringLiteral("isrc"), QStringLiteral("modified_at"), QStringLiteral("modified_by")}
        + CartMetadata::columns();
}

QString saveStatement()
{
    const QStringList columns = savedColumns();
    QStringList updates;
    for (const QString& column : columns)
        updates << QStringLiteral("%1 = excluded.%1").arg(column);
    return QStringLiteral("INSERT INTO carts (number, %1) VALUES (?%2) ON CONFLICT (number) DO UPDATE SET %3")
        .arg(columns.join(QStringLiteral(", ")), QStringLiteral(", ?").repeated(columns.size()), updates.join(QStringLiteral(", ")));
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
    m_reservations = std::make_unique<CartReservations>(names());
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
    for (auto cart = firstCartWithoutAudio(start.toLongLong()); cart; cart = firstCartWithoutAudio(*cart + 1))
        if (!m_reservations || m_reservations->reserve(*cart))
            return CartNumbers::text(*cart);
    return {};
}

// The carts in use from `first` on are read in order, a block at a time, up
// to the first number missing among them: the cost is the run of carts in
// use passed, whatever the size of the store.
std::optional<qint64> PlayoutAudio::firstCartWithoutAudio(qint64 first)
{
    constexpr int kBlock = 4096;
    QSqlQuery& used = m_database->query(
        QStringLiteral("SELECT number FROM carts WHERE number >= ? AND number <= ? AND audio_length >= 0 ORDER BY number LIMIT ?"));
    qint64 expected = first;
    for (bool gap = false; !gap && m_numbers.contains(expected);) {
        used.addBindValue(expected);
        used.addBindValue(m_numbers.last());
        used.addBindValue(kBlock);
        if (!m_database->exec(used))
            return std::nullopt;
        int rows = 0;
        while (!gap && used.next()) {
            ++rows;
            gap = used.value(0).toLongLong() != expected;
            expected += gap ? 0 : 1;
        }
        used.finish();
        gap = gap || rows < kBlock;
    }
    return m_numbers.contains(expected) ? std::optional<qint64>(expected) : std::nullopt;
}

std::optional<CartRecord> PlayoutAudio::GetCart(const QString& number)
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
    QSqlQuery& q = m_database->query(QStringLiteral("SELECT %1 FROM carts WHERE number BETWEEN ? AND ?").arg(recordColumns()));
    q.addBindValue(first);
    q.addBindValue(last);
    if (!m_database->exec(q)) {
        m_lastError = m_database->lastError();
        return false;
    }
    while (q.next())
        readRecord(q, records[q.value(kNumberColumn).toLongLong()]);
    q.finish();
    return true;
}

// One statement on one cart, in a transaction of its own, for a user with
// cart rights; the store's error is kept when it fails.
bool PlayoutAudio::writeCart(const QString& number, const std::function<bool(qint64 cart)>& statement)
{
    const auto n = m_numbers.parse(number);
    if (!n || !m_database)
        return false;
    const bool saved = m_database->write([&] {
        return m_database->allows(CartDatabase::Right::CartWrite) && statement(*n);
    });
    if (!saved)
        m_lastError = m_database->lastError();
    return saved;
}

bool PlayoutAudio::SaveCart(const QString& number, const CartRecord& record)
{
    return writeCart(number, [&](qint64 n) {
        QSqlQuery& q = m_database->query(saveStatement());
        q.addBindValue(n);
        q.addBindValue(CartDatabase::text(record.Title));
        q.addBindValue(CartDatabase::text(record.Artist(1)));
        q.addBindValue(CartDatabase::text(record.Description(1)));
        q.addBindValue(static_cast<double>(record.IntroStart));
        q.addBindValue(static_cast<double>(record.IntroEnd));
        q.addBindValue(static_cast<double>(record.Extro));
        q.addBindValue(CartDatabase::text(CartRecord::isrcFrom(record.Isrc)));
        q.addBindValue(CartDatabase::text(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)));
        q.addBindValue(CartDatabase::text(AppPaths::systemUserName()));
        for (const QVariant& value : record.Metadata.values())
            q.addBindValue(value);
        return m_database->exec(q);
    });
}

QString PlayoutAudio::CartAudioFile(const QString& number)
{
    const auto n = m_numbers.parse(number);
    if (!n || m_store.Location(1).isEmpty())
        return {};
    if (const auto cart = GetCart(number); cart && cart->holdsAudio() && !cart->Linked)
        return cart->AudioFile;
    return names().plainFile(*n);
}

bool PlayoutAudio::ownsFile(const QString& path, QString* why) const { return StoreOwnedFiles(m_store).owns(path, why); }

bool PlayoutAudio::ImportAudioFile(const QString& number, const QString& importFile, bool link, int options,
                                   QString& message)
{
    CartImport import(*this, number, options);
    const bool imported = import.begin() && (link ? import.linkTo(importFile) : import.copyFrom(importFile)) &&
                          import.finishAudio() && import.commit();
    if (!imported)
        message = import.error();
    return imported;
}

bool PlayoutAudio::ImportTransportFile(const QString& number, const QString& path, int options)
{
    CartImport import(*this, number, options);
    return import.begin() && import.unpackTransportFile(path) && import.commit();
}

std::optional<CartRecord> PlayoutAudio::exportableCart(const QString& number, const QString& path, bool overwrite,
                                                       QString* target, QString* error)
{
    auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const auto cart = GetCart(number);
    if (!cart || !cart->holdsAudio())
        return refuse(QStringLiteral("Cart %1 holds no audio").arg(number));
    // A link is written through, as a shell's '>' would, and the file it
    // leads to is the one checked: the rename never lands anywhere else.
    *target = FileTools::resolvedPath(path);
    if (QFileInfo(*target).isDir())
        return refuse(QStringLiteral("'%1' is a folder").arg(path));
    if (QString why; ownsFile(path, &why))
        return refuse(QStringLiteral("'%1' %2: export to another file").arg(path, why));
    if (QFileInfo::exists(*target) && !overwrite)
        return refuse(QStringLiteral("'%1' exists already").arg(path));
    return cart;
}

bool PlayoutAudio::ExportTransportFile(const QString& number, const QString& zipPath, bool overwrite, QString* error)
{
    QString target;
    const auto cart = exportableCart(number, zipPath, overwrite, &target, error);
    return cart && TransportZip::write(target, *cart, cart->AudioFile, overwrite, error);
}

QStringList PlayoutAudio::cartsWithoutLoudness()
{
    QStringList numbers;
    if (!m_database)
        return numbers;
    QSqlQuery& q = m_database->query(
        QStringLiteral("SELECT number FROM carts WHERE audio_length >= 0 AND loudness_measured = 0 ORDER BY number"));
    if (m_database->exec(q))
        while (q.next())
            numbers << QString::number(q.value(0).toLongLong());
    q.finish();
    return numbers;
}

bool PlayoutAudio::saveLoudness(const QString& number, const QString& audioFile, const LoudnessValues& loudness)
{
    return writeCart(number, [&](qint64 n) {
        QSqlQuery& q = m_database->query(
            QStringLiteral("UPDATE carts SET %1 WHERE number = ? AND audio_file = ?").arg(CartLoudnessColumns::assignments()));
        CartLoudnessColumns::bind(q, loudness);
        q.addBindValue(n);
        q.addBindValue(audioFile);
        return m_database->exec(q);
    });
}

QList<CartRecord> PlayoutAudio::cartsHoldingAudio(qint64 from, int limit)
{
    QList<CartRecord> records;
    if (!m_database)
        return records;
    QSqlQuery& q = m_database->query(
        QStringLiteral("SELECT %1 FROM carts WHERE number >= ? AND number <= ? AND audio_length >= 0 ORDER BY number LIMIT ?")
            .arg(recordColumns()));
    q.addBindValue(from);
    q.addBindValue(m_numbers.last());
    q.addBindValue(limit);
    if (m_database->exec(q)) {
        while (q.next()) {
            CartRecord record;
            readRecord(q, record);
            record.Number = CartNumbers::text(q.value(kNumberColumn).toLongLong());
            records.append(record);
        }
    } else {
        m_lastError = m_database->lastError();
    }
    q.finish();
    return records;
}
