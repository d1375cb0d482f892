#pragma once
#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

// An AccurateRip server on 127.0.0.1: answers a GET of a record it holds
// with the record, anything else with 404, as the public service does.
class FakeAccurateRipServer : public QObject
{
public:
    QHash<QString, QByteArray> records; // by path below address()
    QStringList requests;               // the paths asked for, in order

    FakeAccurateRipServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { heard(socket); });
            }
        });
    }

    QString address() const { return QStringLiteral("http://127.0.0.1:%1/accuraterip/").arg(m_server.serverPort()); }

private:
    void heard(QTcpSocket* socket)
    {
        while (socket->canReadLine()) {
            const QByteArray line = socket->readLine().trimmed();
            if (line.startsWith("GET "))
                m_path = QString::fromLatin1(line.split(' ').value(1)).mid(int(qstrlen("/accuraterip/")));
            else if (line.isEmpty())
                answer(socket);
        }
    }

    void answer(QTcpSocket* socket)
    {
        requests << m_path;
        const auto record = records.constFind(m_path);
        if (record == records.constEnd()) {
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n"
                          "Connection: close\r\n\r\nnot found");
        } else {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n");
            socket->write(QByteArray("Content-Length: ") + QByteArray::number(record->size()) + "\r\n\r\n" + *record);
        }
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QString m_path;
};
