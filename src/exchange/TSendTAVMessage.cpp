#include "exchange/TSendTAVMessage.h"

#include "exchange/SendLog.h"
#include "platform/os/TCrono.h"

#include <QMetaObject>

namespace tav::exchange {

TSendTAVMessage::TSendTAVMessage(TAVMessage message, soap::SoapSettings endpoint, SendLog *log)
    : m_message(std::move(message)), m_endpoint(std::move(endpoint)), m_log(log)
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

QString TSendTAVMessage::logLine(int request, int office, qint64 milliseconds, const QString &result)
{
    return QStringLiteral("Envío pedido: %1 - regional: %2 - tiempo: %3 (ms) - Resultado: %4")
        .arg(request)
        .arg(office)
        .arg(milliseconds)
        .arg(result);
}

void TSendTAVMessage::run()
{
    os::TCrono crono;
    QString result;
    crono.start();
    {
        const soap::SoapClient client(m_endpoint);
        const QString operation = QStringLiteral("SendMessage");
        const soap::SoapResult answer = client.post(operation, m_message.envelope(operation), &m_cancel);
        // A failed call leaves the result empty; the request keeps its sent state either way.
        if (answer.ok)
            result = answer.text;
    }
    crono.stop();
    const QString line = logLine(m_message.Pedido, m_message.Regional, crono.elapsed(), result);
    // The log belongs to the user-interface thread: the line is queued to it (never waited for, so a
    // program that is closing and waits for this worker cannot lock up).
    if (m_log)
        QMetaObject::invokeMethod(m_log.data(), "addLine", Qt::QueuedConnection, Q_ARG(QString, line));
    m_message = {}; // the encoded files go as soon as they are sent
}

} // namespace tav::exchange
