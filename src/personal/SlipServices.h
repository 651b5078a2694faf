#pragma once

#include "platform/soap/SoapClient.h"

#include <QString>

namespace tav::personal {

// Where the central registry's web services for personal requests live. Every station calls the same fixed
// paths on one host; the host (and the extra certificate authorities, and how long a call may stay silent)
// comes from the section [ServiciosTAV] of "TavReg.INI": Host, CAFile, Timeout (seconds).
struct ServiceHost
{
    QString baseUrl = defaultHost(); // scheme and host, without a trailing '/'
    QString caFile;
    int timeoutMs = 30000;

    static QString defaultHost() { return QStringLiteral("https://tav-central"); }
    // The one target namespace of the slip, procedure and security-code services.
    static const QString &serviceNamespace();
    static ServiceHost fromIni(const QString &iniPath);
};

// A service call's outcome: the value, or why there is none.
template <typename T> struct ServiceReply
{
    bool ok = false;
    T value{};
    QString error;
};

// What a client was made with: its endpoint, and with the WSDL flag the description's address with the
// service and port it names. Calls always go to the endpoint.
struct ClientBinding
{
    QString endpoint;
    QString wsdl;
    QString service;
    QString port;
};

// The slip service: slip code and document number to the central request number; slip code to payment date.
class BoletaSoap
{
public:
    static QString endpointPath() { return QStringLiteral("/boletasvc/service.asmx"); }
    static QString wsdlPath() { return QStringLiteral("/boletasvc/service.asmx?WSDL"); }

    BoletaSoap(const ServiceHost &host, ClientBinding binding);
    const ClientBinding &binding() const { return m_binding; }

    ServiceReply<int> GetPedidoByBoletaDoc(const QString &c_boleta, int n_doc) const;
    ServiceReply<QString> GetFechaByBoleta(const QString &c_boleta) const;

private:
    ClientBinding m_binding;
    soap::SoapClient m_client;
};

// The procedure service: central request number and document number to the request's data as "name=value|".
class TramPerSoap
{
public:
    static QString endpointPath() { return QStringLiteral("/trampersvc/tramper.asmx"); }
    static QString wsdlPath() { return QStringLiteral("/trampersvc/tramper.asmx?WSDL"); }

    TramPerSoap(const ServiceHost &host, ClientBinding binding);
    const ClientBinding &binding() const { return m_binding; }

    // The result text; the service's second output (errorDesc) is not used.
    ServiceReply<QString> GetPedidoByTram(const QString &c_tped, int c_pedido, int n_doc,
                                          const QString &in_errorDesc) const;

private:
    ClientBinding m_binding;
    soap::SoapClient m_client;
};

// The security-code service: replaces a personal request's code at the central registry (1 or more: accepted).
class ActualizaSegurSoap
{
public:
    static QString endpointPath() { return QStringLiteral("/ActualizaSegurSVC/ActualizaSegur.asmx"); }
    static QString wsdlPath() { return QStringLiteral("/ActualizaSegurSVC/ActualizaSegur.asmx?wsdl"); }

    ActualizaSegurSoap(const ServiceHost &host, ClientBinding binding);
    const ClientBinding &binding() const { return m_binding; }

    ServiceReply<int> ActualizarCodSegur(int c_pedtav, int c_regtav, const QString &c_segur_actual,
                                         const QString &c_segur_nuevo) const;

private:
    ClientBinding m_binding;
    soap::SoapClient m_client;
};

// The factories: with an empty address, the service's fixed address on the host (its description's address
// when `useWSDL` is set, naming the service and port too). The program always asks for a new client per call,
// without the flag and without an address.
BoletaSoap GetBoletaSoap(const ServiceHost &host, bool useWSDL = false, const QString &addr = {});
TramPerSoap GetTramPerSoap(const ServiceHost &host, bool useWSDL = false, const QString &addr = {});
ActualizaSegurSoap GetActualizaSegurSoap(const ServiceHost &host, bool useWSDL = false, const QString &addr = {});

} // namespace tav::personal
