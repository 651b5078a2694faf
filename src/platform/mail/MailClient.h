#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

namespace tav::mail {

// Why a mail operation failed; the text is the library's or the server's reason.
class MailError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    QString text() const { return QString::fromUtf8(what()); }
};

enum class Security { None, StartTls, Implicit };

struct ServerSettings
{
    QString host;
    int port = 0;
    Security security = Security::None;
    bool authenticate = false; // SMTP only; POP3 always logs in
    QString user;
    QString password;
    int timeoutMs = 60000; // a wait on the server longer than this fails
    QString caFile;        // extra certificate authorities (PEM) beside the system's, for TLS
};

// A message to compose: priority 0 highest .. 4 lowest (written as X-Priority 1..5).
struct OutgoingMail
{
    QString from;
    QStringList recipients;
    QString subject;
    int priority = 2;
    QStringList cc;
    QStringList bcc; // not written in the message: the send adds them to the envelope
    QString receipt; // address for a disposition notification; empty for none
    QString body;
    QStringList attachmentPaths; // each part carries the file's bare name
};

struct HeaderInfo
{
    QString msgId;
    QString from; // display form: "Name <address>" or the address
    QString recipients;
    QString subject;
    int priority = 0; // X-Priority 1..5, 0 when absent
    QString cc;
    QString bcc;
    QString receipt;
    QDateTime date;
    QString organization;
    QString contentType;        // e.g. "multipart/mixed"
    QString contentDisposition; // the header's text as it came, without the field name
};

// One leaf of a received message, numbered from 0 in the order of the message.
struct MimePart
{
    int index = 0;
    bool attachment = false;
    QString fileName; // as the message names it (not yet made safe)
    QString contentType;
    QString text;    // text parts, decoded
    QByteArray data; // attachment parts, decoded
};

struct ReceivedMail
{
    HeaderInfo header;
    QList<MimePart> parts;
    QByteArray singleBody; // the decoded body of a message that is not multipart
};

// Builds the message in memory (MIME, base64 attachments); throws MailError when a file cannot be read.
QByteArray composeMessage(const OutgoingMail &mail);
// Parses a message as it came from the server.
ReceivedMail parseMessage(const QByteArray &raw);
HeaderInfo parseHeader(const QByteArray &raw);
// The same message with a new subject and recipients and no CC or BCC; everything else kept as it came.
QByteArray redirectMessage(const QByteArray &raw, const QString &subjectSuffix, const QString &recipient,
                           QString *originalFrom);

// Sends raw message bytes over SMTP (one connection per call). `progress` gets bytes sent so far and the total.
void smtpSend(const ServerSettings &server, const QString &from, const QStringList &recipients, const QByteArray &raw,
              const std::function<void(qint64, qint64)> &progress = {});

// A POP3 mailbox session. Every call blocks until the server answered or the time-out passed.
class Pop3Session
{
public:
    Pop3Session();
    ~Pop3Session();
    Pop3Session(const Pop3Session &) = delete;
    Pop3Session &operator=(const Pop3Session &) = delete;

    void connect(const ServerSettings &server); // closes an earlier connection first (without QUIT's commit)
    bool isConnected() const;
    int count();              // STAT
    qint64 size(int n);       // LIST n
    QByteArray header(int n); // TOP n 0
    // RETR n; `progress` gets bytes read so far and the total.
    QByteArray retrieve(int n, const std::function<void(qint64, qint64)> &progress = {});
    void remove(int n); // DELE n
    void quit();        // QUIT: makes deletions final
    void drop();        // closes without committing deletions

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tav::mail
