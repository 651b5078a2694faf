#include "exchange/TAVMessage.h"

#include <QFile>
#include <QXmlStreamWriter>

namespace tav::exchange {

namespace {
constexpr qsizetype kBlock = 2736; // a multiple of 3: every block but the last encodes without padding
}

QByteArray Attachment::encode(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve((bytes.size() + 2) / 3 * 4 + 2);
    for (qsizetype at = 0; at < bytes.size(); at += kBlock)
        out += QByteArray::fromRawData(bytes.constData() + at, std::min(kBlock, bytes.size() - at)).toBase64();
    out += "\r\n";
    return out;
}

Attachment Attachment::fromFile(const std::filesystem::path &directory, const QString &name)
{
    Attachment a;
    a.fileName = name;
    QFile file(QString::fromStdString((directory / name.toStdString()).string()));
    if (file.open(QIODevice::ReadOnly)) {
        a.content = file.readAll();
        a.exists = true;
    }
    return a;
}

const QString &TAVMessage::serviceNamespace()
{
    static const QString ns = QStringLiteral("http://tav-central/TAVService/");
    return ns;
}

const QString &TAVMessage::defaultUrl()
{
    static const QString url = QStringLiteral("https://tav-central/TAVService/TAVMessageService.asmx");
    return url;
}

namespace {

void appendEscaped(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out += c;
        }
    }
}

void appendElement(QByteArray &out, const char *name, const QString &text)
{
    out += '<';
    out += name;
    out += '>';
    appendEscaped(out, text);
    out += "</";
    out += name;
    out += '>';
}

} // namespace

QByteArray TAVMessage::envelope(const QString &operation) const
{
    qsizetype size = 1024;
    for (const Attachment &a : Attachments)
        size += (a.content.size() + 2) / 3 * 4 + a.fileName.size() * 3 + 128;
    QByteArray out;
    out.reserve(size);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body><";
    appendEscaped(out, operation);
    out += " xmlns=\"";
    appendEscaped(out, serviceNamespace());
    out += "\"><msg>";
    appendElement(out, "Pedido", QString::number(Pedido));
    appendElement(out, "Regional", QString::number(Regional));
    appendElement(out, "MAC", MAC);
    appendElement(out, "HostName", HostName);
    appendElement(out, "Recipients", Recipients);
    appendElement(out, "Subject", Subject);
    appendElement(out, "Body", Body);
    out += "<Attachments>";
    for (const Attachment &a : Attachments) {
        out += "<Attachment>";
        appendElement(out, "fileName", a.fileName);
        out += "<fileContentBase64>";
        if (a.exists) {
            for (qsizetype at = 0; at < a.content.size(); at += kBlock)
                out += QByteArray::fromRawData(a.content.constData() + at, std::min(kBlock, a.content.size() - at))
                           .toBase64();
            out += "&#13;\n"; // the CR as a reference, or the receiver's parser turns it into LF
        }
        out += "</fileContentBase64></Attachment>";
    }
    out += "</Attachments></msg></";
    appendEscaped(out, operation);
    out += "></soap:Body></soap:Envelope>";
    return out;
}

void TAVMessage::write(QXmlStreamWriter &w) const
{
    // A bare CR would become LF in the receiver's XML parser: it travels as a character reference.
    const auto text = [&w](const QString &name, const QString &value) {
        w.writeStartElement(name);
        const QStringList pieces = value.split(QLatin1Char('\r'));
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                w.writeEntityReference(QStringLiteral("#13"));
            w.writeCharacters(pieces[i]);
        }
        w.writeEndElement();
    };
    w.writeStartElement(QStringLiteral("msg"));
    text(QStringLiteral("Pedido"), QString::number(Pedido));
    text(QStringLiteral("Regional"), QString::number(Regional));
    text(QStringLiteral("MAC"), MAC);
    text(QStringLiteral("HostName"), HostName);
    text(QStringLiteral("Recipients"), Recipients);
    text(QStringLiteral("Subject"), Subject);
    text(QStringLiteral("Body"), Body);
    w.writeStartElement(QStringLiteral("Attachments"));
    for (const Attachment &a : Attachments) {
        w.writeStartElement(QStringLiteral("Attachment"));
        text(QStringLiteral("fileName"), a.fileName);
        text(QStringLiteral("fileContentBase64"), QString::fromLatin1(a.fileContentBase64()));
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
}

} // namespace tav::exchange
