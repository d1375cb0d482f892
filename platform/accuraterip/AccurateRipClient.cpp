#include "AccurateRipClient.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
// A record holds a few hundred bytes per pressing; anything far larger is
// not one, and is not read into memory.
constexpr qint64 kMaxRecordBytes = 1 << 20;
} // namespace

AccurateRipClient::Answer AccurateRipClient::fetch(const AccurateRipDisc& disc) const
{
    Answer answer;
    auto fail = [&](const QString& why) {
        answer.kind = Answer::Failed;
        answer.error = QStringLiteral("The AccurateRip server %1 could not be used: %2").arg(server, why);
        return answer;
    };
    const QUrl url(disc.recordUrl(server));
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return fail(QStringLiteral("not an http:// address"));

    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutSeconds * 1000);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = network.get(request);
    bool tooLarge = false;
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64) {
        if (received > kMaxRecordBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    if (!reply->isFinished())
        wait.exec(QEventLoop::ExcludeUserInputEvents);

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404) {
        answer.kind = Answer::Absent;
        return answer;
    }
    if (tooLarge)
        return fail(QStringLiteral("its reply is larger than any record"));
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return fail(QStringLiteral("it did not answer within %1 seconds").arg(timeoutSeconds));
    if (reply->error() != QNetworkReply::NoError)
        return fail(reply->errorString());
    if (status != 200)
        return fail(QStringLiteral("it answered HTTP %1").arg(status));
    answer.record = AccurateRipRecord::parse(reply->readAll(), disc);
    if (!answer.record.isValid())
        return fail(answer.record.error());
    answer.kind = Answer::Found;
    return answer;
}
