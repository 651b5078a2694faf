#pragma once

#include "exchange/OutgoingMessage.h"
#include "platform/mail/MailClient.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tav::store {
class Tdm;
}

namespace tav::exchange {

// The header fields a mail operation fills or is given. Priority given to a send is 0 highest .. 4 lowest;
// read from a received message it is its X-Priority 1..5.
struct THeaderMsg
{
    QString MsgId;
    QString From;
    QString Recipients;
    QString Subject;
    int Priority = 2;
    QString CC;
    QString BCC;
    QString Receipt;
};

// A row of the mailbox window's message list.
struct MsgHeaderRow
{
    int Index = 0;
    QString Subject;
    QString From;
    int Priority = 0;
    QDateTime Date;
    qint64 Bytes = 0;
    QString UIDL;
    QString Recipients;
    QString CC;
    QString Receipt;
    QString Organization;
    QString MsgId;
    QString ContentType;
};

// A row of the mailbox window's attachment list.
struct AttachmentRow
{
    int index = 0;
    QString filename;
    QString ContentType;
};

// The office's mail account: its settings, SMTP sends and the POP3 mailbox. Every network wait runs on a
// worker thread while the calling thread keeps processing events (user input is held back), and is bounded
// by the account's time-out. One operation at a time: a send and a reception never overlap.
class TdmMail : public QObject
{
    Q_OBJECT

public:
    explicit TdmMail(store::Tdm &dm, QObject *parent = nullptr);
    ~TdmMail() override;

    // --- account state ---
    QString pop3Name;
    int pop3Port = 110;
    QString pop3User;
    QString pop3Password; // held in clear, stored complemented
    QString smtpName;
    int smtpPort = 25;
    QString userEmail;
    QString emailFwd;
    bool logOpeMail = false;
    // Beyond the old program, all off by default: TLS for each server and SMTP authentication (with the
    // account's user and password).
    mail::Security pop3Security = mail::Security::None;
    mail::Security smtpSecurity = mail::Security::None;
    bool smtpAuth = false;
    QString caFile;        // extra certificate authorities for TLS (setting "mailCAFile")
    int timeoutMs = 60000; // every wait on a mail server

    qint64 smtpMessageSize = 0;
    qint64 pop3MessageSize = 0;

    // The stored form of the password: every byte of its Windows-1252 text complemented (255 − byte).
    static QString complemented(const QString &text);
    static QString securityText(mail::Security s);
    static mail::Security securityFromText(const QString &text);

    void loadSettings(); // shows "ERROR: Al leer configuración de la cuenta de correo" on failure
    void saveSettings(); // shows "ERROR: Al guardar configuración de la cuenta de correo" on failure

    bool ConnectPOP3(QString &error);
    bool GetTotMsgInbox(int &count, QString &error);
    bool GetHeadMail(int n, THeaderMsg &header, QString &error);
    bool SaveAllAttachToPath(int n, const QString &directory, QString &error);
    bool DeleteMail(int n, QString &error);
    bool ForwardMail(int n, const QString &address, QString &error);
    bool SendMail(const THeaderMsg &header, const QStringList &bodyLines, QString &error,
                  const QStringList &attachmentPaths);
    // For the mailbox window: network errors reach the caller as mail::MailError.
    bool GetMail(int n, QStringList &texts, QList<AttachmentRow> &attachments);
    QList<MsgHeaderRow> listHeaders(QString &error);
    bool saveAttachment(int n, int part, const QString &target);
    bool pop3Connected() const;
    // Closes the POP3 connection without committing deletions (the mailbox window's "Cerrar conexión").
    void DisconnectPOP3();

    // The body rule of every send: the first full stop becomes a blank.
    static QString bodyText(const QStringList &bodyLines);

    // The transport's mail branch: recipient, subject, priority 2, the body as one line, the attachments as
    // full paths in `programDir`.
    bool sendOutgoing(const OutgoingMessage &message, const QString &programDir, QString &error);

    // Whether the account is complete; otherwise shows "Falta configurar datos del correo: " and the list.
    bool ChequearConfigCorreo();

    // The account check: POP3 connection, then a test message to the account's own address. Each line goes
    // to `addLine` as it is known. The POP3 connection is left open.
    void checkAccount(const std::function<void(const QString &)> &addLine);

    // True while a mail operation runs.
    bool busy() const { return m_busy; }

    mail::ServerSettings pop3Server() const;
    mail::ServerSettings smtpServer() const;

signals:
    // The progress window: caption and percentage of the transfer under way.
    void transferBegin(const QString &caption);
    void transferProgress(int percent);
    void transferEnd();

private:
    // Runs a blocking step on a worker thread while this thread keeps processing events.
    void runBlocking(const std::function<void()> &step);
    void writeLog(const QString &line);
    // A transfer of `total` bytes run by `step` off this thread, shown in the progress window.
    using Progress = std::function<void(qint64 done, qint64 total)>;
    void runShown(const QString &caption, qint64 total, const std::function<void(const Progress &)> &step);
    // RETR n (LIST n first, for the POP3 message size) and an SMTP send, each shown in the progress window.
    QByteArray retrieveShown(int n);
    void sendShown(const mail::ServerSettings &server, const QString &from, const QStringList &recipients,
                   const QByteArray &raw);

    store::Tdm &m_dm;
    std::unique_ptr<mail::Pop3Session> m_pop3;
    bool m_busy = false;
};

} // namespace tav::exchange
