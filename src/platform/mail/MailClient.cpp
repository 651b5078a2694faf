#include "platform/mail/MailClient.h"

#include "platform/text/Cp1252Qt.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <vmime/platforms/posix/posixHandler.hpp>
#include <vmime/vmime.hpp>

#include <chrono>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

namespace tav::mail {

namespace {

std::string utf8(const QString &s)
{
    return s.toStdString();
}

QString qstr(const std::string &s)
{
    return QString::fromStdString(s);
}

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] { vmime::platform::setHandler<vmime::platforms::posix::posixHandler>(); });
}

// An inactivity bound on every wait of the mail library: without one a silent server blocks forever.
class DeadlineHandler : public vmime::net::timeoutHandler
{
public:
    explicit DeadlineHandler(std::chrono::milliseconds limit) : m_limit(limit) { resetTimeOut(); }
    bool isTimeOut() override { return std::chrono::steady_clock::now() - m_start >= m_limit; }
    void resetTimeOut() override { m_start = std::chrono::steady_clock::now(); }
    bool handleTimeOut() override { return false; } // give up: the operation fails with a time-out

private:
    std::chrono::milliseconds m_limit;
    std::chrono::steady_clock::time_point m_start;
};

class DeadlineFactory : public vmime::net::timeoutHandlerFactory
{
public:
    explicit DeadlineFactory(int ms) : m_limit(ms) {}
    vmime::shared_ptr<vmime::net::timeoutHandler> create() override
    {
        return vmime::make_shared<DeadlineHandler>(m_limit);
    }

private:
    std::chrono::milliseconds m_limit;
};

// Certificates: the system's authorities plus the office's own file.
vmime::shared_ptr<vmime::security::cert::defaultCertificateVerifier> verifierFor(const QString &caFile)
{
    std::vector<vmime::shared_ptr<vmime::security::cert::X509Certificate>> roots;
    const auto load = [&](const QString &path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return;
        const QByteArray all = f.readAll();
        static const QRegularExpression block(
            QStringLiteral("-----BEGIN CERTIFICATE-----[\\s\\S]*?-----END CERTIFICATE-----"));
        auto it = block.globalMatch(QString::fromLatin1(all));
        while (it.hasNext()) {
            const QByteArray pem = it.next().captured(0).toLatin1();
            auto cert = vmime::security::cert::X509Certificate::import(
                reinterpret_cast<const vmime::byte_t *>(pem.constData()), static_cast<size_t>(pem.size()));
            if (cert)
                roots.push_back(cert);
        }
    };
    load(QStringLiteral("/etc/ssl/certs/ca-certificates.crt"));
    if (!caFile.isEmpty())
        load(caFile);
    auto verifier = vmime::make_shared<vmime::security::cert::defaultCertificateVerifier>();
    verifier->setX509RootCAs(roots);
    return verifier;
}

void configure(const vmime::shared_ptr<vmime::net::service> &service, const ServerSettings &s, const char *prefix)
{
    const std::string p = std::string("transport.") + prefix + ".";
    (void)p;
    service->setTimeoutHandlerFactory(vmime::make_shared<DeadlineFactory>(s.timeoutMs));
    service->setProperty("connection.tls", s.security == Security::StartTls);
    if (s.security == Security::StartTls)
        service->setProperty("connection.tls.required", true);
    if (s.security != Security::None)
        service->setCertificateVerifier(verifierFor(s.caFile));
}

vmime::utility::url urlFor(const char *plain, const char *secure, const ServerSettings &s)
{
    if (s.host.trimmed().isEmpty())
        throw MailError("no se indicó el servidor");
    if (s.port <= 0 || s.port > 65535)
        throw MailError("puerto inválido: " + std::to_string(s.port));
    return vmime::utility::url(s.security == Security::Implicit ? secure : plain, utf8(s.host.trimmed()),
                               static_cast<vmime::port_t>(s.port));
}

// Runs a library call and turns its exceptions into MailError with their reason.
template <class F> auto guarded(F &&f) -> decltype(f())
{
    try {
        return f();
    } catch (const MailError &) {
        throw;
    } catch (const vmime::exceptions::operation_timed_out &) {
        throw MailError("tiempo de espera agotado");
    } catch (const vmime::exceptions::authentication_error &e) {
        throw MailError(std::string("autenticación rechazada: ") + e.response());
    } catch (const vmime::exceptions::command_error &e) {
        throw MailError(e.command() + ": " + e.response());
    } catch (const vmime::exception &e) {
        std::string text = e.what();
        for (const vmime::exception *other = e.other(); other; other = other->other())
            text += std::string(": ") + other->what();
        throw MailError(text);
    } catch (const std::exception &e) {
        throw MailError(e.what());
    }
}

QString textOf(const vmime::shared_ptr<const vmime::headerField> &field)
{
    if (!field)
        return {};
    const auto value = field->getValue();
    if (auto t = vmime::dynamicCast<const vmime::text>(value))
        return qstr(t->getConvertedText(vmime::charsets::UTF_8));
    return qstr(value->generate());
}

QString mailboxText(const vmime::mailbox &mb)
{
    const QString address = qstr(mb.getEmail().toString());
    const QString name = qstr(mb.getName().getConvertedText(vmime::charsets::UTF_8));
    return name.isEmpty() ? address : name + QStringLiteral(" <") + address + QLatin1Char('>');
}

QString addressListText(const vmime::shared_ptr<const vmime::header> &h, const char *name)
{
    const auto field = h->findField(name);
    if (!field)
        return {};
    const auto list = vmime::dynamicCast<const vmime::addressList>(field->getValue());
    if (!list)
        return qstr(field->getValue()->generate());
    QStringList out;
    const auto mailboxes = list->toMailboxList();
    for (size_t i = 0; i < mailboxes->getMailboxCount(); ++i)
        out << qstr(mailboxes->getMailboxAt(i)->getEmail().toString());
    return out.join(QStringLiteral(", "));
}

HeaderInfo headerOf(const vmime::shared_ptr<const vmime::header> &h)
{
    HeaderInfo info;
    if (auto f = h->findField(vmime::fields::MESSAGE_ID))
        info.msgId = qstr(f->getValue()->generate());
    if (auto f = h->findField(vmime::fields::FROM)) {
        if (auto mb = vmime::dynamicCast<const vmime::mailbox>(f->getValue()))
            info.from = mailboxText(*mb);
        else
            info.from = qstr(f->getValue()->generate());
    }
    info.recipients = addressListText(h, vmime::fields::TO);
    info.cc = addressListText(h, vmime::fields::CC);
    info.bcc = addressListText(h, vmime::fields::BCC);
    info.subject = textOf(h->findField(vmime::fields::SUBJECT));
    info.organization = textOf(h->findField(vmime::fields::ORGANIZATION));
    if (auto f = h->findField("X-Priority")) {
        static const QRegularExpression digit(QStringLiteral("^\\s*([1-5])"));
        const auto m = digit.match(qstr(f->getValue()->generate()));
        info.priority = m.hasMatch() ? m.captured(1).toInt() : 0;
    }
    if (auto f = h->findField(vmime::fields::DISPOSITION_NOTIFICATION_TO))
        info.receipt = addressListText(h, vmime::fields::DISPOSITION_NOTIFICATION_TO);
    if (auto f = h->findField(vmime::fields::DATE)) {
        if (auto d = vmime::dynamicCast<const vmime::datetime>(f->getValue())) {
            const vmime::datetime utc = vmime::utility::datetimeUtils::toUniversalTime(*d);
            info.date = QDateTime(QDate(utc.getYear(), utc.getMonth(), utc.getDay()),
                                  QTime(utc.getHour(), utc.getMinute(), utc.getSecond()), Qt::UTC)
                            .toLocalTime();
        }
    }
    if (auto f = h->findField(vmime::fields::CONTENT_TYPE)) {
        if (auto t = vmime::dynamicCast<const vmime::mediaType>(f->getValue()))
            info.contentType = qstr(t->generate());
    }
    if (auto f = h->findField(vmime::fields::CONTENT_DISPOSITION)) {
        QString whole = qstr(f->generate());
        whole = whole.mid(whole.indexOf(QLatin1Char(':')) + 1);
        whole.remove(QRegularExpression(QStringLiteral("\\r?\\n")));
        info.contentDisposition = whole.trimmed();
    }
    return info;
}

QByteArray decoded(const vmime::shared_ptr<const vmime::body> &body)
{
    std::string out;
    vmime::utility::outputStreamStringAdapter os(out);
    body->getContents()->extract(os);
    return QByteArray::fromStdString(out);
}

QString parameter(const vmime::shared_ptr<const vmime::header> &h, const char *field, const char *name)
{
    const auto f = h->findField(field);
    const auto p = vmime::dynamicCast<const vmime::parameterizedHeaderField>(f);
    const auto found = p ? p->findParameter(name) : nullptr;
    if (!found)
        return {};
    return qstr(found->getValue().getConvertedText(vmime::charsets::UTF_8));
}

void walk(const vmime::shared_ptr<const vmime::bodyPart> &part, QList<MimePart> &out)
{
    const auto body = part->getBody();
    if (body->getPartCount() > 0) {
        for (size_t i = 0; i < body->getPartCount(); ++i)
            walk(body->getPartAt(i), out);
        return;
    }
    const auto h = part->getHeader();
    MimePart p;
    p.index = static_cast<int>(out.size());
    QString type = QStringLiteral("text/plain");
    if (auto f = h->findField(vmime::fields::CONTENT_TYPE))
        if (auto t = vmime::dynamicCast<const vmime::mediaType>(f->getValue()))
            type = qstr(t->generate());
    p.contentType = type;
    p.fileName = parameter(h, vmime::fields::CONTENT_DISPOSITION, "filename");
    if (p.fileName.isEmpty())
        p.fileName = parameter(h, vmime::fields::CONTENT_TYPE, "name");
    bool attachmentDisposition = false;
    if (auto f = h->findField(vmime::fields::CONTENT_DISPOSITION))
        if (auto d = vmime::dynamicCast<const vmime::contentDisposition>(f->getValue()))
            attachmentDisposition = d->getName() == vmime::contentDispositionTypes::ATTACHMENT;
    p.attachment = attachmentDisposition || !p.fileName.isEmpty() || !type.startsWith(QLatin1String("text/"));
    const QByteArray bytes = decoded(body);
    if (p.attachment) {
        p.data = bytes;
    } else {
        const QString charset = parameter(h, vmime::fields::CONTENT_TYPE, "charset").toLower();
        p.text = charset == QLatin1String("utf-8") ? QString::fromUtf8(bytes) : text::fromCp1252(bytes);
    }
    out.append(p);
}

// The body of a multipart entity cut at its delimiter lines ("--boundary" at the start of a line, the last one
// "--boundary--"), without the preamble, the epilogue, the delimiters and the line end before each delimiter (it
// belongs to the delimiter). Without a closing delimiter the rest of the body is the last part. Empty when the
// body holds no delimiter. A plain search over the bytes: the library's own parser reads a large body a byte at a
// time through a stream and takes tens of milliseconds for a certificate image.
std::vector<std::string_view> splitMultipart(std::string_view body, const std::string &boundary)
{
    std::vector<std::string_view> parts;
    const std::string dashed = "--" + boundary;
    size_t partStart = std::string_view::npos;
    size_t search = 0;
    while (search < body.size()) {
        const size_t at = body.find(dashed, search);
        if (at == std::string_view::npos)
            break;
        search = at + 1;
        if (at > 0 && body[at - 1] != '\n')
            continue; // not at the start of a line
        const size_t after = at + dashed.size();
        const bool closing = body.substr(after, 2) == "--";
        size_t eol = closing ? after + 2 : after;
        while (eol < body.size() && (body[eol] == ' ' || body[eol] == '\t'))
            ++eol; // transport padding
        if (eol < body.size() && body[eol] != '\r' && body[eol] != '\n')
            continue; // a longer boundary that begins with this one, or text
        if (partStart != std::string_view::npos) {
            size_t end = at;
            if (end > partStart && body[end - 1] == '\n')
                --end;
            if (end > partStart && body[end - 1] == '\r')
                --end;
            parts.push_back(body.substr(partStart, end - partStart));
        }
        if (closing)
            return parts;
        size_t next = eol;
        if (next < body.size() && body[next] == '\r')
            ++next;
        if (next < body.size() && body[next] == '\n')
            ++next;
        partStart = next;
        search = next;
    }
    if (partStart != std::string_view::npos)
        parts.push_back(body.substr(std::min(partStart, body.size())));
    return parts;
}

// An entity's header and body: the header ends at the first empty line (CR LF or LF alone).
std::pair<std::string_view, std::string_view> headerAndBody(std::string_view text)
{
    if (text.substr(0, 2) == "\r\n")
        return {{}, text.substr(2)};
    if (text.substr(0, 1) == "\n")
        return {{}, text.substr(1)};
    const size_t crlf = text.find("\n\r\n");
    const size_t lf = text.find("\n\n");
    if (crlf == std::string_view::npos && lf == std::string_view::npos)
        return {text, {}};
    if (lf < crlf)
        return {text.substr(0, lf + 1), text.substr(lf + 2)};
    return {text.substr(0, crlf + 1), text.substr(crlf + 3)};
}

// The parts of a multipart entity whose header `h` is already parsed; empty when it is not multipart or its body
// cannot be cut (the caller then hands the whole entity to the library).
std::vector<std::string_view> multipartParts(const vmime::shared_ptr<const vmime::header> &h, std::string_view body)
{
    const auto f = h->findField(vmime::fields::CONTENT_TYPE);
    const auto type = f ? vmime::dynamicCast<const vmime::mediaType>(f->getValue()) : nullptr;
    if (!type || type->getType() != vmime::mediaTypes::MULTIPART)
        return {};
    const auto p = vmime::dynamicCast<const vmime::parameterizedHeaderField>(f);
    const auto boundary = p ? p->findParameter("boundary") : nullptr;
    if (!boundary || boundary->getValue().getBuffer().empty())
        return {};
    return splitMultipart(body, boundary->getValue().getBuffer());
}

// One entity of a message as text: a multipart one is cut here and each part walked in turn; a leaf (or an entity
// that cannot be cut) is parsed by the library, which reads a leaf's body without searching it.
void walkText(std::string_view text, QList<MimePart> &out, int depth)
{
    constexpr int kMaxDepth = 20;
    if (depth < kMaxDepth) {
        const auto [headerText, body] = headerAndBody(text);
        auto h = vmime::make_shared<vmime::header>();
        h->parse(std::string(headerText));
        const std::vector<std::string_view> parts = multipartParts(h, body);
        if (!parts.empty()) {
            for (const std::string_view part : parts)
                walkText(part, out, depth + 1);
            return;
        }
    }
    auto part = vmime::make_shared<vmime::bodyPart>();
    part->parse(std::string(text));
    walk(part, out);
}

vmime::mailbox mailboxOf(const QString &address)
{
    return vmime::mailbox(vmime::emailAddress(utf8(address.trimmed())));
}

class ProgressAdapter : public vmime::utility::progressListener
{
public:
    explicit ProgressAdapter(std::function<void(qint64, qint64)> f) : m_f(std::move(f)) {}
    void start(const size_t predictedTotal) override { report(0, predictedTotal); }
    void progress(const size_t current, const size_t currentTotal) override { report(current, currentTotal); }
    void stop(const size_t total) override { report(total, total); }

private:
    void report(size_t current, size_t total)
    {
        if (m_f)
            m_f(static_cast<qint64>(current), static_cast<qint64>(total));
    }
    std::function<void(qint64, qint64)> m_f;
};

} // namespace

QByteArray composeMessage(const OutgoingMail &mail)
{
    initialise();
    return guarded([&] {
        vmime::messageBuilder mb;
        mb.setExpeditor(mailboxOf(mail.from));
        vmime::addressList to;
        for (const QString &r : mail.recipients)
            if (!r.trimmed().isEmpty())
                to.appendAddress(vmime::make_shared<vmime::mailbox>(mailboxOf(r)));
        mb.setRecipients(to);
        vmime::addressList cc;
        for (const QString &r : mail.cc)
            if (!r.trimmed().isEmpty())
                cc.appendAddress(vmime::make_shared<vmime::mailbox>(mailboxOf(r)));
        mb.setCopyRecipients(cc);
        // Blind copies travel only in the envelope (the caller adds them to the recipients of the send): a
        // Bcc header would show them to everyone who receives the message.
        for (const QString &r : mail.bcc)
            mailboxOf(r); // an address the library refuses fails here, as the others do
        mb.setSubject(vmime::text(utf8(mail.subject), vmime::charsets::UTF_8));
        mb.getTextPart()->setCharset(vmime::charsets::UTF_8);
        mb.getTextPart()->setText(vmime::make_shared<vmime::stringContentHandler>(utf8(mail.body)));
        for (const QString &path : mail.attachmentPaths) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                throw MailError("no se pudo leer " + utf8(path) + ": " + utf8(f.errorString()));
            const QByteArray bytes = f.readAll();
            auto data = vmime::make_shared<vmime::stringContentHandler>(bytes.toStdString());
            auto att = vmime::make_shared<vmime::fileAttachment>(
                data, vmime::word(utf8(QFileInfo(path).fileName()), vmime::charsets::UTF_8),
                vmime::mediaType("application/octet-stream"));
            mb.appendAttachment(att);
        }
        const auto msg = mb.construct();
        const auto h = msg->getHeader();
        h->getField("X-Priority")->setValue(std::to_string(std::clamp(mail.priority, 0, 4) + 1));
        if (!mail.receipt.trimmed().isEmpty()) {
            vmime::mailboxList receipt;
            receipt.appendMailbox(vmime::make_shared<vmime::mailbox>(mailboxOf(mail.receipt)));
            h->DispositionNotificationTo()->setValue(receipt);
        }
        return QByteArray::fromStdString(msg->generate());
    });
}

ReceivedMail parseMessage(const QByteArray &raw)
{
    initialise();
    return guarded([&] {
        ReceivedMail mail;
        const std::string_view text(raw.constData(), static_cast<size_t>(raw.size()));
        const auto [headerText, body] = headerAndBody(text);
        auto h = vmime::make_shared<vmime::header>();
        h->parse(std::string(headerText));
        const std::vector<std::string_view> parts = multipartParts(h, body);
        if (!parts.empty()) {
            mail.header = headerOf(h);
            for (const std::string_view part : parts)
                walkText(part, mail.parts, 1);
            return mail;
        }
        auto msg = vmime::make_shared<vmime::message>();
        msg->parse(raw.toStdString());
        mail.header = headerOf(msg->getHeader());
        if (msg->getBody()->getPartCount() == 0)
            mail.singleBody = decoded(msg->getBody());
        walk(msg, mail.parts);
        return mail;
    });
}

HeaderInfo parseHeader(const QByteArray &raw)
{
    initialise();
    return guarded([&] {
        auto h = vmime::make_shared<vmime::header>();
        h->parse(raw.toStdString());
        return headerOf(h);
    });
}

QByteArray redirectMessage(const QByteArray &raw, const QString &subjectSuffix, const QString &recipient,
                           QString *originalFrom)
{
    initialise();
    return guarded([&] {
        auto msg = vmime::make_shared<vmime::message>();
        msg->parse(raw.toStdString());
        const auto h = msg->getHeader();
        const QString subject = textOf(h->findField(vmime::fields::SUBJECT)) + subjectSuffix;
        h->Subject()->setValue(vmime::text(utf8(subject), vmime::charsets::UTF_8));
        vmime::addressList to;
        to.appendAddress(vmime::make_shared<vmime::mailbox>(mailboxOf(recipient)));
        h->To()->setValue(to);
        for (const char *name : {vmime::fields::CC, vmime::fields::BCC})
            while (auto f = h->findField(name))
                h->removeField(f);
        if (originalFrom) {
            originalFrom->clear();
            if (auto f = h->findField(vmime::fields::FROM))
                if (auto mb = vmime::dynamicCast<const vmime::mailbox>(f->getValue()))
                    *originalFrom = qstr(mb->getEmail().toString());
        }
        return QByteArray::fromStdString(msg->generate());
    });
}

void smtpSend(const ServerSettings &server, const QString &from, const QStringList &recipients, const QByteArray &raw,
              const std::function<void(qint64, qint64)> &progress)
{
    initialise();
    guarded([&] {
        auto session = vmime::net::session::create();
        auto transport = session->getTransport(urlFor("smtp", "smtps", server));
        configure(transport, server, "smtp");
        transport->setProperty("options.need-authentication", server.authenticate);
        if (server.authenticate) {
            transport->setProperty("auth.username", utf8(server.user));
            transport->setProperty("auth.password", utf8(server.password));
        }
        vmime::mailboxList to;
        for (const QString &r : recipients)
            if (!r.trimmed().isEmpty())
                to.appendMailbox(vmime::make_shared<vmime::mailbox>(mailboxOf(r)));
        if (to.isEmpty())
            throw MailError("el mensaje no tiene destinatarios");
        transport->connect();
        struct Disconnect
        {
            vmime::shared_ptr<vmime::net::transport> &t;
            ~Disconnect()
            {
                try {
                    if (t->isConnected())
                        t->disconnect();
                } catch (...) {
                }
            }
        } disconnect{transport};
        const std::string data = raw.toStdString();
        vmime::utility::inputStreamStringAdapter is(data);
        ProgressAdapter listener(progress);
        transport->send(mailboxOf(from), to, is, data.size(), progress ? &listener : nullptr);
        return 0;
    });
}

struct Pop3Session::Impl
{
    vmime::shared_ptr<vmime::net::session> session;
    vmime::shared_ptr<vmime::net::store> store;
    vmime::shared_ptr<vmime::net::folder> folder;
    // An operation failed in the middle of a session (a time-out while a message was coming in). The mail
    // library's POP3 objects are not sound to destroy after that: their reference counts come out one short
    // and freeing the store frees it twice. Such a session is closed without destroying its objects; they stay
    // allocated (a few kilobytes per failed session) until the program ends.
    bool damaged = false;

    // Runs one operation of an open session, marking the session damaged when it fails.
    template <class F> auto operation(F &&f) -> decltype(f())
    {
        try {
            return guarded(std::forward<F>(f));
        } catch (...) {
            damaged = true;
            throw;
        }
    }

    vmime::shared_ptr<vmime::net::folder> inbox()
    {
        if (!folder || !store || !store->isConnected())
            throw MailError("no hay conexión con el servidor POP3");
        return folder;
    }
    vmime::shared_ptr<vmime::net::message> message(int n)
    {
        auto f = inbox();
        if (n < 1 || static_cast<size_t>(n) > f->getMessageCount())
            throw MailError("no existe el mensaje " + std::to_string(n));
        return f->getMessage(static_cast<size_t>(n));
    }
};

Pop3Session::Pop3Session() : m_impl(std::make_unique<Impl>())
{
    initialise();
}

Pop3Session::~Pop3Session()
{
    drop();
}

void Pop3Session::connect(const ServerSettings &server)
{
    drop();
    guarded([&] {
        m_impl->session = vmime::net::session::create();
        m_impl->store = m_impl->session->getStore(urlFor("pop3", "pop3s", server));
        configure(m_impl->store, server, "pop3");
        m_impl->store->setProperty("options.need-authentication", true);
        m_impl->store->setProperty("auth.username", utf8(server.user));
        m_impl->store->setProperty("auth.password", utf8(server.password));
        m_impl->store->setProperty("options.apop", false);
        m_impl->store->setProperty("options.sasl", false);
        m_impl->store->connect();
        m_impl->folder = m_impl->store->getDefaultFolder();
        m_impl->folder->open(vmime::net::folder::MODE_READ_WRITE);
        return 0;
    });
}

bool Pop3Session::isConnected() const
{
    return m_impl->store && m_impl->store->isConnected() && m_impl->folder;
}

int Pop3Session::count()
{
    return m_impl->operation([&] { return static_cast<int>(m_impl->inbox()->getMessageCount()); });
}

qint64 Pop3Session::size(int n)
{
    return m_impl->operation([&] {
        auto msg = m_impl->message(n);
        m_impl->inbox()->fetchMessage(msg, vmime::net::fetchAttributes::SIZE); // LIST n
        return static_cast<qint64>(msg->getSize());
    });
}

QByteArray Pop3Session::header(int n)
{
    return m_impl->operation([&] {
        auto msg = m_impl->message(n);
        m_impl->inbox()->fetchMessage(msg, vmime::net::fetchAttributes::FULL_HEADER);
        return QByteArray::fromStdString(msg->getHeader()->generate());
    });
}

QByteArray Pop3Session::retrieve(int n, const std::function<void(qint64, qint64)> &progress)
{
    return m_impl->operation([&] {
        std::string out;
        vmime::utility::outputStreamStringAdapter os(out);
        ProgressAdapter listener(progress);
        m_impl->message(n)->extract(os, progress ? &listener : nullptr);
        return QByteArray::fromStdString(out);
    });
}

void Pop3Session::remove(int n)
{
    m_impl->operation([&] {
        m_impl->inbox()->deleteMessages(vmime::net::messageSet::byNumber(static_cast<size_t>(n)));
        return 0;
    });
}

void Pop3Session::quit()
{
    if (m_impl->damaged) { // the connection broke earlier: nothing can be committed on it
        drop();
        return;
    }
    m_impl->operation([&] {
        if (m_impl->folder && m_impl->folder->isOpen())
            m_impl->folder->close(true);
        if (m_impl->store && m_impl->store->isConnected())
            m_impl->store->disconnect();
        return 0;
    });
    m_impl->folder.reset();
    m_impl->store.reset();
    m_impl->session.reset();
}

void Pop3Session::drop()
{
    if (m_impl->damaged) {
        static std::mutex keptLock;
        static auto *kept = new std::vector<std::shared_ptr<void>>; // never freed, see Impl::damaged
        const std::lock_guard lock(keptLock);
        kept->push_back(std::exchange(m_impl->folder, {}));
        kept->push_back(std::exchange(m_impl->store, {}));
        kept->push_back(std::exchange(m_impl->session, {}));
        m_impl->damaged = false;
        return;
    }
    try {
        if (m_impl->folder && m_impl->folder->isOpen())
            m_impl->folder->close(false);
        if (m_impl->store && m_impl->store->isConnected())
            m_impl->store->disconnect();
    } catch (...) {
        // A connection that is already broken has nothing left to close.
    }
    m_impl->folder.reset();
    m_impl->store.reset();
    m_impl->session.reset();
}

} // namespace tav::mail
