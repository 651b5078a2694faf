#pragma once

// A TCP relay on 127.0.0.1 in front of a real server that can be told to stop answering: from then on it
// keeps every connection open (old and new) and passes nothing either way, as a server that hung would.
// It runs on the thread that created it (the tests' user-interface thread, which keeps processing events
// while the mail client waits).

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>

namespace tav::test {

class StallingProxy : public QObject
{
    Q_OBJECT

public:
    explicit StallingProxy(quint16 targetPort, QObject *parent = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    // Stops relaying for good.
    void stall() { m_stalled = true; }
    bool stalled() const { return m_stalled; }
    // Looked at for every block the client sends before it is relayed: true stalls the relay (the block is
    // not passed on). The connection number counts from 1.
    std::function<bool(int connection, const QByteArray &fromClient)> stallWhen;
    int connections() const { return m_connections; }

private:
    void accept();

    QTcpServer m_server;
    quint16 m_target;
    bool m_stalled = false;
    int m_connections = 0;
};

} // namespace tav::test
