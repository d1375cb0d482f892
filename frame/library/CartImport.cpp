#include "frame/library/CartImport.h"

#include "frame/AppPaths.h"
#include "frame/library/CartAudioNames.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/CartFingerprints.h"
#include "frame/library/CartLoudnessColumns.h"
#include "frame/library/CartReservations.h"
#include "frame/library/IncomingAudioFile.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/StoreFaults.h"
#include "frame/library/TransportZip.h"
#include "frame/library/WaveFileInfo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <cmath>

namespace {
// The columns an import writes, in the order recordAudio() binds them.
QStringList recordedColumns()
{
    return QStringList{QStringLiteral("audio_length"), QStringLiteral("length"), QStringLiteral("audio_file"), QStringLiteral("linked"),
                       QStringLiteral("intro_start"), QStringLiteral("intro_end"), QStringLiteral("extro"), QStringLiteral("title"),
                       QStringLiteral("artist"), QStringLiteral("description"), QStringLiteral("isrc"), QStringLiteral("mcn")}
        + CartLoudnessColumns::columns() + CartMetadata::columns()
        + QStringList{QStringLiteral("audio_revision"), QStringLiteral("modified_at"), QStringLiteral("modified_by")};
}

QString updateStatement()
{
    return QStringLiteral("UPDATE carts SET %1 = ? WHERE number = ? AND audio_revision = ?")
        .arg(recordedColumns().join(QStringLiteral(" = ?, ")));
}

QString insertStatement()
{
    const QStringList columns = recordedColumns() << QStringLiteral("number");
    return QStringLiteral("INSERT INTO carts (%1) VALUES (?%2) ON CONFLICT (number) DO NOTHING")
        .arg(columns.join(QStringLiteral(", ")), QStringLiteral(", ?").repeated(columns.size() - 1));
}

QString faultText(const char* step)
{
    return QStringLiteral("Stopped at the '%1' step by ORVANE_STORE_FAULT").arg(QLatin1String(step));
}
} // namespace

CartImport::CartImport(PlayoutAudio& audio, const QString& number, int options)
    : m_audio(audio), m_numberText(number), m_options(options)
{
}

// The cart's reservation ends with the import, whichever way: filled, the
// cart is not free; failed, another importer may have it.
CartImport::~CartImport()
{
    if (m_audio.m_reservations)
        m_audio.m_reservations->release(m_number);
}

bool CartImport::fail(const QString& why)
{
    m_error = why;
    m_audio.m_lastError = why;
    return false;
}

bool CartImport::begin()
{
    m_audio.m_lastError.clear();
    m_audio.m_lastNote.clear();
    const auto n = m_audio.m_numbers.parse(m_numberText);
    if (!n)
        return fail(QStringLiteral("'%1' is not a cart number of this Cartvault").arg(m_numberText));
    m_number = *n;
    CartDatabase* database = m_audio.m_database.get();
    if (!database || database->isReadOnly())
        return fail(database ? database->readOnlyMessage() : QStringLiteral("The Cartvault is not open"));
    if (!readCart())
        return false;
    if ((m_options & PlayoutAudio::kOnlyIntoEmptyCart) && m_before.holdsAudio)
        return fail(QStringLiteral("Cart %1 holds audio already").arg(m_number));
    m_incoming = std::make_unique<IncomingAudioFile>(m_audio.names(), m_number, m_before.revision + 1);
    QString why;
    if (!m_incoming->open(&why))
        return fail(why);
    return true;
}

// The cart as it stands, and the fields the new audio starts from.
bool CartImport::readCart()
{
    CartDatabase& database = *m_audio.m_database;
    QSqlQuery& q = database.query(
        QStringLiteral("SELECT audio_revision, audio_length, audio_file, linked FROM carts WHERE number = ?"));
    q.addBindValue(m_number);
    if (!database.exec(q))
        return fail(database.lastError());
    m_before.rowExists = q.next();
    if (m_before.rowExists) {
        m_before.revision = q.value(0).toLongLong();
        m_before.holdsAudio = q.value(1).toDouble() >= 0;
        m_before.audioFile = q.value(2).toString();
        m_before.linked = q.value(3).toInt() != 0;
    }
    q.finish();
    const auto cart = m_audio.GetCart(m_numberText);
    if (!cart)
        return fail(m_audio.lastError().isEmpty() ? QStringLiteral("Cart %1 cannot be read").arg(m_number) : m_audio.lastError());
    m_record = *cart;
    return true;
}

QString CartImport::incomingPath() const { return m_incoming ? m_incoming->temporaryPath() : QString(); }

QString CartImport::scratchFile()
{
    auto scratch = std::make_unique<IncomingAudioFile>(m_audio.names(), m_number, m_before.revision + 1);
    QString why;
    if (!scratch->open(&why)) {
        fail(why);
        return {};
    }
    m_scratch.push_back(std::move(scratch));
    return m_scratch.back()->temporaryPath();
}

bool CartImport::noteSource(const QString& path)
{
    m_sourcePath = path;
    m_source = SourceIdentity::of(path);
    return m_source || fail(QStringLiteral("Cannot read '%1'").arg(path));
}

bool CartImport::copyFrom(const QString& path)
{
    QString why;
    if (!WaveFileInfo::readFile(path, &why))
        return fail(why);
    if (!noteSource(path))
        return false;
    return m_incoming->copyFrom(path, &why) || fail(why);
}

bool CartImport::linkTo(const QString& path)
{
    QString why;
    const auto wave = WaveFileInfo::readFile(path, &why);
    if (!wave)
        return fail(why);
    if (m_audio.ownsFile(path))
        return copyFrom(path); // the store removes its own files when they are replaced
    if (!m_audio.m_store.AllowLinking)
        return fail(QStringLiteral("This Cartvault does not allow linking to audio files"));
    m_linkedFile = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    m_seconds = wave->seconds();
    return true;
}

bool CartImport::unpackTransportFile(const QString& path)
{
    if (!noteSource(path))
        return false;
    CartRecord fields;
    QString why;
    const TransportZip::AudioSink toIncoming = [this](const char* data, qint64 size, QString* error) {
        return m_incoming->write(data, size, error);
    };
    if (!TransportZip::read(path, fields, toIncoming, &why))
        return fail(why);
    if (!finishAudio())
        return false;
    m_record.Title = fields.Title;
    m_record.setArtist(fields.Artist(1));
    m_record.setDescription(fields.Description(1));
    m_record.IntroStart = fields.IntroStart;
    m_record.IntroEnd = fields.IntroEnd;
    m_record.Extro = fields.Extro;
    m_record.Isrc = fields.Isrc;
    m_record.Mcn = fields.Mcn;
    m_record.Loudness = fields.Loudness;
    m_record.Metadata = fields.Metadata;
    dropMisplacedTimingPoints();
    return true;
}

void CartImport::keepFingerprint(double seconds, const QByteArray& fingerprint)
{
    alsoCommit([this, seconds, fingerprint] { return CartFingerprints(m_audio.m_database).save({m_number, seconds, fingerprint}); });
}

bool CartImport::finishAudio()
{
    QString why;
    if (m_linkedFile.isEmpty()) {
        if (StoreFaults::at("copied"))
            return fail(faultText("copied"));
        if (m_source && SourceIdentity::of(m_sourcePath) != m_source)
            return fail(SourceIdentity::changedText(m_sourcePath));
        // What was written counts, whatever the source's header said.
        const auto wave = WaveFileInfo::readFile(m_incoming->temporaryPath(), &why);
        if (!wave)
            return fail(m_sourcePath.isEmpty() ? why : QStringLiteral("'%1' holds no audio the Cartvault can take").arg(m_sourcePath));
        m_seconds = wave->seconds();
    }
    m_record.AudioLength = static_cast<float>(m_seconds);
    m_record.Length = static_cast<float>(m_seconds);
    // New audio brings new timing points: the old ones belonged to the old
    // audio. Until someone marks it, the extro is where the audio ends.
    m_record.IntroStart = 0;
    m_record.IntroEnd = 0;
    m_record.Extro = static_cast<float>(m_seconds);
    m_record.Isrc.clear(); // the old recording's codes, likewise
    m_record.Mcn.clear();
    m_record.Loudness.reset(); // until the new audio is measured
    m_record.Metadata = {};
    m_audioFinished = true;
    return true;
}

// Timing points must lie in the audio and in order: 0 <= intro start <=
// intro end <= extro <= length, an intro end or extro of 0 meaning none.
void CartImport::dropMisplacedTimingPoints()
{
    QStringList dropped;
    const double length = m_seconds;
    auto check = [&](float& point, const char* name, double low) {
        if (!std::isfinite(point) || point < low || point > length) {
            dropped << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(point);
            point = 0;
        }
    };
    check(m_record.IntroStart, "intro start", 0);
    check(m_record.IntroEnd, "intro end", m_record.IntroEnd == 0 ? 0 : m_record.IntroStart);
    check(m_record.Extro, "extro", m_record.Extro == 0 ? 0 : m_record.IntroEnd);
    if (m_record.Extro == 0)
        m_record.Extro = static_cast<float>(length);
    if (!dropped.isEmpty())
        m_audio.m_lastNote = QStringLiteral("Timing points outside the audio (%1 s) were left out: %2")
                                 .arg(length)
                                 .arg(dropped.join(QStringLiteral(", ")));
}

QString CartImport::audioFile() const { return m_linkedFile.isEmpty() ? m_incoming->finalPath() : m_linkedFile; }

// The cart's old file, to be removed once the new record is committed.
QString CartImport::retiring() const
{
    const QString now = audioFile();
    return m_before.linked || m_before.audioFile.isEmpty() || m_before.audioFile == now ? QString() : m_before.audioFile;
}

bool CartImport::recordAudio(QString& why)
{
    CartDatabase& database = *m_audio.m_database;
    QSqlQuery& q = database.query(m_before.rowExists ? updateStatement() : insertStatement());
    q.addBindValue(m_seconds);
    q.addBindValue(m_seconds);
    q.addBindValue(CartDatabase::text(audioFile()));
    q.addBindValue(m_linkedFile.isEmpty() ? 0 : 1);
    q.addBindValue(static_cast<double>(m_record.IntroStart));
    q.addBindValue(static_cast<double>(m_record.IntroEnd));
    q.addBindValue(static_cast<double>(m_record.Extro));
    q.addBindValue(CartDatabase::text(m_record.Title));
    q.addBindValue(CartDatabase::text(m_record.Artist(1)));
    q.addBindValue(CartDatabase::text(m_record.Description(1)));
    q.addBindValue(CartDatabase::text(CartRecord::isrcFrom(m_record.Isrc)));
    q.addBindValue(CartDatabase::text(CartRecord::mcnFrom(m_record.Mcn)));
    CartLoudnessColumns::bind(q, m_record.Loudness);
    for (const QVariant& value : m_record.Metadata.values())
        q.addBindValue(value);
    q.addBindValue(m_before.revision + 1);
    q.addBindValue(CartDatabase::text(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)));
    q.addBindValue(CartDatabase::text(AppPaths::systemUserName()));
    q.addBindValue(m_number);
    if (m_before.rowExists)
        q.addBindValue(m_before.revision);
    if (!database.exec(q)) {
        why = QStringLiteral("Cannot record the audio of cart %1: %2").arg(m_number).arg(database.lastError());
        return false;
    }
    if (q.numRowsAffected() != 1) {
        why = QStringLiteral("Cart %1 was changed by another workstation meanwhile").arg(m_number);
        return false;
    }
    return true;
}

// Inside the import's transaction: the old file is noted for removal, so that
// it is removed even if this process dies right after the commit.
bool CartImport::retireLater()
{
    const QString old = retiring();
    if (old.isEmpty() || !m_audio.names().contains(old))
        return true;
    CartDatabase& database = *m_audio.m_database;
    QSqlQuery& q = database.query(
        QStringLiteral("INSERT INTO retired_audio (path, cart) VALUES (?, ?) ON CONFLICT (path) DO NOTHING"));
    q.addBindValue(old);
    q.addBindValue(m_number);
    return database.exec(q);
}

void CartImport::removeRetired()
{
    const QString old = retiring();
    if (old.isEmpty() || !m_audio.names().contains(old) || StoreFaults::at("committed"))
        return;
    QFile::remove(old);
    if (StoreFaults::at("retired"))
        return;
    CartDatabase& database = *m_audio.m_database;
    database.write([&] {
        QSqlQuery& q = database.query(QStringLiteral("DELETE FROM retired_audio WHERE path = ?"));
        q.addBindValue(old);
        return database.exec(q);
    });
}

bool CartImport::recordInTransaction(QString& why)
{
    CartDatabase& database = *m_audio.m_database;
    if (!database.allows(CartDatabase::Right::CartWrite) || !database.lockCart(m_number))
        return false;
    // The old audio's fingerprint goes with it; work below may store the new one.
    if (!recordAudio(why) || !CartFingerprints(m_audio.m_database).forget(m_number))
        return false;
    if (m_linkedFile.isEmpty() && !m_incoming->publish(&why))
        return false;
    if (StoreFaults::at("linked")) {
        why = faultText("linked");
        return false;
    }
    if (!retireLater())
        return false;
    for (const auto& work : m_alsoCommit)
        if (!work())
            return false;
    return true;
}

// The server went away before the commit was confirmed. On a new connection
// (to the standby that took over, say) the cart shows whether it went
// through; if not, the revision check makes running it once more safe.
bool CartImport::commitAfterLostConnection(QString& why)
{
    CartDatabase& database = *m_audio.m_database;
    why.clear();
    if (!database.reconnect())
        return false;
    return isRecorded() || database.write([&] { return recordInTransaction(why); });
}

// This import's revision, naming this import's audio, is the cart's.
bool CartImport::isRecorded()
{
    CartDatabase& database = *m_audio.m_database;
    QSqlQuery& q = database.query(QStringLiteral("SELECT audio_revision, audio_file FROM carts WHERE number = ?"));
    q.addBindValue(m_number);
    const bool recorded = database.exec(q) && q.next() && q.value(0).toLongLong() == m_before.revision + 1
        && q.value(1).toString() == audioFile();
    q.finish();
    return recorded;
}

bool CartImport::commit()
{
    if (!m_audioFinished && !finishAudio())
        return false;
    QString why;
    // On disk before the cart names it, with whatever was written after the
    // audio (the loudness in its bext chunk).
    if (m_linkedFile.isEmpty() && !m_incoming->sync(&why))
        return fail(why);
    CartDatabase& database = *m_audio.m_database;
    bool committed = database.write([&] { return recordInTransaction(why); });
    if (!committed && database.connectionLost())
        committed = commitAfterLostConnection(why);
    if (!committed) {
        // Whether the server took the commit cannot be told: the audio is
        // left as a killed import leaves it, for the store's next opening to
        // keep or remove as the record says.
        if (database.connectionLost())
            m_incoming->leaveUndecided();
        return fail(why.isEmpty() ? database.lastError() : why);
    }
    if (m_linkedFile.isEmpty())
        m_incoming->keep();
    // A failure from here on leaves only an old file, which the next opening removes.
    removeRetired();
    return true;
}
