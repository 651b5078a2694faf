#include "personal/SlipServices.h"

#include "platform/ini/IniFile.h"

#include <QUrl>
#include <QXmlStreamWriter>

namespace tav::personal {

namespace {

// The endpoint of a client whose binding names its description: the description's address without its query.
QString endpointOf(const ClientBinding &binding)
{
    if (!binding.endpoint.isEmpty())
        return binding.endpoint;
    QUrl url(binding.wsdl);
    url.setQuery(QString());
    return url.toString();
}

soap::SoapSettings settingsFor(const ServiceHost &host, const ClientBinding &binding)
{
    soap::SoapSettings s;
    s.url = QUrl(endpointOf(binding));
    s.serviceNamespace = ServiceHost::serviceNamespace();
    s.caFile = host.caFile;
    s.timeoutMs = host.timeoutMs;
    return s;
}

ClientBinding bind(const ServiceHost &host, bool useWSDL, const QString &addr, const QString &endpointPath,
                   const QString &wsdlPath, const char *service, const char *port)
{
    ClientBinding b;
    if (useWSDL) {
        b.wsdl = addr.isEmpty() ? host.baseUrl + wsdlPath : addr;
        b.service = QString::fromLatin1(service);
        b.port = QString::fromLatin1(port);
    } else {
        b.endpoint = addr.isEmpty() ? host.baseUrl + endpointPath : addr;
    }
    return b;
}

// An integer result: a failed call, or a text that is not an integer, is a failure.
ServiceReply<int> integerReply(const soap::SoapResult &r)
{
    ServiceReply<int> out;
    if (!r.ok) {
        out.error = r.error;
        return out;
    }
    bool ok = false;
    out.value = r.text.trimmed().toInt(&ok);
    if (!ok) {
        out.error = QStringLiteral("Respuesta no numérica del servicio: ") + r.text.left(40);
        return out;
    }
    out.ok = true;
    return out;
}

ServiceReply<QString> textReply(const soap::SoapResult &r)
{
    ServiceReply<QString> out;
    out.ok = r.ok;
    out.value = r.ok ? r.text : QString();
    out.error = r.error;
    return out;
}

void writeText(QXmlStreamWriter &w, const char *name, const QString &value)
{
    w.writeTextElement(QString::fromLatin1(name), value);
}

} // namespace

const QString &ServiceHost::serviceNamespace()
{
    static const QString ns = QStringLiteral("http://tav-central/ServiciosPersonales/");
    return ns;
}

ServiceHost ServiceHost::fromIni(const QString &iniPath)
{
    const ini::IniFile file(iniPath);
    ServiceHost h;
    QString base = file.readString(QStringLiteral("ServiciosTAV"), QStringLiteral("Host"), defaultHost()).trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    h.baseUrl = base.isEmpty() ? defaultHost() : base;
    h.caFile = file.readString(QStringLiteral("ServiciosTAV"), QStringLiteral("CAFile"));
    const int seconds = file.readInteger(QStringLiteral("ServiciosTAV"), QStringLiteral("Timeout"), 30);
    h.timeoutMs = (seconds > 0 ? seconds : 30) * 1000;
    return h;
}

BoletaSoap::BoletaSoap(const ServiceHost &host, ClientBinding binding)
    : m_binding(std::move(binding)), m_client(settingsFor(host, m_binding))
{}

ServiceReply<int> BoletaSoap::GetPedidoByBoletaDoc(const QString &c_boleta, int n_doc) const
{
    return integerReply(m_client.call(QStringLiteral("GetPedidoByBoletaDoc"), [&](QXmlStreamWriter &w) {
        writeText(w, "c_boleta", c_boleta);
        writeText(w, "n_doc", QString::number(n_doc));
    }));
}

ServiceReply<QString> BoletaSoap::GetFechaByBoleta(const QString &c_boleta) const
{
    return textReply(m_client.call(QStringLiteral("GetFechaByBoleta"),
                                   [&](QXmlStreamWriter &w) { writeText(w, "c_boleta", c_boleta); }));
}

TramPerSoap::TramPerSoap(const ServiceHost &host, ClientBinding binding)
    : m_binding(std::move(binding)), m_client(settingsFor(host, m_binding))
{}

ServiceReply<QString> TramPerSoap::GetPedidoByTram(const QString &c_tped, int c_pedido, int n_doc,
                                                   const QString &in_errorDesc) const
{
    return textReply(m_client.call(QStringLiteral("GetPedidoByTram"), [&](QXmlStreamWriter &w) {
        writeText(w, "c_tped", c_tped);
        writeText(w, "c_pedido", QString::number(c_pedido));
        writeText(w, "n_doc", QString::number(n_doc));
        writeText(w, "in_errorDesc", in_errorDesc);
    }));
}

ActualizaSegurSoap::ActualizaSegurSoap(const ServiceHost &host, ClientBinding binding)
    : m_binding(std::move(binding)), m_client(settingsFor(host, m_binding))
{}

ServiceReply<int> ActualizaSegurSoap::ActualizarCodSegur(int c_pedtav, int c_regtav, const QString &c_segur_actual,
                                                         const QString &c_segur_nuevo) const
{
    return integerReply(m_client.call(QStringLiteral("ActualizarCodSegur"), [&](QXmlStreamWriter &w) {
        writeText(w, "c_pedtav", QString::number(c_pedtav));
        writeText(w, "c_regtav", QString::number(c_regtav));
        writeText(w, "c_segur_actual", c_segur_actual);
        writeText(w, "c_segur_nuevo", c_segur_nuevo);
    }));
}

BoletaSoap GetBoletaSoap(const ServiceHost &host, bool useWSDL, const QString &addr)
{
    return {host,
            bind(host, useWSDL, addr, BoletaSoap::endpointPath(), BoletaSoap::wsdlPath(), "Service", "ServiceSoap")};
}

TramPerSoap GetTramPerSoap(const ServiceHost &host, bool useWSDL, const QString &addr)
{
    return {host,
            bind(host, useWSDL, addr, TramPerSoap::endpointPath(), TramPerSoap::wsdlPath(), "TramPer", "TramPerSoap")};
}

ActualizaSegurSoap GetActualizaSegurSoap(const ServiceHost &host, bool useWSDL, const QString &addr)
{
    return {host, bind(host, useWSDL, addr, ActualizaSegurSoap::endpointPath(), ActualizaSegurSoap::wsdlPath(),
                       "ActualizaSegur", "ActualizaSegurSoap")};
}

} // namespace tav::personal
