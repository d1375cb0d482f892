#include "platform/musicbrainz/MusicBrainzClient.h"

#include "frame/WriteLog.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <discid/discid.h>

#include <memory>

namespace {

struct DiscIdDeleter {
    void operator()(DiscId* d) const { discid_free(d); }
};

constexpr int kRequestSpacingMs = 1000;
constexpr int kHttpNotFound = 404;
// A disc's releases take some kilobytes; a reply far beyond is not one.
constexpr qint64 kMaxReplyBytes = 8 * 1024 * 1024;

// "A & B feat. C": each credited name followed by its join phrase.
QString creditText(const QJsonArray& credits)
{
    QString text;
    for (const QJsonValue& credit : credits)
        text += credit[QLatin1String("name")].toString() + credit[QLatin1String("joinphrase")].toString();
    return text.trimmed();
}

// The medium that is this disc: the one listing its disc id, else the first.
QJsonObject mediumOf(const QJsonArray& media, const QString& discId)
{
    for (const QJsonValue& medium : media)
        for (const QJsonValue& disc : medium[QLatin1String("discs")].toArray())
            if (disc[QLatin1String("id")].toString() == discId)
                return medium.toObject();
    return media.first().toObject();
}

// Track names carry their artist, the release's when the track has none,
// so the proposed separator splits artist from title.
FreeDBDisc releaseRecord(const QJsonObject& release, const QString& discId)
{
    FreeDBDisc disc;
    disc.title = release[QLatin1String("title")].toString().trimmed();
    disc.artist = creditText(release[QLatin1String("artist-credit")].toArray());
    disc.year = release[QLatin1String("date")].toString().left(4);
    disc.country = release[QLatin1String("country")].toString();
    const QJsonArray tracks = mediumOf(release[QLatin1String("media")].toArray(), discId)[QLatin1String("tracks")].toArray();
    disc.trackCount = int(tracks.size());
    QList<QPair<QString, QString>> names;
    for (const QJsonValue& track : tracks) {
        const QString artist = creditText(track[QLatin1String("artist-credit")].toArray());
        names.append({artist.isEmpty() ? disc.artist : artist, track[QLatin1String("title")].toString().trimmed()});
        const QJsonArray isrcs = track[QLatin1String("recording")][QLatin1String("isrcs")].toArray();
        disc.isrcs << (isrcs.isEmpty() ? QString() : isrcs.first().toString());
    }
    disc.trackTitles = FreeDBDisc::trackNames(names);
    return disc;
}

// The releases of a web service reply about `discId` (the "discid" resource
// in JSON with recordings, artist credits and ISRCs).
DiscLookupResult parseReply(const QByteArray& json, const QString& discId)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return DiscLookupResult::failed(QStringLiteral("the reply is not JSON (%1)").arg(error.errorString()));
    const QJsonValue releases = document[QLatin1String("releases")];
    if (!releases.isArray())
        return DiscLookupResult::failed(QStringLiteral("the reply lists no releases"));
    DiscLookupResult result{DiscLookupResult::Outcome::Found, {}, {}};
    for (const QJsonValue& release : releases.toArray())
        if (!release[QLatin1String("media")].toArray().isEmpty())
            result.discs << releaseRecord(release.toObject(), discId);
    if (result.discs.isEmpty())
        result.outcome = DiscLookupResult::Outcome::NoMatch;
    return result;
}

// The service turns away clients that ask more than once a second.
void waitForTurn()
{
    static QElapsedTimer last;
    if (last.isValid() && last.elapsed() < kRequestSpacingMs) {
        QEventLoop pause;
        QTimer::singleShot(kRequestSpacingMs - int(last.elapsed()), &pause, &QEventLoop::quit);
        pause.exec(QEventLoop::ExcludeUserInputEvents);
    }
    last.start();
}

} // namespace

QString MusicBrainzClient::discId(QList<qint32> trackOffsets, qint32 leadOut, bool endsWithData)
{
    // An enhanced CD's audio session ends this many frames (the gap between
    // the sessions) before its data track starts.
    constexpr qint32 kSessionGap = 11400;
    if (endsWithData && trackOffsets.size() > 1)
        leadOut = trackOffsets.takeLast() - kSessionGap;
    if (trackOffsets.isEmpty() || trackOffsets.size() > 99)
        return {};
    int offsets[100] = {};
    offsets[0] = leadOut;
    for (qsizetype n = 0; n < trackOffsets.size(); ++n)
        offsets[n + 1] = trackOffsets.at(n);
    const std::unique_ptr<DiscId, DiscIdDeleter> disc(discid_new());
    if (!disc || !discid_put(disc.get(), 1, int(trackOffsets.size()), offsets))
        return {};
    return QString::fromLatin1(discid_get_id(disc.get()));
}

QString MusicBrainzClient::releaseLabel(const FreeDBDisc& release)
{
    QString label = release.artist.isEmpty() ? release.title : release.title + QStringLiteral(" - ") + release.artist;
    QStringList details;
    for (const QString& detail : {release.year, release.country})
        if (!detail.isEmpty())
            details << detail;
    if (!details.isEmpty())
        label += QStringLiteral(" (") + details.join(QStringLiteral(", ")) + QLatin1Char(')');
    return label;
}

DiscLookupResult MusicBrainzClient::lookup(const QList<qint32>& trackOffsets, qint32 leadOut, bool endsWithData) const
{
    const QString id = discId(trackOffsets, leadOut, endsWithData);
    if (id.isEmpty())
        return DiscLookupResult::failed(QStringLiteral("the disc's table of contents gives no disc id"));
    QUrl url(server.trimmed());
    if (!url.isValid() || url.host().isEmpty())
        return DiscLookupResult::failed(QStringLiteral("'%1' is not a server address").arg(server));
    url.setPath(url.path().chopped(url.path().endsWith(QLatin1Char('/')) ? 1 : 0) + QStringLiteral("/ws/2/discid/") + id);
    url.setQuery(QStringLiteral("inc=recordings+artist-credits+isrcs&fmt=json"));
    const DiscLookupResult result = ask(url, id);
    if (result.outcome == DiscLookupResult::Outcome::Failed)
        WriteLog(QStringLiteral("MusicBrainz: %1: %2 (disc %3)").arg(server, result.failure, id));
    return result;
}

DiscLookupResult MusicBrainzClient::ask(const QUrl& url, const QString& discId) const
{
    waitForTurn();
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setRawHeader("Accept", "application/json");
    request.setTransferTimeout(timeoutSeconds * 1000);
    const std::unique_ptr<QNetworkReply> reply(network.get(request));
    bool oversized = false;
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(), [&oversized, &reply](qint64 received, qint64) {
        if (received > kMaxReplyBytes && !oversized) {
            oversized = true;
            reply->abort();
        }
    });
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (oversized)
        return DiscLookupResult::failed(QStringLiteral("the reply is larger than %1 bytes").arg(kMaxReplyBytes));
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == kHttpNotFound)
        return {DiscLookupResult::Outcome::NoMatch, {}, {}};
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return DiscLookupResult::failed(QStringLiteral("no answer within %1 s").arg(timeoutSeconds));
    if (reply->error() != QNetworkReply::NoError)
        return DiscLookupResult::failed(reply->errorString());
    return parseReply(reply->readAll(), discId);
}
