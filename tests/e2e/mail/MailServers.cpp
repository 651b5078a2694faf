#include "e2e/mail/MailServers.h"

#include "exchange/TdmMail.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace tav::test {

namespace {

void chownTree(const QString &path)
{
    if (::geteuid() != 0)
        return;
    if (::chown(path.toLocal8Bit().constData(), 65534, 65534) != 0)
        return;
    const QDir dir(path);
    for (const QString &entry : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString child = dir.filePath(entry);
        if (QFileInfo(child).isDir())
            chownTree(child);
        else if (::chown(child.toLocal8Bit().constData(), 65534, 65534) != 0)
            return;
    }
}

bool writeText(const QString &file, const QString &text)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

} // namespace

MailServers::MailServers() = default;

MailServers::~MailServers()
{
    stop();
}

QString MailServers::path(const QString &name) const
{
    return QDir(QString::fromStdString(m_dir.path().string())).filePath(name);
}

int MailServers::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool MailServers::start(const QString &certFile, const QString &keyFile)
{
    const QString t = path(QString());
    ::chmod(t.toLocal8Bit().constData(), 0755); // dovecot reads it as nobody
    for (const char *d :
         {"run", "state", "Maildir/cur", "Maildir/new", "Maildir/tmp", "Aparte/cur", "Aparte/new", "Aparte/tmp"})
        QDir().mkpath(path(QString::fromLatin1(d)));
    chownTree(path("Maildir"));
    chownTree(path("Aparte"));
    m_pop3Port = freePort();
    m_smtpPort = freePort();
    const bool tls = !certFile.isEmpty();
    m_pop3sPort = tls ? freePort() : 0;
    writeText(path("users"), QStringLiteral("%1:{PLAIN}%2:65534:65534::%3\n").arg(user(), password(), t));
    writeText(path("dovecot.conf"), QStringLiteral("base_dir = %1/run\n"
                                                   "state_dir = %1/state\n"
                                                   "log_path = %1/dovecot.log\n"
                                                   "protocols = pop3\n"
                                                   "listen = 127.0.0.1\n"
                                                   "%3"
                                                   "auth_mechanisms = plain login\n"
                                                   "auth_failure_delay = 0\n"
                                                   "mail_location = maildir:%1/Maildir\n"
                                                   "passdb {\n  driver = passwd-file\n  args = %1/users\n}\n"
                                                   "userdb {\n  driver = passwd-file\n  args = %1/users\n}\n"
                                                   "service anvil {\n  unix_listener anvil-auth-penalty {\n"
                                                   "    mode = 0\n  }\n}\n"
                                                   "service pop3-login {\n  inet_listener pop3 {\n"
                                                   "    address = 127.0.0.1\n    port = %2\n  }\n%4}\n")
                                        .arg(t)
                                        .arg(m_pop3Port)
                                        .arg(tls ? QStringLiteral("ssl = required\nssl_cert = <%1\nssl_key = <%2\n"
                                                                  "disable_plaintext_auth = yes\n")
                                                       .arg(certFile, keyFile)
                                                 : QStringLiteral("ssl = no\ndisable_plaintext_auth = no\n"),
                                             tls ? QStringLiteral("  inet_listener pop3s {\n    address = 127.0.0.1\n"
                                                                  "    port = %1\n    ssl = yes\n  }\n")
                                                       .arg(m_pop3sPort)
                                                 : QString()));
    m_dovecot.setProcessChannelMode(QProcess::MergedChannels);
    m_dovecot.start(QStringLiteral("dovecot"), {QStringLiteral("-F"), QStringLiteral("-c"), path("dovecot.conf")});
    m_smtp.setProcessChannelMode(QProcess::MergedChannels);
    QStringList smtpArgs{QStringLiteral(TAV_SOURCE_DIR "/tests/e2e/mail/smtp_server.py"), QString::number(m_smtpPort),
                         path("Maildir")};
    if (tls)
        smtpArgs << certFile << keyFile << user() << password();
    if (!m_apart.isEmpty())
        smtpArgs << QStringLiteral("--aparte=") + m_apart + QLatin1Char('=') + path("Aparte");
    m_smtp.start(QStringLiteral("/usr/bin/python3"), smtpArgs);
    if (!m_dovecot.waitForStarted(5000) || !m_smtp.waitForStarted(5000)) {
        m_error = QStringLiteral("no arrancaron los servidores");
        return false;
    }
    // Ready when the POP3 greeting arrives and the SMTP server says so, within ten seconds.
    const QDeadlineTimer deadline(10000);
    bool pop3Ready = false;
    while (!pop3Ready && !deadline.hasExpired()) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_pop3Port));
        if (probe.waitForConnected(500) && probe.waitForReadyRead(1000) && probe.readAll().startsWith("+OK"))
            pop3Ready = true;
        else
            QThread::msleep(50);
    }
    QByteArray smtpOut;
    while (!smtpOut.contains("ready") && !deadline.hasExpired())
        if (m_smtp.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            smtpOut += m_smtp.readAll();
    if (!pop3Ready || !smtpOut.contains("ready")) {
        QFile log(path("dovecot.log"));
        log.open(QIODevice::ReadOnly);
        m_error = QStringLiteral("servidores no listos: dovecot %1 %2 / smtp %3")
                      .arg(QString::fromUtf8(m_dovecot.readAll()), QString::fromUtf8(log.readAll()),
                           QString::fromUtf8(smtpOut));
        return false;
    }
    return true;
}

void MailServers::stop()
{
    if (m_smtp.state() != QProcess::NotRunning) {
        m_smtp.closeWriteChannel(); // its standard input ends: it stops
        if (!m_smtp.waitForFinished(5000)) {
            m_smtp.kill();
            m_smtp.waitForFinished(5000);
        }
    }
    if (m_dovecot.state() != QProcess::NotRunning) {
        m_dovecot.terminate(); // never killed: its children would stay behind
        m_dovecot.waitForFinished(10000);
    }
}

void MailServers::configure(exchange::TdmMail &account) const
{
    account.pop3Name = QStringLiteral("127.0.0.1");
    account.pop3Port = m_pop3Port;
    account.pop3User = user();
    account.pop3Password = password();
    account.smtpName = QStringLiteral("127.0.0.1");
    account.smtpPort = m_smtpPort;
    account.userEmail = QStringLiteral("regional7@oficina.example");
    account.emailFwd = QStringLiteral("soporte@oficina.example");
    account.timeoutMs = 5000;
}

QStringList MailServers::deliveredFiles() const
{
    QStringList files;
    for (const char *sub : {"Maildir/new", "Maildir/cur"}) {
        QDir dir(path(QString::fromLatin1(sub)));
        for (const QString &entry : dir.entryList(QDir::Files, QDir::Time | QDir::Reversed))
            files << dir.filePath(entry);
    }
    return files;
}

QStringList MailServers::apartFiles() const
{
    QStringList files;
    for (const char *sub : {"Aparte/new", "Aparte/cur"}) {
        QDir dir(path(QString::fromLatin1(sub)));
        for (const QString &entry : dir.entryList(QDir::Files, QDir::Time | QDir::Reversed))
            files << dir.filePath(entry);
    }
    return files;
}

void MailServers::deliver(const QByteArray &raw) const
{
    static int n = 0;
    const QString name = QStringLiteral("%1.prueba%2.local").arg(QDateTime::currentSecsSinceEpoch()).arg(++n);
    const QString file = path("Maildir/new/" + name);
    QFile f(file);
    if (f.open(QIODevice::WriteOnly))
        f.write(raw);
    f.close();
    if (::geteuid() == 0 && ::chown(file.toLocal8Bit().constData(), 65534, 65534) != 0)
        return;
}

} // namespace tav::test
