#include "exchange/TAVMessage.h"
#include "exchange/TSendTAVMessage.h"
#include "platform/os/TCrono.h"
#include "platform/soap/SoapClient.h"
#include "support/TestDir.h"

#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <gtest/gtest.h>

using namespace tav;
using exchange::Attachment;
using exchange::TAVMessage;

namespace {

TEST(TransferEncoding, Base64BlocksAndTheClosingLineBreak)
{
    struct Case
    {
        qsizetype size;
        qsizetype firstBlock; // characters before the rest
        qsizetype total;      // without the CR LF
    };
    for (const Case c : {Case{0, 0, 0}, Case{1, 4, 4}, Case{2736, 3648, 3648}, Case{2737, 3648, 3652},
                         Case{3 * 2736 + 2, 3648, 3 * 3648 + 4}}) {
        QByteArray bytes(c.size, '\0');
        for (qsizetype i = 0; i < c.size; ++i)
            bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
        const QByteArray encoded = Attachment::encode(bytes);
        ASSERT_TRUE(encoded.endsWith("\r\n")) << c.size;
        const QByteArray text = encoded.chopped(2);
        EXPECT_EQ(text.size(), c.total) << c.size;
        EXPECT_EQ(text, bytes.toBase64()) << c.size; // blocks join into the standard encoding
        EXPECT_EQ(QByteArray::fromBase64(text), bytes);
        if (c.size == 2737) {
            EXPECT_TRUE(text.endsWith("==")); // one byte left over
            EXPECT_EQ(text.left(c.firstBlock), bytes.left(2736).toBase64());
        }
    }
}

TEST(TransferEncoding, MissingFileGivesAnEmptyTextAndAnEmptyFileALineBreak)
{
    test::TestDir dir;
    QFile empty(QString::fromStdString((dir / "vacio.tif").string()));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_EQ(Attachment::fromFile(dir.path(), "vacio.tif").fileContentBase64(), QByteArray("\r\n"));
    const Attachment missing = Attachment::fromFile(dir.path(), "no-existe.tif");
    EXPECT_EQ(missing.fileName, QStringLiteral("no-existe.tif"));
    EXPECT_TRUE(missing.fileContentBase64().isEmpty());
}

TEST(TransferEncoding, TheLineBreakSurvivesTheXmlRoundTrip)
{
    TAVMessage msg;
    msg.Pedido = 12;
    msg.Regional = 7;
    msg.Subject = QStringLiteral("PEDIDO OFICIAL");
    msg.Subject = QStringLiteral("<PEDIDO & ÑANDÚ>\r");
    QByteArray bytes(5000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i % 256);
    msg.Attachments = {Attachment::of("a.dat", "x"), Attachment{"b.dat", {}, false}, Attachment::of("c.bin", bytes)};
    // The envelope written by the XML writer and the one written straight into a buffer read the same.
    for (const QByteArray &xml : {soap::SoapClient::envelope(TAVMessage::serviceNamespace(), "SendMessage",
                                                             [&](QXmlStreamWriter &w) { msg.write(w); }),
                                  msg.envelope("SendMessage")}) {
        QXmlStreamReader r(xml);
        QStringList contents;
        QString subject, operationNamespace;
        while (!r.atEnd()) {
            if (r.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (r.name() == QLatin1String("SendMessage"))
                operationNamespace = r.namespaceUri().toString();
            else if (r.name() == QLatin1String("fileContentBase64"))
                contents << r.readElementText();
            else if (r.name() == QLatin1String("Subject"))
                subject = r.readElementText();
        }
        ASSERT_FALSE(r.hasError()) << r.errorString().toStdString();
        EXPECT_EQ(operationNamespace, TAVMessage::serviceNamespace());
        EXPECT_EQ(subject, msg.Subject);
        EXPECT_EQ(contents, QStringList({"eA==\r\n", "", QString::fromLatin1(Attachment::encode(bytes))}));
    }
}

TEST(SoapResponses, ResultTextFaultsAndMalformedAnswers)
{
    const QByteArray ok =
        "<?xml version=\"1.0\"?><soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
        "<soap:Body><SendMessageResponse xmlns=\"urn:x\"><SendMessageResult>Recibido ñ"
        "</SendMessageResult></SendMessageResponse></soap:Body></soap:Envelope>";
    const soap::SoapResult good = soap::SoapClient::parseResponse(ok, "SendMessage");
    EXPECT_TRUE(good.ok);
    EXPECT_EQ(good.text, QStringLiteral("Recibido ñ"));

    const QByteArray fault = "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
                             "<soap:Fault><faultcode>soap:Client</faultcode><faultstring>Base64 inválido"
                             "</faultstring></soap:Fault></soap:Body></soap:Envelope>";
    const soap::SoapResult bad = soap::SoapClient::parseResponse(fault, "SendMessage");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.error, QStringLiteral("soap:Client: Base64 inválido"));

    EXPECT_FALSE(soap::SoapClient::parseResponse("<a><b>", "SendMessage").ok);
    EXPECT_FALSE(soap::SoapClient::parseResponse(ok, "VerifyMessage").ok);
}

TEST(TCrono, ElapsedIsZeroWhenTheCounterWrapped)
{
    os::TCrono crono;
    crono.setTicks(1000, 1250);
    EXPECT_EQ(crono.elapsed(), 250);
    crono.setTicks(4294967000LL, 200);
    EXPECT_EQ(crono.elapsed(), 0);
    crono.start();
    EXPECT_TRUE(crono.running());
    crono.stop();
    EXPECT_FALSE(crono.running());
    EXPECT_GE(crono.elapsed(), 0);
}

TEST(TSendTAVMessage, LogLine)
{
    EXPECT_EQ(exchange::TSendTAVMessage::logLine(15, 7, 32, {}),
              QStringLiteral("Envío pedido: 15 - regional: 7 - tiempo: 32 (ms) - Resultado: "));
}

} // namespace
