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
// JSON as the service does: the releases holding the disc with their media,
// tracks, recordings, artist credits and ISRCs, or 404 for an unknown disc.
// A faulty one fails as broken servers and networks do.
class FakeMusicBrainzServer : public QObject
{
public:
    enum class Fault { None, Refuse, Silent, Malformed };

    struct Track {
        QString title;
        QString artist; // the release's when empty
        QString isrc;   // none when empty
    };
    struct Release {
        QString title;
        QString artist;
        QString date;
        QString country;
        QList<Track> tracks;
        // The medium the disc is: another medium comes before it when not 1.
        int mediumPosition = 1;
    };

    QString discId;           // the disc the server knows; any other is 404
    QList<qint32> offsets;    // its table of contents, as the service repeats it
    qint32 leadOut = 0;
    QList<Release> releases;

    QStringList requests;   // "GET <path>" of each request
    QStringList userAgents; // of each request

    FakeMusicBrainzServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        m_port = m_server.serverPort();
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                if (m_fault != Fault::Silent)
                    QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { heard(socket); });
            }
        });
    }

    void setFault(Fault fault)
    {
        m_fault = fault;
        if (fault == Fault::Refuse)
            m_server.close();
    }

    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
    void heard(QTcpSocket* socket)
    {
        m_request += socket->readAll();
        if (!m_request.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = m_request.split('\n');
        m_request.clear();
        const QString path = QString::fromUtf8(lines.first().split(' ').value(1));
        requests << QStringLiteral("GET ") + path;
        for (const QByteArray& line : lines)
            if (line.toLower().startsWith("user-agent:"))
                userAgents << QString::fromUtf8(line.mid(11)).trimmed();
        const QString asked = path.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('/'), -1);
        if (m_fault == Fault::Malformed)
            reply(socket, 200, "text/html", "<html><body>502 Bad Gateway</body></html>");
        else if (asked != discId)
            reply(socket, 404, "application/json",
                  R"({"error":"Not Found","help":"For usage, please see: https://musicbrainz.org/development/mmd"})");
        else
            reply(socket, 200, "application/json", QJsonDocument(discResource()).toJson(QJsonDocument::Compact));
    }

    static void reply(QTcpSocket* socket, int status, const QByteArray& type, const QByteArray& body)
    {
        socket->write(QStringLiteral("HTTP/1.1 %1 %2\r\nContent-Type: %3; charset=utf-8\r\nContent-Length: %4\r\n"
                                     "Connection: close\r\n\r\n")
                          .arg(status)
                          .arg(status == 200 ? "OK" : "Not Found")
                          .arg(QString::fromUtf8(type))
                          .arg(body.size())
                          .toUtf8() +
                      body);
        socket->disconnectFromHost();
    }

    static QString uuid() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

    static QJsonArray credit(const QString& name)
    {
        return {QJsonObject{{"name", name},
                            {"joinphrase", ""},
                            {"artist", QJsonObject{{"id", uuid()}, {"name", name}, {"sort-name", name},
                                                   {"disambiguation", ""}, {"type", "Group"}}}}};
    }

    QJsonObject discObject() const
    {
        QJsonArray list;
        for (qint32 offset : offsets)
            list.append(offset);
        return {{"id", discId}, {"sectors", leadOut}, {"offset-count", int(offsets.size())}, {"offsets", list}};
    }

    QJsonObject medium(const Release& release, int position, bool ours) const
    {
        QJsonArray tracks;
        const int count = ours ? int(release.tracks.size()) : 3;
        for (int n = 0; n < count; ++n) {
            const Track track = ours ? release.tracks.at(n) : Track{QStringLiteral("Other Disc %1").arg(n + 1), {}, {}};
            const QJsonArray artist = credit(track.artist.isEmpty() ? release.artist : track.artist);
            const QJsonArray isrcs = track.isrc.isEmpty() ? QJsonArray() : QJsonArray{track.isrc};
            tracks.append(QJsonObject{
                {"id", uuid()}, {"position", n + 1}, {"number", QString::number(n + 1)}, {"title", track.title},
                {"length", 1000}, {"artist-credit", artist},
                {"recording", QJsonObject{{"id", uuid()}, {"title", track.title}, {"length", 1000}, {"video", false},
                                          {"disambiguation", ""}, {"isrcs", isrcs}, {"artist-credit", artist}}}});
        }
        return {{"position", position},
                {"format", "CD"},
                {"title", ""},
                {"track-count", count},
                {"track-offset", 0},
                {"discs", ours ? QJsonArray{discObject()} : QJsonArray()},
                {"tracks", tracks}};
    }

    QJsonObject discResource() const
    {
        QJsonArray list;
        for (const Release& release : releases) {
            QJsonArray media;
            for (int position = 1; position <= release.mediumPosition; ++position)
                media.append(medium(release, position, position == release.mediumPosition));
            list.append(QJsonObject{
                {"id", uuid()}, {"title", release.title}, {"status", "Official"}, {"quality", "normal"},
                {"packaging", "Jewel Case"}, {"disambiguation", ""}, {"barcode", "5012345678900"},
                {"date", release.date}, {"country", release.country},
                {"text-representation", QJsonObject{{"language", "eng"}, {"script", "Latn"}}},
                {"artist-credit", credit(release.artist)}, {"media", media}});
        }
        QJsonObject resource = discObject();
        resource.insert("releases", list);
        return resource;
    }

    Fault m_fault = Fault::None;
    QTcpServer m_server;
    quint16 m_port = 0;
    QByteArray m_request;
};
