#include "e2e/mail/StallingProxy.h"

namespace tav::test {

StallingProxy::StallingProxy(quint16 targetPort, QObject *parent) : QObject(parent), m_target(targetPort)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &StallingProxy::accept);
}

void StallingProxy::accept()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        client->setParent(this);
        const int number = ++m_connections;
        auto *upstream = new QTcpSocket(client);
        auto pending = std::make_shared<QByteArray>();
        connect(client, &QTcpSocket::readyRead, this, [this, client, upstream, pending, number] {
            const QByteArray block = client->readAll();
            if (!m_stalled && stallWhen && stallWhen(number, block))
                m_stalled = true;
            if (m_stalled)
                return;
            if (upstream->state() == QAbstractSocket::ConnectedState)
                upstream->write(block);
            else
                pending->append(block);
        });
        connect(upstream, &QTcpSocket::connected, this, [upstream, pending] {
            upstream->write(*pending);
            pending->clear();
        });
        connect(upstream, &QTcpSocket::readyRead, this, [this, client, upstream] {
            const QByteArray block = upstream->readAll();
            if (!m_stalled)
                client->write(block);
        });
        connect(upstream, &QTcpSocket::disconnected, client, [this, client] {
            if (!m_stalled)
                client->disconnectFromHost();
        });
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        if (!m_stalled)
            upstream->connectToHost(QHostAddress::LocalHost, m_target);
    }
}

} // namespace tav::test
