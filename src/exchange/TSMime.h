#pragma once

#include "exchange/OutgoingMessage.h"
#include "exchange/TAVMessage.h"
#include "platform/soap/SoapClient.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <filesystem>
#include <functional>

namespace tav::store {
class Tdm;
}

namespace tav::exchange {

class SendLog;
class TSendTAVMessage;
class TdmMail;

// The message transport: hides behind one send operation whether a message goes to the central office's
// web service (the default), through Outlook, or as mail through the office's account. Created once, after
// the settings are readable.
class TSMime : public QObject
{
    Q_OBJECT

public:
    // Reads the two modes from the settings and the service's endpoint from "TavReg.INI".
    TSMime(store::Tdm &dm, SendLog &log, QObject *parent = nullptr);
    // Waits (bounded) for the web-service workers still running, after asking them to stop.
    ~TSMime() override;

    bool webServiceMode = true; // `usaWebService` is not "N"
    bool outlookMode = false;   // `usaOutlook` is "S"
    // Outlook automation does not exist on this system: the connection is never valid, so an Outlook send
    // returns false and the Outlook reception does nothing.
    bool outlookConnectionValid() const { return false; }

    // The mail account that carries the mail branch (set once at start).
    void setMail(TdmMail *mail) { m_mail = mail; }

    bool Send(const OutgoingMessage &message);

    // The web-service branch on its own: builds the message (reading its files now) and starts its worker.
    bool sendWebService(const OutgoingMessage &message);
    // The service test of the log window: VerifyMessage, waited for in this thread.
    soap::SoapResult verify(int office);

    const soap::SoapSettings &endpoint() const { return m_endpoint; }
    void setEndpoint(soap::SoapSettings endpoint) { m_endpoint = std::move(endpoint); }
    // Reads [TAVService] URL (default TAVMessage::defaultUrl()), CAFile and Timeout (seconds) of the file.
    static soap::SoapSettings readEndpoint(const QString &iniPath);

    // Workers still running (for the program's end and for tests).
    int runningWorkers() const;
    // Waits until no worker runs or the time is up; true when none runs.
    bool waitForWorkers(int milliseconds);

    // Set once before any send: called with each worker just before it starts.
    std::function<void(TSendTAVMessage &)> onWorkerStarting;

private:
    store::Tdm &m_dm;
    SendLog &m_log;
    soap::SoapSettings m_endpoint;
    QList<QPointer<TSendTAVMessage>> m_workers;
    TdmMail *m_mail = nullptr;
};

} // namespace tav::exchange
