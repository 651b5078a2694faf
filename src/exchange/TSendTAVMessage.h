#pragma once

#include "exchange/TAVMessage.h"
#include "platform/soap/SoapClient.h"

#include <QPointer>
#include <QThread>

#include <atomic>

namespace tav::exchange {

class SendLog;

// The worker of one web-service send: owns its message (plain data, its files already read), posts it
// with SendMessage and hands the log line to the user-interface thread. It never touches datasets or
// widgets. It deletes itself when it has finished.
class TSendTAVMessage : public QThread
{
    Q_OBJECT

public:
    TSendTAVMessage(TAVMessage message, soap::SoapSettings endpoint, SendLog *log);

    // Asks a running call to end now (the program is closing).
    void cancel() { m_cancel = true; }

    // The line the worker writes to the log window.
    static QString logLine(int request, int office, qint64 milliseconds, const QString &result);

protected:
    void run() override;

private:
    TAVMessage m_message;
    soap::SoapSettings m_endpoint;
    QPointer<SendLog> m_log;
    std::atomic_bool m_cancel{false};
};

} // namespace tav::exchange
