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
    if (file.open(QIODevice::ReadOnly))
        a.fileContentBase64 = encode(file.readAll());
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

void TAVMessage::write(QXmlStreamWriter &w) const
{
    w.writeStartElement(QStringLiteral("msg"));
    w.writeTextElement(QStringLiteral("Pedido"), QString::number(Pedido));
    w.writeTextElement(QStringLiteral("Regional"), QString::number(Regional));
    w.writeTextElement(QStringLiteral("MAC"), MAC);
    w.writeTextElement(QStringLiteral("HostName"), HostName);
    w.writeTextElement(QStringLiteral("Recipients"), Recipients);
    w.writeTextElement(QStringLiteral("Subject"), Subject);
    w.writeTextElement(QStringLiteral("Body"), Body);
    w.writeStartElement(QStringLiteral("Attachments"));
    for (const Attachment &a : Attachments) {
        w.writeStartElement(QStringLiteral("Attachment"));
        w.writeTextElement(QStringLiteral("fileName"), a.fileName);
        // A bare CR would become LF in the receiver's XML parser: it travels as a character reference.
        w.writeStartElement(QStringLiteral("fileContentBase64"));
        QByteArray text = a.fileContentBase64;
        const bool lineBreak = text.endsWith("\r\n");
        if (lineBreak)
            text.chop(2);
        w.writeCharacters(QString::fromLatin1(text));
        if (lineBreak) {
            w.writeEntityReference(QStringLiteral("#13"));
            w.writeCharacters(QStringLiteral("\n"));
        }
        w.writeEndElement();
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
}

} // namespace tav::exchange
