#include "platform/instance/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <algorithm>

#include <unistd.h>

namespace tav::instance {

namespace {

const QByteArray kActivate = "activate\n";
const QByteArray kAcknowledge = "ok\n";

QString socketFolder()
{
    // The runtime folder is private to the user (mode 0700); the temporary folder is the fallback,
    // where the user id in the hashed name still keeps users apart.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

} // namespace

SingleInstance::SingleInstance(const QString &programDir, QObject *parent)
    : QObject(parent), m_serverName(serverNameFor(programDir))
{}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close(); // removes the socket file
}

QString SingleInstance::serverNameFor(const QString &programDir)
{
    const QFileInfo info(programDir);
    const QString canonical = info.canonicalFilePath();
    const QString dir = canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray::number(static_cast<qulonglong>(::geteuid())));
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(dir.toUtf8());
    // Short enough for the 108-byte limit of a socket path.
    return socketFolder() + QStringLiteral("/tavregional-") + QString::fromLatin1(hash.result().toHex().left(24));
}

bool SingleInstance::claim(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLockFile lock(m_serverName + QStringLiteral(".lock"));
    // Held only while we look for a running copy and start listening. A lock left by a crashed
    // copy is found stale by its process id and taken over.
    const bool locked = lock.tryLock(static_cast<int>(deadline.remainingTime() / 2));

    switch (askRunningCopy(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 100)))) {
    case Probe::Answered:
    case Probe::Unanswered: // it runs but hangs: still, this copy must not start
        return false;
    case Probe::NoOneListens:
        break;
    }
    if (!locked)
        m_error = QStringLiteral("No se pudo tomar el bloqueo de instancia única: ") + lock.fileName();
    listen();
    return true;
}

SingleInstance::Probe SingleInstance::askRunningCopy(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return Probe::NoOneListens; // no socket, or a stale one nobody accepts on
    socket.write(kActivate);
    socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    QByteArray reply;
    while (!reply.endsWith('\n') && socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
        reply += socket.readAll();
    return reply == kAcknowledge ? Probe::Answered : Probe::Unanswered;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    if (m_server->listen(m_serverName))
        return true;
    if (m_server->serverError() == QAbstractSocket::AddressInUseError) {
        // Nobody answered on it, and we hold the lock: a socket left by a crashed copy.
        QLocalServer::removeServer(m_serverName);
        if (m_server->listen(m_serverName))
            return true;
    }
    m_error = QStringLiteral("No se pudo crear el canal de instancia única: ") + m_server->errorString();
    return false;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onRequest(socket); });
        if (socket->bytesAvailable() > 0)
            onRequest(socket);
    }
}

void SingleInstance::onRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > 256) // not one of ours
            socket->abort();
        return;
    }
    const QByteArray request = socket->readLine(256);
    if (request != kActivate) {
        socket->abort();
        return;
    }
    socket->write(kAcknowledge);
    socket->flush();
    emit activationRequested();
}

} // namespace tav::instance
