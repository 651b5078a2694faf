#include "SlipService.h"

#include "CentralSim.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cstdio>

namespace {

const QString kEnvelopeNs = QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");

// The operation's element and its parameters, in the services' namespace.
bool parseCall(const QByteArray &body, QString &operation, QMap<QString, QString> &params, QString &fault)
{
    QXmlStreamReader r(body);
    int depth = 0;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1 && (r.name() != QLatin1String("Envelope") || r.namespaceUri() != kEnvelopeNs)) {
                fault = QStringLiteral("El documento no es un sobre SOAP 1.1");
                return false;
            }
            if (depth == 3) {
                if (r.namespaceUri() != SlipService::serviceNamespace()) {
                    fault = QStringLiteral("Espacio de nombres desconocido: ") + r.namespaceUri().toString();
                    return false;
                }
                operation = r.name().toString();
            } else if (depth == 4) {
                params.insert(r.name().toString(), r.readElementText());
                --depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (r.hasError()) {
        fault = QStringLiteral("XML mal formado: ") + r.errorString();
        return false;
    }
    if (operation.isEmpty()) {
        fault = QStringLiteral("El sobre no contiene una operación");
        return false;
    }
    return true;
}

} // namespace

const QString &SlipService::serviceNamespace()
{
    static const QString ns = QStringLiteral("http://tav-central/ServiciosPersonales/");
    return ns;
}

bool SlipService::load(const QString &file, QString &error)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("no se pudo leer ") + file;
        return false;
    }
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        const QString line = QString::fromUtf8(f.readLine()).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        const QString kind = line.section(QLatin1Char('|'), 0, 0).trimmed();
        const auto part = [&](int i) { return line.section(QLatin1Char('|'), i, i).trimmed(); };
        if (kind == QLatin1String("BOLETA")) {
            m_requestBySlipDoc.insert({part(1), part(2)}, part(3));
            m_dateBySlip.insert(part(1), part(4));
        } else if (kind == QLatin1String("TRAMITE")) {
            m_procedure.insert({part(1), part(2)}, line.section(QLatin1Char('|'), 3));
        } else if (kind == QLatin1String("FALLA")) {
            m_failingSlips.insert(part(1));
        } else if (kind == QLatin1String("SEGURIDAD_RECHAZA")) {
            m_refusedCodes.insert({part(1), part(2)});
        } else {
            error = QStringLiteral("%1:%2: línea desconocida").arg(file).arg(lineNo);
            return false;
        }
    }
    return true;
}

void SlipService::route(QHttpServer &server)
{
    server.route(QStringLiteral("/boletasvc/service.asmx"), [this](const QHttpServerRequest &request) {
        return handle(request, {QStringLiteral("GetPedidoByBoletaDoc"), QStringLiteral("GetFechaByBoleta")});
    });
    server.route(QStringLiteral("/trampersvc/tramper.asmx"), [this](const QHttpServerRequest &request) {
        return handle(request, {QStringLiteral("GetPedidoByTram")});
    });
    server.route(QStringLiteral("/ActualizaSegurSVC/ActualizaSegur.asmx"), [this](const QHttpServerRequest &request) {
        return handle(request, {QStringLiteral("ActualizarCodSegur")});
    });
}

QHttpServerResponse SlipService::handle(const QHttpServerRequest &request, const QStringList &operations)
{
    const auto fault = [](const QString &code, const QString &text) {
        std::printf("central-sim: falla %s: %s\n", code.toUtf8().constData(), text.toUtf8().constData());
        std::fflush(stdout);
        return QHttpServerResponse(QByteArrayLiteral("text/xml; charset=utf-8"), CentralSim::faultEnvelope(code, text),
                                   QHttpServerResponse::StatusCode::InternalServerError);
    };
    if (request.method() != QHttpServerRequest::Method::Post)
        return QHttpServerResponse(QHttpServerResponse::StatusCode::MethodNotAllowed);
    QString operation, why;
    QMap<QString, QString> p;
    if (!parseCall(request.body(), operation, p, why))
        return fault(QStringLiteral("Client"), why);
    if (!operations.contains(operation))
        return fault(QStringLiteral("Client"), QStringLiteral("Operación desconocida: ") + operation);
    QByteArray action = request.value("SOAPAction").trimmed();
    if (action.size() >= 2 && action.startsWith('"') && action.endsWith('"'))
        action = action.mid(1, action.size() - 2);
    if (QString::fromUtf8(action) != serviceNamespace() + operation)
        return fault(QStringLiteral("Client"),
                     QStringLiteral("SOAPAction incorrecta: \"%1\"").arg(QString::fromUtf8(action)));
    const auto integer = [&](const char *name, bool &ok) { return p.value(QString::fromLatin1(name)).toInt(&ok); };

    QString answer;
    if (operation == QLatin1String("GetPedidoByBoletaDoc") || operation == QLatin1String("GetFechaByBoleta")) {
        const QString slip = p.value(QStringLiteral("c_boleta")).trimmed();
        if (m_failingSlips.contains(slip))
            return fault(QStringLiteral("Server"), QStringLiteral("Servicio de boletas no disponible"));
        if (operation == QLatin1String("GetFechaByBoleta")) {
            answer = m_dateBySlip.value(slip);
        } else {
            bool ok = false;
            integer("n_doc", ok);
            if (!ok)
                return fault(QStringLiteral("Client"), QStringLiteral("n_doc no es un entero"));
            answer = m_requestBySlipDoc.value({slip, p.value(QStringLiteral("n_doc")).trimmed()}, QStringLiteral("0"));
        }
    } else if (operation == QLatin1String("GetPedidoByTram")) {
        bool okRequest = false, okDoc = false;
        integer("c_pedido", okRequest);
        integer("n_doc", okDoc);
        if (!okRequest || !okDoc || p.value(QStringLiteral("c_tped")) != QLatin1String("I"))
            return fault(QStringLiteral("Client"), QStringLiteral("Parámetros inválidos"));
        answer = m_procedure.value(
            {p.value(QStringLiteral("c_pedido")).trimmed(), p.value(QStringLiteral("n_doc")).trimmed()});
    } else {
        bool okRequest = false, okOffice = false;
        const int requestNo = integer("c_pedtav", okRequest);
        integer("c_regtav", okOffice);
        static const QRegularExpression code(QStringLiteral("^[0-9A-F]{10}$"));
        const QPair<QString, QString> key{p.value(QStringLiteral("c_pedtav")).trimmed(),
                                          p.value(QStringLiteral("c_regtav")).trimmed()};
        const QString current = p.value(QStringLiteral("c_segur_actual"));
        const QString next = p.value(QStringLiteral("c_segur_nuevo"));
        if (!okRequest || !okOffice || requestNo <= 0 || !code.match(next).hasMatch() || m_refusedCodes.contains(key) ||
            (m_codes.contains(key) && m_codes.value(key) != current)) {
            answer = QStringLiteral("0");
        } else {
            m_codes.insert(key, next);
            answer = QStringLiteral("1");
        }
    }
    std::printf("central-sim: %s -> %s\n", operation.toUtf8().constData(), answer.left(60).toUtf8().constData());
    std::fflush(stdout);
    return QHttpServerResponse(QByteArrayLiteral("text/xml; charset=utf-8"),
                               CentralSim::resultEnvelope(operation, answer, serviceNamespace(),
                                                          operation == QLatin1String("GetPedidoByTram")
                                                              ? QStringList{QStringLiteral("errorDesc")}
                                                              : QStringList{}));
}
