#include "exchange/TdmMail.h"

#include "exchange/MailReception.h"

#include "platform/mail/MailNames.h"
#include "platform/text/Cp1252Qt.h"
#include "store/Tdm.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <exception>

namespace tav::exchange {

namespace {

// Marks the module busy for one operation; a second operation while one runs (a timer that fired during a
// send, a click that came through) is refused instead of sharing the connection.
class BusyGuard
{
public:
    explicit BusyGuard(bool &flag) : m_flag(flag)
    {
        if (m_flag)
            throw mail::MailError("hay otra operación de correo en curso");
        m_flag = true;
    }
    ~BusyGuard() { m_flag = false; }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    bool &m_flag;
};

int portOf(const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : 0;
}

} // namespace

TdmMail::TdmMail(store::Tdm &dm, QObject *parent)
    : QObject(parent), m_dm(dm), m_pop3(std::make_unique<mail::Pop3Session>())
{}

TdmMail::~TdmMail() = default;

QString TdmMail::complemented(const QString &text)
{
    QByteArray bytes = text::toCp1252(text);
    for (auto &c : bytes)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return text::fromCp1252(bytes);
}

QString TdmMail::securityText(mail::Security s)
{
    switch (s) {
    case mail::Security::StartTls:
        return QStringLiteral("STARTTLS");
    case mail::Security::Implicit:
        return QStringLiteral("TLS");
    case mail::Security::None:
        break;
    }
    return QStringLiteral("N");
}

mail::Security TdmMail::securityFromText(const QString &text)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("STARTTLS"))
        return mail::Security::StartTls;
    if (t == QLatin1String("TLS"))
        return mail::Security::Implicit;
    return mail::Security::None;
}

void TdmMail::loadSettings()
{
    try {
        pop3Name = m_dm.readSetting(QStringLiteral("pop3Name"));
        pop3Port = portOf(m_dm.readSetting(QStringLiteral("pop3Port")));
        pop3User = m_dm.readSetting(QStringLiteral("pop3User"));
        pop3Password = complemented(m_dm.readSetting(QStringLiteral("pop3PwdE")));
        smtpName = m_dm.readSetting(QStringLiteral("smtpName"));
        smtpPort = portOf(m_dm.readSetting(QStringLiteral("smtpPort")));
        userEmail = m_dm.readSetting(QStringLiteral("userEmail"));
        emailFwd = m_dm.readSetting(QStringLiteral("emailFwd"));
        logOpeMail = m_dm.readSetting(QStringLiteral("LogOpeMail")) == QLatin1String("S");
        pop3Security = securityFromText(m_dm.readSetting(QStringLiteral("pop3Seguridad")));
        smtpSecurity = securityFromText(m_dm.readSetting(QStringLiteral("smtpSeguridad")));
        smtpAuth = m_dm.readSetting(QStringLiteral("smtpAutenticar")) == QLatin1String("S");
        caFile = m_dm.readSetting(QStringLiteral("mailCAFile"));
    } catch (const std::exception &) {
        m_dm.ui().message(QStringLiteral("ERROR: Al leer configuración de la cuenta de correo"), ui::Ui::errorTitle());
    }
}

void TdmMail::saveSettings()
{
    try {
        const std::pair<const char *, QString> values[] = {
            {"pop3Name", pop3Name},
            {"pop3Port", QString::number(pop3Port)},
            {"pop3User", pop3User},
            {"pop3PwdE", complemented(pop3Password)},
            {"smtpName", smtpName},
            {"smtpPort", QString::number(smtpPort)},
            {"userEmail", userEmail},
            {"emailFwd", emailFwd},
            {"pop3Seguridad", securityText(pop3Security)},
            {"smtpSeguridad", securityText(smtpSecurity)},
            {"smtpAutenticar", smtpAuth ? QStringLiteral("S") : QStringLiteral("N")},
        };
        for (const auto &[key, value] : values)
            if (!m_dm.writeSetting(QString::fromLatin1(key), value))
                throw std::runtime_error(key);
    } catch (const std::exception &) {
        m_dm.ui().message(QStringLiteral("ERROR: Al guardar configuración de la cuenta de correo"),
                          ui::Ui::errorTitle());
    }
}

mail::ServerSettings TdmMail::pop3Server() const
{
    mail::ServerSettings s;
    s.host = pop3Name;
    s.port = pop3Port;
    s.security = pop3Security;
    s.user = pop3User;
    s.password = pop3Password;
    s.timeoutMs = timeoutMs;
    s.caFile = caFile;
    return s;
}

mail::ServerSettings TdmMail::smtpServer() const
{
    mail::ServerSettings s;
    s.host = smtpName;
    s.port = smtpPort;
    s.security = smtpSecurity;
    s.authenticate = smtpAuth;
    s.user = pop3User;
    s.password = pop3Password;
    s.timeoutMs = timeoutMs;
    s.caFile = caFile;
    return s;
}

void TdmMail::runBlocking(const std::function<void()> &step)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        step();
        return;
    }
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            step();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    // Windows repaint and timers fire meanwhile; what the person types waits until the step is done.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    if (failure)
        std::rethrow_exception(failure);
}

void TdmMail::writeLog(const QString &line)
{
    GrabarLog(m_dm.filePath(QStringLiteral("TavRegLog.log")), line);
}

QString TdmMail::bodyText(const QStringList &bodyLines)
{
    QString text = bodyLines.join(QStringLiteral("\r\n"));
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        text[dot] = QLatin1Char(' ');
    return text;
}

bool TdmMail::pop3Connected() const
{
    return m_pop3->isConnected();
}

void TdmMail::DisconnectPOP3()
{
    m_pop3->drop();
}

void TdmMail::runShown(const QString &caption, qint64 total, const std::function<void(const Progress &)> &step)
{
    if (total > 0)
        emit transferBegin(caption);
    struct End
    {
        TdmMail *mail;
        bool shown;
        ~End()
        {
            if (shown)
                emit mail->transferEnd();
        }
    } end{this, total > 0};
    auto *self = this;
    // Called on the worker thread: the percentage reaches the window through this thread's event loop.
    const Progress progress = [self, total](qint64 done, qint64) {
        if (total > 0)
            QMetaObject::invokeMethod(
                self, [self, p = int(std::min<qint64>(done * 100 / total, 100))] { emit self->transferProgress(p); },
                Qt::QueuedConnection);
    };
    runBlocking([&] { step(progress); });
}

QByteArray TdmMail::retrieveShown(int n)
{
    QByteArray raw;
    runBlocking([&] { pop3MessageSize = m_pop3->size(n); });
    runShown(QStringLiteral("Recibiendo Mensaje..."), pop3MessageSize,
             [&](const Progress &progress) { raw = m_pop3->retrieve(n, progress); });
    return raw;
}

void TdmMail::sendShown(const mail::ServerSettings &server, const QString &from, const QStringList &recipients,
                        const QByteArray &raw)
{
    runShown(QStringLiteral("Enviando Mensaje.."), smtpMessageSize,
             [&](const Progress &progress) { mail::smtpSend(server, from, recipients, raw, progress); });
}

bool TdmMail::ConnectPOP3(QString &error)
{
    error.clear();
    try {
        BusyGuard busy(m_busy);
        const mail::ServerSettings server = pop3Server();
        runBlocking([&] { m_pop3->connect(server); });
        return true;
    } catch (const mail::MailError &e) {
        error = QStringLiteral("Error ConnectPOP3: ") + e.text();
        return false;
    }
}

bool TdmMail::GetTotMsgInbox(int &count, QString &error)
{
    count = -1;
    QString connectError;
    if (!ConnectPOP3(connectError)) {
        error = QStringLiteral("Error GetTotMsgInbox: ") + connectError;
        return false;
    }
    try {
        BusyGuard busy(m_busy);
        int n = -1;
        runBlocking([&] { n = m_pop3->count(); });
        count = n;
        return true;
    } catch (const mail::MailError &e) {
        error = QStringLiteral("Error GetTotMsgInbox: ") + e.text();
        return false;
    }
}

bool TdmMail::GetHeadMail(int n, THeaderMsg &header, QString &error)
{
    pop3MessageSize = 0;
    error.clear();
    try {
        BusyGuard busy(m_busy);
        QByteArray raw;
        runBlocking([&] { raw = m_pop3->header(n); });
        if (raw.isEmpty())
            return false;
        const mail::HeaderInfo h = mail::parseHeader(raw);
        header.MsgId = h.msgId;
        header.From = h.from;
        header.Recipients = h.recipients;
        header.Subject = h.subject;
        header.Priority = h.priority;
        header.CC = h.cc;
        header.BCC = h.bcc;
        header.Receipt = h.receipt;
        return true;
    } catch (const mail::MailError &e) {
        error = QStringLiteral("Error GetHeadMail: ") + e.text();
        return false;
    }
}

bool TdmMail::SaveAllAttachToPath(int n, const QString &directory, QString &error)
{
    error.clear();
    try {
        BusyGuard busy(m_busy);
        // Decoding and writing a large message take as long as fetching it: all of it off this thread.
        runBlocking([&] {
            const QByteArray raw = m_pop3->retrieve(n);
            if (raw.isEmpty())
                throw mail::MailError(("Error RetrieveMail:" + QString::number(n)).toStdString());
            const mail::ReceivedMail received = mail::parseMessage(raw);
            const QDir dir(directory);
            const auto save = [&](const QString &networkName, const QByteArray &bytes) {
                // Names from the network never leave the folder: only a bare name is used.
                const QString target = dir.filePath(mail::bareFileName(networkName));
                if (QFile::exists(target) && !QFile::remove(target))
                    throw mail::MailError(("Error DeleteFile:" + target).toStdString());
                QFile f(target);
                if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush())
                    throw mail::MailError(("Error SaveToFile:" + target).toStdString());
            };
            const QString type = received.header.contentType.toLower();
            if (type.contains(QLatin1String("multipart/mixed"))) {
                for (const mail::MimePart &part : received.parts)
                    if (part.attachment)
                        save(part.fileName, part.data);
            } else if (type.contains(QLatin1String("application/octet-stream"))) {
                // A single-part message that is itself the attachment: its name is read from the disposition.
                QString disposition = received.header.contentDisposition;
                const qsizetype at = disposition.indexOf(QLatin1String("attachment;"), 0, Qt::CaseInsensitive);
                if (at >= 0)
                    disposition.remove(at, 11);
                disposition.remove(QLatin1Char('"'));
                disposition.remove(QLatin1Char(' '));
                QString name;
                for (const QString &pair : disposition.split(QLatin1Char(';')))
                    if (pair.section(QLatin1Char('='), 0, 0).compare(QLatin1String("filename"), Qt::CaseInsensitive) ==
                        0)
                        name = pair.section(QLatin1Char('='), 1);
                save(name, received.singleBody);
            }
        });
        return true;
    } catch (const mail::MailError &e) {
        error = QStringLiteral("ERROR SaveAllAttachToPath: ") + e.text();
        return false;
    }
}

bool TdmMail::DeleteMail(int n, QString &error)
{
    error.clear();
    try {
        BusyGuard busy(m_busy);
        runBlocking([&] {
            try {
                m_pop3->remove(n);
            } catch (const mail::MailError &) {
                throw mail::MailError(("Error Delete MsgIdx:" + QString::number(n)).toStdString());
            }
            m_pop3->quit(); // QUIT makes the deletion final and renumbers the mailbox
        });
        return true;
    } catch (const mail::MailError &e) {
        error = QStringLiteral("Error DeleteMail: ") + e.text();
        return false;
    }
}

bool TdmMail::ForwardMail(int n, const QString &address, QString &error)
{
    error.clear();
    try {
        BusyGuard busy(m_busy);
        const QByteArray raw = retrieveShown(n);
        if (raw.isEmpty())
            throw mail::MailError(("Error ForwardMail:" + QString::number(n)).toStdString());
        QString sender;
        QByteArray forwarded;
        // A large message takes a while to rewrite: off this thread too.
        runBlocking([&] {
            forwarded = mail::redirectMessage(raw, QStringLiteral(" (REENVIO TAV REGIONAL)"), address, &sender);
        });
        smtpMessageSize = forwarded.size();
        const mail::ServerSettings server = smtpServer();
        sendShown(server, sender.isEmpty() ? userEmail : sender, {address}, forwarded);
        return true;
    } catch (const mail::MailError &e) {
        error = QStringLiteral("Error ForwardMail: ") + e.text();
        return false;
    }
}

bool TdmMail::SendMail(const THeaderMsg &header, const QStringList &bodyLines, QString &error,
                       const QStringList &attachmentPaths)
{
    error.clear();
    const QString body = bodyText(bodyLines);
    QElapsedTimer clock;
    clock.start();
    bool ok = false;
    try {
        BusyGuard busy(m_busy);
        mail::OutgoingMail m;
        m.from = header.From.isEmpty() ? userEmail : header.From;
        m.recipients = header.Recipients.split(QLatin1Char(','), Qt::SkipEmptyParts);
        m.subject = header.Subject;
        m.priority = header.Priority;
        m.cc = header.CC.split(QLatin1Char(','), Qt::SkipEmptyParts);
        m.bcc = header.BCC.split(QLatin1Char(','), Qt::SkipEmptyParts);
        m.receipt = header.Receipt;
        m.body = body;
        m.attachmentPaths = attachmentPaths;
        const QByteArray raw = mail::composeMessage(m);
        smtpMessageSize = raw.size();
        const mail::ServerSettings server = smtpServer();
        QStringList recipients = m.recipients + m.cc + m.bcc;
        sendShown(server, m.from, recipients, raw);
        ok = true;
    } catch (const mail::MailError &e) {
        error = QStringLiteral("Error SendMail: ") + e.text();
    }
    if (logOpeMail) {
        const QDateTime now = m_dm.clock().now();
        QString flat = body;
        flat.remove(QStringLiteral("\r\n"));
        writeLog(QStringLiteral("%1 - To: %2 - Tema: %3 - SendMail Result: %4 - Tiempo: %5 seg - Texto: %6")
                     .arg(now.toString(QStringLiteral("dd/MM/yyyy")) + QLatin1Char(' ') +
                              QLocale().toString(now.time(), QLocale::ShortFormat),
                          header.Recipients, header.Subject, ok ? QStringLiteral("True") : QStringLiteral("False"),
                          QString::number(clock.elapsed() / 1000.0, 'f', 2), flat));
    }
    return ok;
}

bool TdmMail::GetMail(int n, QStringList &texts, QList<AttachmentRow> &attachments)
{
    attachments.clear();
    texts.clear();
    BusyGuard busy(m_busy);
    const QByteArray raw = retrieveShown(n);
    if (raw.isEmpty())
        return false;
    const mail::ReceivedMail received = mail::parseMessage(raw);
    for (const mail::MimePart &part : received.parts) {
        if (part.attachment)
            attachments.append({part.index, part.fileName, part.contentType});
        else
            texts.append(part.text);
    }
    if (logOpeMail)
        writeLog(QStringLiteral("%1 - From: %2 - Tema: %3 - MailIndex: %4 - GetMail Result: %5 ")
                     .arg(m_dm.clock().now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), received.header.from,
                          received.header.subject, QString::number(n), QStringLiteral("True")));
    return true;
}

QList<MsgHeaderRow> TdmMail::listHeaders(QString &error)
{
    error.clear();
    QList<MsgHeaderRow> rows;
    QString connectError;
    if (!ConnectPOP3(connectError)) {
        error = QStringLiteral("Error al conectarse al POP3: ") + connectError;
        return rows;
    }
    try {
        BusyGuard busy(m_busy);
        int count = 0;
        runBlocking([&] { count = m_pop3->count(); });
        for (int n = 1; n <= count; ++n) {
            MsgHeaderRow row;
            row.Index = n;
            QByteArray raw;
            qint64 size = 0;
            runBlocking([&] {
                raw = m_pop3->header(n);
                size = m_pop3->size(n);
            });
            if (raw.isEmpty()) {
                row.Subject = QStringLiteral("ERROR");
            } else {
                const mail::HeaderInfo h = mail::parseHeader(raw);
                row.Subject = h.subject;
                row.From = h.from;
                row.Date = h.date;
                row.Bytes = size;
                row.UIDL = QStringLiteral("n/a");
                row.Recipients = h.recipients;
                row.CC = h.cc;
                row.Receipt = h.receipt;
                row.Organization = h.organization;
                row.Priority = h.priority;
                row.MsgId = h.msgId;
                row.ContentType = h.contentType;
            }
            rows.append(row);
        }
    } catch (const mail::MailError &e) {
        // The rows gathered so far are kept.
        error = e.text();
    }
    return rows;
}

bool TdmMail::saveAttachment(int n, int part, const QString &target)
{
    if (target.trimmed().isEmpty()) {
        m_dm.ui().message(QStringLiteral("Error: El nombre del archivo destino no puede ser vacio"),
                          ui::Ui::errorTitle());
        return false;
    }
    if (!m_pop3->isConnected()) {
        m_dm.ui().message(
            QStringLiteral("Error: Se ha perdido la conexión con el servidor. Vuelva a consultar los mensajes."),
            ui::Ui::errorTitle());
        return false;
    }
    QStringList texts;
    QByteArray raw;
    {
        BusyGuard busy(m_busy);
        runBlocking([&] { raw = m_pop3->retrieve(n); });
    }
    const mail::ReceivedMail received = mail::parseMessage(raw);
    for (const mail::MimePart &p : received.parts) {
        if (p.index != part)
            continue;
        if (QFile::exists(target))
            QFile::remove(target);
        QFile f(target);
        return f.open(QIODevice::WriteOnly) && f.write(p.data) == p.data.size();
    }
    return false;
}

bool TdmMail::sendOutgoing(const OutgoingMessage &message, const QString &programDir, QString &error)
{
    THeaderMsg header;
    header.Recipients = message.recipient;
    header.Subject = message.subject;
    header.Priority = 2;
    QStringList paths;
    for (const QString &name : message.attachments)
        paths << QDir(programDir).filePath(name);
    return SendMail(header, {message.body}, error, paths);
}

bool TdmMail::ChequearConfigCorreo()
{
    QString missing;
    const auto need = [&](bool absent, const char *item) {
        if (absent)
            missing += QLatin1Char('\r') + QString::fromUtf8(item);
    };
    need(pop3Name.trimmed().isEmpty(), "Servidor Pop3");
    need(pop3Port <= 0, "Puerto Pop3");
    need(pop3User.isEmpty(), "Usuario Pop3");
    need(pop3Password.isEmpty(), "Password Usuario");
    need(userEmail.isEmpty(), "Correo electrónico");
    need(smtpName.trimmed().isEmpty(), "Servidor Smtp");
    need(smtpPort <= 0, "Puerto Smtp");
    need(emailFwd.isEmpty(), "Cuenta de reenvío");
    if (missing.isEmpty())
        return true;
    m_dm.ui().message(QStringLiteral("Falta configurar datos del correo: ") + missing, ui::Ui::warningTitle());
    return false;
}

void TdmMail::checkAccount(const std::function<void(const QString &)> &addLine)
{
    addLine(QStringLiteral("Chequeando POP3.."));
    QString error;
    if (!ConnectPOP3(error)) {
        addLine(QStringLiteral("Error al conectarse al POP3. Verifique configuración del POP3 y del correo"));
        addLine(error);
        return;
    }
    addLine(QStringLiteral("Verificación exitosa"));
    addLine(QStringLiteral("Chequeando SMTP.."));
    THeaderMsg header;
    header.From = userEmail;
    header.Recipients = userEmail;
    header.Subject = QStringLiteral("Mensaje de Prueba sin uso del Outlook");
    header.Priority = 2;
    if (!SendMail(header,
                  {QStringLiteral("Mensaje de correo electrónico enviado automáticamente para comprobar la "
                                  "configuración de su cuenta")},
                  error, {})) {
        addLine(QStringLiteral("Error al enviar mail de prueba. Verifique configuración del SMTP y del correo"));
        addLine(error);
        return;
    }
    addLine(QStringLiteral("Verificación exitosa"));
}

} // namespace tav::exchange
