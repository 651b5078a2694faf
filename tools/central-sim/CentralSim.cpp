#include "CentralSim.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cstdio>

namespace {

const QString kEnvelopeNs = QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");

bool bareName(const QString &name)
{
    static const QRegularExpression device(QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QLatin1Char(':')) &&
           !name.contains(QChar(0)) && !device.match(name).hasMatch();
}

} // namespace

const QString &CentralSim::serviceNamespace()
{
    static const QString ns = QStringLiteral("http://tav-central/TAVService/");
    return ns;
}

const QString &CentralSim::messagePath()
{
    static const QString path = QStringLiteral("/TAVService/TAVMessageService.asmx");
    return path;
}

CentralSim::CentralSim(Options options) : m_options(std::move(options))
{
    QDir dir(m_options.storeDir);
    // Half-written folders of a run that was stopped are not messages.
    for (const QString &entry : dir.entryList({QStringLiteral(".tmp-*")}, QDir::Dirs | QDir::Hidden))
        QDir(dir.filePath(entry)).removeRecursively();
    for (const QString &entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const int n = entry.section(QLatin1Char('-'), 0, 0).toInt();
        m_sequence = std::max(m_sequence, n);
    }
    m_server.route(messagePath(), [this](const QHttpServerRequest &request) { return handle(request); });
}

QByteArray CentralSim::faultEnvelope(const QString &code, const QString &text)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeNamespace(kEnvelopeNs, QStringLiteral("soap"));
    w.writeStartElement(kEnvelopeNs, QStringLiteral("Envelope"));
    w.writeStartElement(kEnvelopeNs, QStringLiteral("Body"));
    w.writeStartElement(kEnvelopeNs, QStringLiteral("Fault"));
    w.writeTextElement(QStringLiteral("faultcode"), QStringLiteral("soap:") + code);
    w.writeTextElement(QStringLiteral("faultstring"), text);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray CentralSim::resultEnvelope(const QString &operation, const QString &text, const QString &ns,
                                      const QStringList &emptyElements)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeNamespace(kEnvelopeNs, QStringLiteral("soap"));
    w.writeStartElement(kEnvelopeNs, QStringLiteral("Envelope"));
    w.writeStartElement(kEnvelopeNs, QStringLiteral("Body"));
    w.writeStartElement(operation + QStringLiteral("Response"));
    w.writeDefaultNamespace(ns.isEmpty() ? serviceNamespace() : ns);
    w.writeTextElement(operation + QStringLiteral("Result"), text);
    for (const QString &name : emptyElements)
        w.writeTextElement(name, QString());
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

bool CentralSim::parse(const QByteArray &envelope, ParsedMessage &m, QString &fault)
{
    QXmlStreamReader r(envelope);
    enum { Start, InEnvelope, InBody, InOperation, InMsg, InAttachments, InAttachment, Done } state = Start;
    ParsedAttachment current;
    bool sawMsg = false;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QString name = r.name().toString();
            switch (state) {
            case Start:
                if (name != QLatin1String("Envelope") || r.namespaceUri() != kEnvelopeNs) {
                    fault = QStringLiteral("El documento no es un sobre SOAP 1.1");
                    return false;
                }
                state = InEnvelope;
                break;
            case InEnvelope:
                if (name == QLatin1String("Header")) {
                    r.skipCurrentElement();
                } else if (name == QLatin1String("Body") && r.namespaceUri() == kEnvelopeNs) {
                    state = InBody;
                } else {
                    fault = QStringLiteral("Elemento inesperado en el sobre: ") + name;
                    return false;
                }
                break;
            case InBody:
                if (r.namespaceUri() != serviceNamespace() ||
                    (name != QLatin1String("SendMessage") && name != QLatin1String("VerifyMessage"))) {
                    fault = QStringLiteral("Operación desconocida: {%1}%2").arg(r.namespaceUri().toString(), name);
                    return false;
                }
                m.operation = name;
                state = InOperation;
                break;
            case InOperation:
                if (name != QLatin1String("msg")) {
                    fault = QStringLiteral("Parámetro desconocido: ") + name;
                    return false;
                }
                sawMsg = true;
                state = InMsg;
                break;
            case InMsg: {
                if (name == QLatin1String("Attachments")) {
                    state = InAttachments;
                    break;
                }
                const QString text = r.readElementText();
                if (name == QLatin1String("Pedido"))
                    m.Pedido = text;
                else if (name == QLatin1String("Regional"))
                    m.Regional = text;
                else if (name == QLatin1String("MAC"))
                    m.MAC = text;
                else if (name == QLatin1String("HostName"))
                    m.HostName = text;
                else if (name == QLatin1String("Recipients"))
                    m.Recipients = text;
                else if (name == QLatin1String("Subject"))
                    m.Subject = text;
                else if (name == QLatin1String("Body"))
                    m.Body = text;
                else {
                    fault = QStringLiteral("Campo desconocido en el mensaje: ") + name;
                    return false;
                }
                break;
            }
            case InAttachments:
                if (name != QLatin1String("Attachment")) {
                    fault = QStringLiteral("Elemento inesperado en Attachments: ") + name;
                    return false;
                }
                current = {};
                state = InAttachment;
                break;
            case InAttachment: {
                const QString text = r.readElementText();
                if (name == QLatin1String("fileName")) {
                    current.fileName = text;
                } else if (name == QLatin1String("fileContentBase64")) {
                    if (!text.isEmpty()) {
                        QByteArray encoded = text.toLatin1();
                        if (!encoded.endsWith("\r\n")) {
                            fault = QStringLiteral("El contenido de un adjunto no termina en CR LF");
                            return false;
                        }
                        encoded.chop(2);
                        auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
                        if (!decoded || (encoded.size() % 4) != 0) {
                            fault = QStringLiteral("Base64 inválido en el adjunto ") + current.fileName;
                            return false;
                        }
                        current.bytes = *decoded;
                        current.present = true;
                    }
                } else {
                    fault = QStringLiteral("Campo desconocido en un adjunto: ") + name;
                    return false;
                }
                break;
            }
            case Done:
                fault = QStringLiteral("Contenido después del cuerpo");
                return false;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (state == InAttachment) {
                if (!bareName(current.fileName)) {
                    fault = QStringLiteral("Nombre de adjunto inválido: ") + current.fileName;
                    return false;
                }
                m.attachments.append(current);
                state = InAttachments;
            } else if (state == InAttachments) {
                state = InMsg;
            } else if (state == InMsg) {
                state = InOperation;
            } else if (state == InOperation) {
                state = InBody;
            } else if (state == InBody) {
                state = Done;
            }
        }
    }
    if (r.hasError()) {
        fault = QStringLiteral("XML mal formado: ") + r.errorString();
        return false;
    }
    if (m.operation.isEmpty() || !sawMsg) {
        fault = QStringLiteral("El sobre no contiene una operación con su mensaje");
        return false;
    }
    bool ok = false;
    m.Regional.toInt(&ok);
    if (!ok) {
        fault = QStringLiteral("Regional inválida: ") + m.Regional;
        return false;
    }
    if (m.operation == QLatin1String("SendMessage")) {
        m.Pedido.toInt(&ok);
        if (!ok) {
            fault = QStringLiteral("Pedido inválido: ") + m.Pedido;
            return false;
        }
    }
    return true;
}

bool CentralSim::store(const QByteArray &envelope, const ParsedMessage &m, QString &result)
{
    QDir root(m_options.storeDir);
    const QString name = QStringLiteral("%1-%2-%3-%4")
                             .arg(++m_sequence, 6, 10, QLatin1Char('0'))
                             .arg(m.operation, m.Pedido.isEmpty() ? QStringLiteral("0") : m.Pedido, m.Regional);
    const QString temporary = QStringLiteral(".tmp-") + name;
    QDir(root.filePath(temporary)).removeRecursively();
    const auto fail = [&](const QString &why) {
        QDir(root.filePath(temporary)).removeRecursively();
        result = why;
        return false;
    };
    if (!root.mkpath(temporary + QStringLiteral("/adjuntos")))
        return fail(QStringLiteral("No se pudo crear la carpeta ") + root.filePath(temporary));
    const QDir folder(root.filePath(temporary));
    const auto writeFile = [](const QString &path, const QByteArray &bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
    };
    if (!writeFile(folder.filePath(QStringLiteral("envelope.xml")), envelope))
        return fail(QStringLiteral("No se pudo guardar el sobre"));
    QString text;
    QTextStream meta(&text);
    meta << "Operacion=" << m.operation << "\nPedido=" << m.Pedido << "\nRegional=" << m.Regional << "\nMAC=" << m.MAC
         << "\nHostName=" << m.HostName << "\nRecipients=" << m.Recipients << "\nSubject=" << m.Subject
         << "\nBody=" << QString(m.Body).replace(QLatin1Char('\n'), QLatin1String("\\n")) << "\n";
    int i = 0;
    for (const ParsedAttachment &a : m.attachments) {
        meta << "Adjunto" << ++i << '=' << a.fileName << (a.present ? "" : " (sin contenido)") << "\n";
        if (a.present && !writeFile(folder.filePath(QStringLiteral("adjuntos/") + a.fileName), a.bytes))
            return fail(QStringLiteral("No se pudo guardar el adjunto ") + a.fileName);
    }
    meta.flush();
    if (!writeFile(folder.filePath(QStringLiteral("mensaje.txt")), text.toUtf8()))
        return fail(QStringLiteral("No se pudo guardar mensaje.txt"));
    // The finished folder appears in one step: a reader never sees half a message.
    if (!root.rename(temporary, name))
        return fail(QStringLiteral("No se pudo publicar la carpeta ") + name);
    result = root.filePath(name);
    return true;
}

QHttpServerResponse CentralSim::handle(const QHttpServerRequest &request)
{
    const auto faultResponse = [](const QString &code, const QString &text) {
        std::printf("central-sim: falla %s: %s\n", code.toUtf8().constData(), text.toUtf8().constData());
        std::fflush(stdout);
        return QHttpServerResponse(QByteArrayLiteral("text/xml; charset=utf-8"), faultEnvelope(code, text),
                                   QHttpServerResponse::StatusCode::InternalServerError);
    };
    if (request.method() != QHttpServerRequest::Method::Post)
        return QHttpServerResponse(QHttpServerResponse::StatusCode::MethodNotAllowed);
    const QByteArray envelope = request.body();
    ParsedMessage m;
    QString fault;
    if (!parse(envelope, m, fault))
        return faultResponse(QStringLiteral("Client"), fault);
    QByteArray action = request.value("SOAPAction").trimmed();
    if (action.size() >= 2 && action.startsWith('"') && action.endsWith('"'))
        action = action.mid(1, action.size() - 2);
    if (QString::fromUtf8(action) != serviceNamespace() + m.operation)
        return faultResponse(QStringLiteral("Client"),
                             QStringLiteral("SOAPAction incorrecta: \"%1\"").arg(QString::fromUtf8(action)));
    QString folder;
    if (!store(envelope, m, folder))
        return faultResponse(QStringLiteral("Server"), folder);
    QString answer;
    if (m.operation == QLatin1String("SendMessage"))
        answer = QString(m_options.sendAnswer).arg(m.Pedido, m.Regional);
    else
        answer = QString(m_options.verifyAnswer).arg(m.Regional, m.MAC, m.HostName);
    std::printf("central-sim: %s pedido %s regional %s -> %s\n", m.operation.toUtf8().constData(),
                m.Pedido.toUtf8().constData(), m.Regional.toUtf8().constData(), folder.toUtf8().constData());
    std::fflush(stdout);
    if (onStored)
        onStored(folder, m);
    return QHttpServerResponse(QByteArrayLiteral("text/xml; charset=utf-8"), resultEnvelope(m.operation, answer));
}
