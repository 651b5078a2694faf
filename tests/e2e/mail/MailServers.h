#pragma once

// Real mail servers on 127.0.0.1 for the tests: dovecot (POP3) with one account whose Maildir also receives
// what aiosmtpd (SMTP) accepts. Both are started on free ports and stopped by this object.

#include "support/TestDir.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace tav::exchange {
class TdmMail;
}

namespace tav::test {

class MailServers
{
public:
    MailServers();
    ~MailServers();
    MailServers(const MailServers &) = delete;
    MailServers &operator=(const MailServers &) = delete;

    // Mail for this address is kept apart from the account's mailbox (call before start()); see apartFiles().
    void keepApart(const QString &address) { m_apart = address; }
    QStringList apartFiles() const;

    // Starts both servers; false (with the reason in error()) when one did not come up within ten seconds.
    // With a certificate and key both speak TLS the way a careful provider sets them up: POP3 offers STARTTLS
    // on its port and implicit TLS on pop3sPort(), and refuses a login in clear; SMTP requires STARTTLS and
    // then authentication with the account's user and password.
    bool start(const QString &certFile = {}, const QString &keyFile = {});
    void stop();

    int pop3Port() const { return m_pop3Port; }
    int smtpPort() const { return m_smtpPort; }
    int pop3sPort() const { return m_pop3sPort; }
    static QString user() { return QStringLiteral("test"); }
    static QString password() { return QStringLiteral("secret"); }
    const QString &error() const { return m_error; }

    // Points an office's mail account at these servers: the test account, the office's own address
    // "regional7@oficina.example", forwarding to "soporte@oficina.example", and a five-second bound on waits.
    void configure(exchange::TdmMail &account) const;

    // The messages delivered so far (raw), oldest first.
    QStringList deliveredFiles() const;
    // Puts a raw message in the mailbox, as if it had arrived.
    void deliver(const QByteArray &raw) const;

    static int freePort();

private:
    QString path(const QString &name) const;

    TestDir m_dir;
    QProcess m_dovecot;
    QProcess m_smtp;
    int m_pop3Port = 0;
    int m_smtpPort = 0;
    int m_pop3sPort = 0;
    QString m_error;
    QString m_apart;
};

} // namespace tav::test
