#include "platform/freedb/FreeDBClient.h"

#include "frame/WriteLog.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <cddb/cddb.h>
#include <memory>
#include <mutex>

namespace {

constexpr quint16 kCddbpPort = 8880;
constexpr quint16 kHttpPort = 80;
const QString kHttpQueryPath = QStringLiteral("/~cddb/cddb.cgi");

struct ConnectionDeleter {
    void operator()(cddb_conn_t* c) const { cddb_destroy(c); }
};
struct DiscDeleter {
    void operator()(cddb_disc_t* d) const { cddb_disc_destroy(d); }
};
using Connection = std::unique_ptr<cddb_conn_t, ConnectionDeleter>;
using Disc = std::unique_ptr<cddb_disc_t, DiscDeleter>;

QString text(const char* value)
{
    return value ? QString::fromUtf8(value).trimmed() : QString();
}

// A disc holding only the table of contents, which is what the server is asked about.
Disc discFromToc(const QList<qint32>& trackOffsets, qint32 discSeconds)
{
    Disc disc(cddb_disc_new());
    if (!disc)
        return disc;
    for (qint32 offset : trackOffsets) {
        cddb_track_t* track = cddb_track_new();
        cddb_track_set_frame_offset(track, offset);
        cddb_disc_add_track(disc.get(), track);
    }
    cddb_disc_set_length(disc.get(), static_cast<unsigned>(discSeconds));
    cddb_disc_calc_discid(disc.get());
    return disc;
}

// The hello line is split at blanks, so a program title like "Import Audio"
// has to travel as one word.
QByteArray helloWord(const QString& text)
{
    return text.simplified().replace(QLatin1Char(' '), QLatin1Char('_')).toUtf8();
}

Connection connectionFor(const FreeDBClient& client, const FreeDBServerAddress& address)
{
    // The library would print its complaints on standard error from the
    // worker; its error code says the same and is logged by the caller.
    static std::once_flag quiet;
    std::call_once(quiet, [] { cddb_log_set_level(CDDB_LOG_NONE); });

    Connection c(cddb_new());
    if (!c)
        return c;
    // The library's on-disk cache would answer from whatever an earlier
    // lookup (or another program) left in the user's home, never asking the
    // configured server again; every lookup asks the server.
    cddb_cache_disable(c.get());
    cddb_set_charset(c.get(), "UTF-8");
    cddb_set_server_name(c.get(), address.host.toUtf8().constData());
    cddb_set_server_port(c.get(), address.port);
    // The library counts its time-out in whole seconds of the wall clock, so
    // one second can be over at once; the caller's own deadline is the exact one.
    cddb_set_timeout(c.get(), static_cast<unsigned>(client.timeoutSeconds) + 1);
    if (address.http) {
        cddb_http_enable(c.get());
        cddb_set_http_path_query(c.get(), address.path.toUtf8().constData());
    } else {
        cddb_http_disable(c.get());
    }
    cddb_set_email_address(c.get(), client.email.toUtf8().constData());
    cddb_set_client(c.get(), helloWord(client.clientName).constData(), helloWord(client.clientVersion).constData());
    return c;
}

// Servers list exact matches (same disc id) before or among inexact ones
// (a near table of contents); prefer the first exact one, else the first.
void chooseMatch(cddb_conn_t* c, cddb_disc_t* disc, int count, quint32 wanted)
{
    Disc first(cddb_disc_clone(disc));
    for (int n = 0; n < count; ++n) {
        if (n > 0 && !cddb_query_next(c, disc))
            break;
        if (cddb_disc_get_discid(disc) == wanted)
            return;
    }
    cddb_disc_copy(disc, first.get());
}

// A track title the server gave as "artist / title" comes back split; the
// titling options work on the whole text, so it is put back together.
QString trackTitle(cddb_track_t* track, const QString& discArtist)
{
    const QString title = text(cddb_track_get_title(track));
    const QString artist = text(cddb_track_get_artist(track)); // the disc's when the track has none
    return artist == discArtist ? title : FreeDBDisc::trackName(artist, title);
}

FreeDBDisc record(cddb_disc_t* disc)
{
    FreeDBDisc result;
    result.artist = text(cddb_disc_get_artist(disc));
    result.title = text(cddb_disc_get_title(disc));
    result.genre = text(cddb_disc_get_genre(disc));
    if (result.genre.isEmpty())
        result.genre = text(cddb_disc_get_category_str(disc));
    result.notes = text(cddb_disc_get_ext_data(disc));
    if (const unsigned year = cddb_disc_get_year(disc))
        result.year = QString::number(year);
    result.trackCount = cddb_disc_get_track_count(disc);
    for (cddb_track_t* track = cddb_disc_get_track_first(disc); track; track = cddb_disc_get_track_next(disc))
        result.trackTitles << trackTitle(track, result.artist);
    return result;
}

// The library's own words for what went wrong ("unexpected end-of-file
// encountered", "invalid response data", ...), with the disc asked about.
QString failureText(cddb_conn_t* c, quint32 discId)
{
    const cddb_error_t error = cddb_errno(c);
    const QString why = error == CDDB_ERR_CONNECT ? QStringLiteral("cannot connect (refused or unreachable)")
                                                  : QString::fromUtf8(cddb_error_str(error));
    return QStringLiteral("%1 (disc %2)").arg(why).arg(discId, 8, 16, QLatin1Char('0'));
}

DiscLookupResult queryServer(const FreeDBClient& client, const FreeDBServerAddress& address,
                             const QList<qint32>& trackOffsets, qint32 discSeconds)
{
    Connection c = connectionFor(client, address);
    Disc disc = discFromToc(trackOffsets, discSeconds);
    if (!c || !disc)
        return DiscLookupResult::failed(QStringLiteral("out of memory"));
    const quint32 wanted = cddb_disc_get_discid(disc.get());
    // 0 is the server's "no match"; below 0 the server could not be asked
    // or did not answer as a server does.
    const int count = cddb_query(c.get(), disc.get());
    if (count == 0)
        return {DiscLookupResult::Outcome::NoMatch, {}, {}};
    if (count < 0)
        return DiscLookupResult::failed(failureText(c.get(), wanted));
    chooseMatch(c.get(), disc.get(), count, wanted);
    if (!cddb_read(c.get(), disc.get()))
        return DiscLookupResult::failed(failureText(c.get(), wanted));
    return {DiscLookupResult::Outcome::Found, {record(disc.get())}, {}};
}

} // namespace

std::optional<FreeDBServerAddress> FreeDBServerAddress::parse(const QString& text)
{
    FreeDBServerAddress address;
    QString rest = text.trimmed();
    address.http = rest.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive);
    if (address.http)
        rest = rest.mid(7);
    const qsizetype slash = address.http ? rest.indexOf(QLatin1Char('/')) : -1;
    address.path = slash >= 0 ? rest.mid(slash) : kHttpQueryPath;
    if (slash >= 0)
        rest.truncate(slash);
    const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
    address.host = colon >= 0 ? rest.left(colon) : rest;
    address.port = address.http ? kHttpPort : kCddbpPort;
    if (colon >= 0) {
        bool ok = false;
        const uint port = rest.mid(colon + 1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        address.port = static_cast<quint16>(port);
    }
    if (address.host.isEmpty() || address.host.contains(QLatin1Char(' ')))
        return std::nullopt;
    return address;
}

quint32 FreeDBClient::discId(const QList<qint32>& trackOffsets, qint32 discSeconds)
{
    return cddb_disc_get_discid(discFromToc(trackOffsets, discSeconds).get());
}

DiscLookupResult FreeDBClient::lookup(const QList<qint32>& trackOffsets, qint32 discSeconds) const
{
    const std::optional<FreeDBServerAddress> address = FreeDBServerAddress::parse(server);
    if (!address)
        return DiscLookupResult::failed(QStringLiteral("'%1' is not a server address").arg(server));
    if (trackOffsets.isEmpty())
        return DiscLookupResult::failed(QStringLiteral("the disc has no tracks"));

    // The worker owns copies of everything it touches: when the server is
    // too slow we stop waiting, and the worker finishes on its own once the
    // library's own time-out ends its read.
    QFuture<DiscLookupResult> future =
        QtConcurrent::run([client = *this, address = *address, trackOffsets, discSeconds] {
            return queryServer(client, address, trackOffsets, discSeconds);
        });
    QFutureWatcher<DiscLookupResult> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutSeconds * 1000, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    const DiscLookupResult result =
        future.isFinished() ? future.result()
                            : DiscLookupResult::failed(QStringLiteral("no answer within %1 s").arg(timeoutSeconds));
    if (result.outcome == DiscLookupResult::Outcome::Failed)
        WriteLog(QStringLiteral("CDDB: ") + server + QStringLiteral(": ") + result.failure);
    return result;
}
