#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>

class QXmlStreamWriter;

namespace tav::soap {

// Where a service is and how long a call may stay silent.
struct SoapSettings
{
    QUrl url;
    QString serviceNamespace; // the SOAP action of an operation is this text followed by its name
    QString caFile;           // extra certificate authorities (PEM) trusted beside the system's; may be empty
    int timeoutMs = 60000;    // a call that receives nothing for this long fails
};

struct SoapResult
{
    bool ok = false;
    QString text;  // the operation's result element as text
    QString error; // why the call failed (network, HTTP, SOAP fault, malformed answer)
    int httpStatus = 0;
};

// A SOAP 1.1 client (document/literal, UTF-8) over Qt Network. A call blocks its caller while a local
// event loop runs, so it is used from worker threads, or from the user-interface thread where a short
// wait is acceptable (the windows keep repainting). Each call makes its own network access, so the
// client can be used from any thread; one client must not be used by two threads at once.
class SoapClient
{
public:
    using ParameterWriter = std::function<void(QXmlStreamWriter &)>;

    explicit SoapClient(SoapSettings settings) : m_settings(std::move(settings)) {}

    const SoapSettings &settings() const { return m_settings; }
    QString soapAction(const QString &operation) const { return m_settings.serviceNamespace + operation; }

    // Posts the operation with the parameters the writer adds inside its element, and waits for the answer.
    // `cancel`, when given, is polled: setting it ends the call at once with an error.
    SoapResult call(const QString &operation, const ParameterWriter &writeParameters,
                    const std::atomic_bool *cancel = nullptr) const;
    // The same with an envelope the caller wrote itself.
    SoapResult post(const QString &operation, const QByteArray &envelope,
                    const std::atomic_bool *cancel = nullptr) const;

    // The request envelope (also used by the central office's stand-in to check its own answers).
    static QByteArray envelope(const QString &serviceNamespace, const QString &operation,
                               const ParameterWriter &writeParameters);
    // The result text of "<operation>Result" in a response envelope, or the fault it carries.
    static SoapResult parseResponse(const QByteArray &body, const QString &operation);

    static const QString &envelopeNamespace();

private:
    SoapSettings m_settings;
};

} // namespace tav::soap
