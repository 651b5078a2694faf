#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace tav::instance {

// One copy of the program per user session and program directory. The first copy listens on a
// local socket; a later copy connects, asks the first to come to the front and learns that it
// must end, before it touches any table. Two offices installed in two directories on one machine
// run side by side, and so do two users.
//
// A socket left behind by a copy that crashed is recognised (nobody answers on it) and replaced.
// Two copies started at the same instant are serialised with a lock file, so exactly one wins.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &programDir, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first copy: it now listens and will emit activationRequested() when
    // another copy starts. False when another copy runs; that copy has been asked to raise its
    // main window and this one should end. A failure to listen (for example an unwritable runtime
    // folder) still returns true so the program can work; errorString() then says why.
    // Blocks at most about `timeoutMs` milliseconds.
    bool claim(int timeoutMs = 3000);

    // The local socket's full path for `programDir` and the current user.
    static QString serverNameFor(const QString &programDir);
    const QString &serverName() const { return m_serverName; }
    const QString &errorString() const { return m_error; }

signals:
    // Another copy started and asks this one to bring its main window to the front.
    void activationRequested();

private:
    enum class Probe { NoOneListens, Answered, Unanswered };
    Probe askRunningCopy(int timeoutMs);
    bool listen();
    void onNewConnection();
    void onRequest(QLocalSocket *socket);

    QString m_serverName;
    QLocalServer *m_server = nullptr;
    QString m_error;
};

} // namespace tav::instance
