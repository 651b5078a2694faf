#include "platform/soap/SoapClient.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace tav::soap {

const QString &SoapClient::envelopeNamespace()
{
    static const QString ns = QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");
    return ns;
}

QByteArray SoapClient::envelope(const QString &serviceNamespace, const QString &operation,
                                const ParameterWriter &writeParameters)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeNamespace(envelopeNamespace(), QStringLiteral("soap"));
    w.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"), QStringLiteral("xsi"));
    w.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema"), QStringLiteral("xsd"));
    w.writeStartElement(envelopeNamespace(), QStringLiteral("Envelope"));
    w.writeStartElement(envelopeNamespace(), QStringLiteral("Body"));
    // Document/literal: the operation's element in the service's namespace, its parameters inside.
    w.writeStartElement(operation);
    w.writeDefaultNamespace(serviceNamespace);
    if (writeParameters)
        writeParameters(w);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

SoapResult SoapClient::parseResponse(const QByteArray &body, const QString &operation)
{
    SoapResult result;
    QXmlStreamReader r(body);
    const QString resultName = operation + QStringLiteral("Result");
    bool found = false;
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (r.name() == QLatin1String("Fault") && r.namespaceUri() == envelopeNamespace()) {
            QString code, text;
            while (!r.atEnd()) {
                const auto token = r.readNext();
                if (token == QXmlStreamReader::EndElement && r.name() == QLatin1String("Fault"))
                    break;
                if (token != QXmlStreamReader::StartElement)
                    continue;
                if (r.name() == QLatin1String("faultcode"))
                    code = r.readElementText().trimmed();
                else if (r.name() == QLatin1String("faultstring"))
                    text = r.readElementText().trimmed();
            }
            result.error = code.isEmpty() ? text : code + QStringLiteral(": ") + text;
            if (result.error.isEmpty())
                result.error = QStringLiteral("Error SOAP sin descripción");
            return result;
        }
        if (r.name() == resultName) {
            result.text = r.readElementText(QXmlStreamReader::IncludeChildElements);
            found = true;
            break;
        }
    }
    if (r.hasError() && !found) {
        result.error = QStringLiteral("Respuesta SOAP mal formada: ") + r.errorString();
        return result;
    }
    if (!found) {
        result.error = QStringLiteral("La respuesta SOAP no contiene ") + resultName;
        return result;
    }
    result.ok = true;
    return result;
}

SoapResult SoapClient::call(const QString &operation, const ParameterWriter &writeParameters,
                            const std::atomic_bool *cancel) const
{
    return post(operation, envelope(m_settings.serviceNamespace, operation, writeParameters), cancel);
}

SoapResult SoapClient::post(const QString &operation, const QByteArray &body, const std::atomic_bool *cancel) const
{
    SoapResult result;
    if (!m_settings.url.isValid() || m_settings.url.isEmpty()) {
        result.error = QStringLiteral("Dirección del servicio inválida: ") + m_settings.url.toString();
        return result;
    }
    QNetworkAccessManager network;
    QNetworkRequest request(m_settings.url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/xml; charset=utf-8"));
    request.setRawHeader("SOAPAction", '"' + soapAction(operation).toUtf8() + '"');
    request.setTransferTimeout(m_settings.timeoutMs);
    if (m_settings.url.scheme() == QLatin1String("https")) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        if (!m_settings.caFile.isEmpty()) {
            const QList<QSslCertificate> extra = QSslCertificate::fromPath(m_settings.caFile, QSsl::Pem);
            if (extra.isEmpty()) {
                result.error =
                    QStringLiteral("No se pudo leer el archivo de autoridades certificantes: ") + m_settings.caFile;
                return result;
            }
            tls.addCaCertificates(extra);
        }
        request.setSslConfiguration(tls);
    }

    QNetworkReply *reply = network.post(request, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer poll;
    bool cancelled = false;
    if (cancel) {
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (cancel->load()) {
                cancelled = true;
                reply->abort();
            }
        });
        poll.start(100);
    }
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    poll.stop();

    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray answer = reply->readAll();
    const QNetworkReply::NetworkError networkError = reply->error();
    const QString networkText = reply->errorString();
    reply->deleteLater();

    if (cancelled) {
        result.error = QStringLiteral("Llamada cancelada");
        return result;
    }
    // A SOAP fault comes with status 500 and a body: the fault's text says more than the status.
    if (!answer.isEmpty() && (networkError == QNetworkReply::NoError || result.httpStatus == 500)) {
        SoapResult parsed = parseResponse(answer, operation);
        parsed.httpStatus = result.httpStatus;
        if (!parsed.ok && networkError == QNetworkReply::NoError && parsed.error.isEmpty())
            parsed.error = networkText;
        return parsed;
    }
    if (networkError == QNetworkReply::OperationCanceledError || networkError == QNetworkReply::TimeoutError)
        result.error = QStringLiteral("Tiempo de espera agotado (%1 ms)").arg(m_settings.timeoutMs);
    else if (networkError != QNetworkReply::NoError)
        result.error = networkText;
    else
        result.error = QStringLiteral("Respuesta vacía del servicio");
    return result;
}

} // namespace tav::soap
