#pragma once
#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

#include <optional>

// A CDDB server on 127.0.0.1 that knows one disc, speaking just enough of the
// CDDB protocol (or of its HTTP form, cddb.cgi) for a query and a read. A
// silent one accepts connections and never says a word. A faulty one fails
// the query as broken servers and networks do.
class FakeCddbServer : public QObject
{
public:
    enum Protocol { Cddbp, Http, Silent };
    enum class Fault {
        None,
        Refuse,        // nothing listens any more: the connection is refused
        CloseMidReply, // the query's answer stops half-way and the connection closes
        Malformed,     // the query is answered with something that is not CDDB
    };

    // The disc's record; the table of contents is the one the client asked about.
    QString category = QStringLiteral("rock");
    QString artist;
    QString title;
    QString year;
    QString genre;
    QString notes;
    QStringList tracks;
    // How the disc is found: 0 no match, 1 the disc alone, more: first
    // inexact ones (under other ids), the disc last.
    int matches = 1;

    QStringList commands; // every command heard, in order
    int connections = 0;

    void setFault(Fault fault)
    {
        m_fault = fault;
        if (fault == Fault::Refuse)
            m_server.close(); // the port stays ours to name in the address
    }

    explicit FakeCddbServer(Protocol protocol) : m_protocol(protocol)
    {
        m_server.listen(QHostAddress::LocalHost);
        m_port = m_server.serverPort();
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++connections;
                socket->setParent(this);
                if (m_protocol == Silent)
                    continue;
                QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { heard(socket); });
                if (m_protocol == Cddbp)
                    socket->write("201 fake CDDBP server v1 ready\r\n");
            }
        });
    }

    QString address() const
    {
        const QString hostPort = QStringLiteral("127.0.0.1:%1").arg(m_port);
        return m_protocol == Http ? QStringLiteral("http://") + hostPort : hostPort;
    }

private:
    void heard(QTcpSocket* socket)
    {
        while (socket->canReadLine()) {
            const QString line = QString::fromUtf8(socket->readLine()).trimmed();
            if (m_protocol == Http) {
                if (line.startsWith(QLatin1String("GET "))) {
                    const QUrlQuery query(line.section(QLatin1Char(' '), 1, 1).section(QLatin1Char('?'), 1));
                    const auto item = [&query](const char* name) {
                        return query.queryItemValue(QLatin1String(name)).replace(QLatin1Char('+'), QLatin1Char(' '));
                    };
                    commands << QStringLiteral("cddb hello ") + item("hello");
                    m_httpCommand = item("cmd");
                } else if (line.isEmpty()) {
                    socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n");
                    socket->write(answer(m_httpCommand));
                    socket->disconnectFromHost();
                }
            } else if (line == QLatin1String("quit")) {
                socket->write("230 bye\r\n");
                socket->disconnectFromHost();
            } else {
                socket->write(answer(line));
                if (m_closeNow)
                    socket->disconnectFromHost();
            }
        }
    }

    QByteArray answer(const QString& command)
    {
        commands << command.simplified();
        const QStringList words = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (command.startsWith(QLatin1String("cddb hello")))
            return "200 hello and welcome\r\n";
        if (command.startsWith(QLatin1String("proto")))
            return "201 OK, protocol version now: 6\r\n";
        if (command.startsWith(QLatin1String("cddb query")) && words.size() > 4)
            return faultyAnswer().value_or(queryAnswer(words));
        if (command.startsWith(QLatin1String("cddb read")) && words.size() == 4)
            return readAnswer(words.at(2), words.at(3));
        return "500 unrecognized command\r\n";
    }

    std::optional<QByteArray> faultyAnswer()
    {
        switch (m_fault) {
        case Fault::CloseMidReply:
            m_closeNow = true;
            return QByteArray("211 close matches found\r\nmisc dead0001 Some");
        case Fault::Malformed:
            return QByteArray("<html><body>Service temporarily unavailable</body></html>\r\n");
        default:
            return std::nullopt;
        }
    }

    // "cddb query <id> <count> <offsets...> <seconds>"
    QByteArray queryAnswer(const QStringList& words)
    {
        m_discId = words.at(2);
        m_offsets = words.mid(4, words.at(3).toInt());
        m_seconds = words.last();
        const QString disc = QStringLiteral("%1 %2 %3 / %4").arg(category, m_discId, artist, title);
        if (matches == 0)
            return "202 no match found\r\n";
        if (matches == 1)
            return ("200 " + disc + "\r\n").toUtf8();
        QString list = QStringLiteral("211 close matches found\r\n");
        for (int n = 1; n < matches; ++n)
            list +=
                QStringLiteral("misc %1 Somebody / Else %2\r\n").arg(0xdead0000 + n, 8, 16, QLatin1Char('0')).arg(n);
        return (list + disc + "\r\n.\r\n").toUtf8();
    }

    QByteArray readAnswer(const QString& readCategory, const QString& discId)
    {
        if (readCategory != category || discId != m_discId)
            return "401 no such entry\r\n";
        QStringList lines = {QStringLiteral("210 %1 %2 entry follows").arg(category, discId), "# xmcd", "#",
                             "# Track frame offsets:"};
        for (const QString& offset : m_offsets)
            lines << "#\t" + offset;
        lines << "#"
              << "# Disc length: " + m_seconds + " seconds"
              << "#"
              << "# Revision: 1"
              << "#"
              << "DISCID=" + discId << "DTITLE=" + artist + " / " + title << "DYEAR=" + year << "DGENRE=" + genre;
        for (int n = 0; n < m_offsets.size(); ++n)
            lines << QStringLiteral("TTITLE%1=%2").arg(n).arg(tracks.value(n));
        lines << "EXTD=" + notes;
        for (int n = 0; n < m_offsets.size(); ++n)
            lines << QStringLiteral("EXTT%1=").arg(n);
        lines << "PLAYORDER="
              << ".";
        return (lines.join("\r\n") + "\r\n").toUtf8();
    }

    Protocol m_protocol;
    Fault m_fault = Fault::None;
    bool m_closeNow = false;
    quint16 m_port = 0;
    QTcpServer m_server;
    QString m_httpCommand;
    QString m_discId;
    QStringList m_offsets;
    QString m_seconds;
};
