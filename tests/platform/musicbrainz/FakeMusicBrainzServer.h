#pragma once
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUuid>

// The MusicBrainz web service on 127.0.0.1, answering "discid" lookups in
// JSON as the service does (releases with media, tracks, recordings, artist
// credits and ISRCs; 404 for an unknown disc), or failing as broken servers
// and networks do.
class FakeMusicBrainzServer : public QObject
{
public:
    enum class Fault { None, Refuse, Silent, Malformed };
    struct Track {
        QString title;
        QString artist; // the release's when empty
        QString isrc;
    };
    struct Release {
        QString title, artist, date, country;
        QList<Track> tracks;
        int mediumPosition = 1; // other discs of the set come before this one
    };

    QString discId; // the disc the server knows
    QList<Release> releases;
    QStringList requests;   // "GET <path>" of each request
    QStringList userAgents; // of each request

    FakeMusicBrainzServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        m_port = m_server.serverPort();
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                if (m_fault != Fault::Silent)
                    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { heard(socket); });
            }
        });
    }
    void setFault(Fault fault)
    {
        if ((m_fault = fault) == Fault::Refuse)
            m_server.close();
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
    void heard(QTcpSocket* socket)
    {
        if (!(m_request += socket->readAll()).contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = std::exchange(m_request, {}).split('\n');
        const QString path = QString::fromUtf8(lines.first().split(' ').value(1));
        requests << "GET " + path;
        for (const QByteArray& line : lines)
            if (line.toLower().startsWith("user-agent:"))
                userAgents << QString::fromUtf8(line.mid(11)).trimmed();
        if (m_fault == Fault::Malformed)
            reply(socket, "200 OK", "text/html", "<html><body>502 Bad Gateway</body></html>");
        else if (path.section('?', 0, 0).section('/', -1) != discId)
            reply(socket, "404 Not Found", "application/json",
                  R"({"error":"Not Found","help":"For usage, please see: https://musicbrainz.org/development/mmd"})");
        else
            reply(socket, "200 OK", "application/json", QJsonDocument(discResource()).toJson(QJsonDocument::Compact));
    }
    static void reply(QTcpSocket* socket, const char* status, const char* type, const QByteArray& body)
    {
        socket->write(QStringLiteral("HTTP/1.1 %1\r\nContent-Type: %2; charset=utf-8\r\nContent-Length: %3\r\n"
                                     "Connection: close\r\n\r\n")
                          .arg(status, type)
                          .arg(body.size())
                          .toUtf8() +
                      body);
        socket->disconnectFromHost();
    }

    static QString uuid() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }
    static QJsonArray credit(const QString& name)
    {
        const QJsonObject artist{{"id", uuid()}, {"name", name}, {"sort-name", name}, {"disambiguation", ""}};
        return {QJsonObject{{"name", name}, {"joinphrase", ""}, {"artist", artist}}};
    }
    QJsonObject medium(const Release& release, int position) const
    {
        const bool ours = position == release.mediumPosition;
        QJsonArray tracks;
        for (qsizetype n = 0; n < release.tracks.size(); ++n) {
            const Track track = ours ? release.tracks.at(n) : Track{QStringLiteral("Other Disc %1").arg(n + 1), {}, {}};
            const QJsonArray artist = credit(track.artist.isEmpty() ? release.artist : track.artist);
            const QJsonObject recording{{"id", uuid()},     {"title", track.title},
                                        {"length", 1000},   {"video", false},
                                        {"isrcs", track.isrc.isEmpty() ? QJsonArray() : QJsonArray{track.isrc}},
                                        {"artist-credit", artist}};
            tracks.append(QJsonObject{{"id", uuid()}, {"position", n + 1}, {"number", QString::number(n + 1)},
                                      {"title", track.title}, {"length", 1000}, {"artist-credit", artist},
                                      {"recording", recording}});
        }
        const QJsonArray discs = ours ? QJsonArray{QJsonObject{{"id", discId}, {"offset-count", tracks.size()}}} : QJsonArray();
        return {{"position", position}, {"format", "CD"}, {"title", ""}, {"track-count", tracks.size()},
                {"track-offset", 0}, {"discs", discs}, {"tracks", tracks}};
    }
    QJsonObject discResource() const
    {
        QJsonArray list;
        for (const Release& release : releases) {
            QJsonArray media;
            for (int position = 1; position <= release.mediumPosition; ++position)
                media.append(medium(release, position));
            list.append(QJsonObject{{"id", uuid()}, {"title", release.title}, {"status", "Official"},
                                    {"date", release.date}, {"country", release.country}, {"barcode", "5012345678900"},
                                    {"artist-credit", credit(release.artist)}, {"media", media}});
        }
        return {{"id", discId}, {"releases", list}};
    }

    Fault m_fault = Fault::None;
    QTcpServer m_server;
    quint16 m_port = 0;
    QByteArray m_request;
};
