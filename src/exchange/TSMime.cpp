#include "exchange/TSMime.h"

#include "exchange/SendLog.h"
#include "exchange/TSendTAVMessage.h"
#include "exchange/TdmMail.h"
#include "platform/ini/IniFile.h"
#include "platform/net/NetworkIdentity.h"
#include "store/Tdm.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace tav::exchange {

TSMime::TSMime(store::Tdm &dm, SendLog &log, QObject *parent) : QObject(parent), m_dm(dm), m_log(log)
{
    webServiceMode = dm.readSetting(QStringLiteral("usaWebService")) != QLatin1String("N");
    outlookMode = dm.readSetting(QStringLiteral("usaOutlook")) == QLatin1String("S");
    m_endpoint = readEndpoint(dm.filePath(QStringLiteral("TavReg.INI")));
}

TSMime::~TSMime()
{
    for (const QPointer<TSendTAVMessage> &w : std::as_const(m_workers))
        if (w)
            w->cancel();
    waitForWorkers(5000);
}

soap::SoapSettings TSMime::readEndpoint(const QString &iniPath)
{
    const ini::IniFile file(iniPath);
    soap::SoapSettings s;
    s.serviceNamespace = TAVMessage::serviceNamespace();
    s.url = QUrl(file.readString(QStringLiteral("TAVService"), QStringLiteral("URL"), TAVMessage::defaultUrl()));
    s.caFile = file.readString(QStringLiteral("TAVService"), QStringLiteral("CAFile"));
    const int seconds = file.readInteger(QStringLiteral("TAVService"), QStringLiteral("Timeout"), 60);
    s.timeoutMs = (seconds > 0 ? seconds : 60) * 1000;
    return s;
}

bool TSMime::Send(const OutgoingMessage &message)
{
    if (webServiceMode)
        return sendWebService(message);
    if (outlookMode)
        return outlookConnectionValid(); // never valid here: false without a message
    auto busy = m_dm.ui().busyCursor();
    QString error = QStringLiteral("Error SendMail: la cuenta de correo no está disponible");
    const bool ok = m_mail && m_mail->sendOutgoing(message, m_dm.programPath(), error);
    if (!ok) {
        m_dm.ui().message(QStringLiteral("Error al enviar: ") + error, ui::Ui::errorTitle());
    }
    return ok;
}

bool TSMime::sendWebService(const OutgoingMessage &message)
{
    auto busy = m_dm.ui().busyCursor();
    try {
        TAVMessage msg;
        const net::NetworkIdentity id = net::NetworkIdentity::current();
        msg.Pedido = message.request;
        msg.Regional = message.office;
        msg.MAC = id.mac;
        msg.HostName = id.hostName;
        msg.Recipients = message.recipient;
        msg.Subject = message.subject;
        msg.Body = message.body;
        // The files are read here, so the caller may delete or replace them as soon as this returns.
        for (const QString &name : message.attachments)
            msg.Attachments.append(Attachment::fromFile(m_dm.programDir(), name));
        auto *worker = new TSendTAVMessage(std::move(msg), m_endpoint, &m_log);
        m_workers.removeAll(nullptr);
        m_workers.append(worker);
        if (onWorkerStarting)
            onWorkerStarting(*worker);
        worker->start();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

soap::SoapResult TSMime::verify(int office)
{
    const net::NetworkIdentity id = net::NetworkIdentity::current();
    TAVMessage msg;
    msg.Regional = office;
    msg.MAC = id.mac;
    msg.HostName = id.hostName;
    const soap::SoapClient client(m_endpoint);
    return client.call(QStringLiteral("VerifyMessage"), [&](QXmlStreamWriter &w) { msg.write(w); });
}

int TSMime::runningWorkers() const
{
    int n = 0;
    for (const QPointer<TSendTAVMessage> &w : m_workers)
        if (w && !w->isFinished())
            ++n;
    return n;
}

bool TSMime::waitForWorkers(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (runningWorkers() > 0 && !deadline.hasExpired()) {
        for (const QPointer<TSendTAVMessage> &w : std::as_const(m_workers))
            if (w && !w->isFinished())
                w->wait(QDeadlineTimer(std::min<qint64>(50, deadline.remainingTime())));
        // Deliver the queued log lines and the workers' own clean-up.
        QCoreApplication::sendPostedEvents();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return runningWorkers() == 0;
}

} // namespace tav::exchange
