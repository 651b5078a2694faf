#include "e2e/exchange/SendFixture.h"

#include "exchange/TSendTAVMessage.h"
#include "exchange/windows/TFLogEnvio.h"
#include "support/TestCertificates.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

using namespace tav;

namespace {

class WebServiceTest : public test::SendFixture
{
protected:
    // The fileContentBase64 texts of a stored envelope, in order.
    static QStringList encodedContents(const QString &folder)
    {
        QXmlStreamReader r(readBytes(folder + "/envelope.xml"));
        QStringList texts;
        while (!r.atEnd())
            if (r.readNext() == QXmlStreamReader::StartElement && r.name() == QLatin1String("fileContentBase64"))
                texts << r.readElementText();
        return texts;
    }
};

TEST_F(WebServiceTest, OfficialRequestArrivesWithEveryAttachmentAndIsSentAtOnce)
{
    startSim();
    enterRequest();
    writeCard("h1.7");
    QByteArray documents(70000, '\0');
    for (int i = 0; i < documents.size(); ++i)
        documents[i] = static_cast<char>(i * 31 % 251);
    writeBytes("d1.7", documents);

    sender->EnviarPedido();
    // Sent as soon as the worker started, before the central office answered.
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
    EXPECT_EQ(dm->ped->field("C_EST").asString(), QStringLiteral("E"));
    EXPECT_TRUE(dm->ped->field("M_ENVIADO").asBoolean());
    EXPECT_FALSE(exists("huella.tif")); // the temporary card copy is removed at once
    const QByteArray pedDat = readBytes(path("ped.dat"));
    EXPECT_TRUE(pedDat.contains("m_enviado=False\r\n")); // the values before the send

    ASSERT_TRUE(waitForLogLines(1));
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Envío pedido: 1 - regional: 7 - tiempo: ")));
    EXPECT_TRUE(log.lines()[0].endsWith(QStringLiteral("Resultado: Mensaje recibido: pedido 1 de la regional 7")))
        << log.lines()[0].toStdString();

    const QStringList folders = sim->messageFolders();
    ASSERT_EQ(folders.size(), 1);
    const auto message = messageOf(folders[0]);
    EXPECT_EQ(message["Operacion"], "SendMessage");
    EXPECT_EQ(message["Pedido"], "1");
    EXPECT_EQ(message["Regional"], "7");
    EXPECT_EQ(message["Subject"], "PEDIDO OFICIAL");
    EXPECT_EQ(message["Recipients"], "central@tav-central.example");
    EXPECT_EQ(message["Body"], "");
    // Three attachments in the list's order, each byte for byte.
    EXPECT_EQ(message["Adjunto1"], "ped.dat");
    EXPECT_EQ(message["Adjunto2"], "huella.tif");
    EXPECT_EQ(message["Adjunto3"], "docu.tif");
    EXPECT_FALSE(message.contains("Adjunto4"));
    EXPECT_EQ(readBytes(folders[0] + "/adjuntos/ped.dat"), pedDat);
    EXPECT_EQ(readBytes(folders[0] + "/adjuntos/huella.tif"), readBytes(path("h1.7")));
    EXPECT_EQ(readBytes(folders[0] + "/adjuntos/docu.tif"), documents);
}

TEST_F(WebServiceTest, UnreachableServiceStillLeavesTheRequestSentWithAnEmptyResult)
{
    startSim();
    sim->stop(); // its port is now closed
    enterRequest();
    writeCard("h1.7");
    sender->EnviarPedido();
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
    EXPECT_EQ(dm->ped->field("C_EST").asString(), QStringLiteral("E"));
    ASSERT_TRUE(waitForLogLines(1));
    EXPECT_TRUE(log.lines()[0].endsWith(QStringLiteral(" (ms) - Resultado: "))) << log.lines()[0].toStdString();
}

TEST_F(WebServiceTest, EmptyAndOddSizedFilesAndMissingFiles)
{
    startSim();
    writeBytes("vacio.dat", {});
    QByteArray odd(2737, '\0');
    for (int i = 0; i < odd.size(); ++i)
        odd[i] = static_cast<char>(255 - i % 256);
    writeBytes("impar.dat", odd);
    exchange::OutgoingMessage message{"central@x", "PRUEBA", 0, 7, {"vacio.dat", "impar.dat", "falta.dat"}, {}};
    ASSERT_TRUE(transport->sendWebService(message));
    // The files were read before the worker started: they may go at once.
    std::filesystem::remove(dir / "impar.dat");
    ASSERT_TRUE(waitForLogLines(1));
    const QStringList folders = sim->messageFolders();
    ASSERT_EQ(folders.size(), 1);
    const QStringList texts = encodedContents(folders[0]);
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0], QStringLiteral("\r\n"));
    EXPECT_EQ(texts[1].size(), 3648 + 4 + 2);
    EXPECT_TRUE(texts[1].endsWith(QStringLiteral("==\r\n")));
    EXPECT_EQ(texts[2], QString());
    EXPECT_EQ(readBytes(folders[0] + "/adjuntos/vacio.dat"), QByteArray());
    EXPECT_EQ(readBytes(folders[0] + "/adjuntos/impar.dat"), odd);
    EXPECT_FALSE(QFile::exists(folders[0] + "/adjuntos/falta.dat"));
}

TEST_F(WebServiceTest, StandInRefusesBadRequestsWithFaultsAndStoresNothing)
{
    startSim();
    const QUrl url = sim->url();
    const auto post = [&](const QByteArray &body, const QByteArray &action) {
        QNetworkAccessManager network;
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "text/xml; charset=utf-8");
        request.setRawHeader("SOAPAction", action);
        request.setTransferTimeout(5000);
        QNetworkReply *reply = network.post(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const soap::SoapResult r = soap::SoapClient::parseResponse(reply->readAll(), "SendMessage");
        reply->deleteLater();
        return r;
    };
    const QString ns = exchange::TAVMessage::serviceNamespace();
    exchange::TAVMessage good;
    good.Pedido = 3;
    good.Regional = 7;
    good.Attachments = {exchange::Attachment::of("ped.dat", "[DATA]\r\n")};
    const QByteArray envelope =
        soap::SoapClient::envelope(ns, "SendMessage", [&](QXmlStreamWriter &w) { good.write(w); });
    exchange::TAVMessage broken = good;
    broken.Attachments.append(exchange::Attachment::of("huella.tif", "xyz"));
    QByteArray brokenEnvelope = broken.envelope("SendMessage");
    ASSERT_TRUE(brokenEnvelope.contains("eHl6&#13;"));
    brokenEnvelope.replace("eHl6&#13;", "no es base64!&#13;");
    exchange::TAVMessage escaping = good;
    escaping.Attachments.append(exchange::Attachment::of("../fuera.dat", "x"));

    struct Case
    {
        const char *what;
        QByteArray body;
        QByteArray action;
        const char *fault;
    };
    const Case cases[] = {
        {"malformed", envelope.left(envelope.size() / 2), '"' + (ns + "SendMessage").toUtf8() + '"', "XML mal formado"},
        {"action", envelope, '"' + (ns + "VerifyMessage").toUtf8() + '"', "SOAPAction incorrecta"},
        {"base64", brokenEnvelope, '"' + (ns + "SendMessage").toUtf8() + '"',
         "Base64 inválido en el adjunto huella.tif"},
        {"path", soap::SoapClient::envelope(ns, "SendMessage", [&](QXmlStreamWriter &w) { escaping.write(w); }),
         '"' + (ns + "SendMessage").toUtf8() + '"', "Nombre de adjunto inválido"},
    };
    for (const Case &c : cases) {
        const soap::SoapResult r = post(c.body, c.action);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_TRUE(r.error.startsWith("soap:Client: ")) << c.what << ": " << r.error.toStdString();
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.fault))) << c.what << ": " << r.error.toStdString();
    }
    EXPECT_TRUE(sim->messageFolders().isEmpty());
    // The client turns a fault into an error too.
    soap::SoapSettings wrongNamespace = transport->endpoint();
    wrongNamespace.serviceNamespace = "urn:otro/";
    const soap::SoapResult r =
        soap::SoapClient(wrongNamespace).call("SendMessage", [&](QXmlStreamWriter &w) { good.write(w); });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.httpStatus, 500);
    EXPECT_TRUE(r.error.contains("Operación desconocida")) << r.error.toStdString();
    // A good one is stored.
    EXPECT_TRUE(post(envelope, '"' + (ns + "SendMessage").toUtf8() + '"').ok);
    EXPECT_EQ(sim->messageFolders().size(), 1);
}

TEST_F(WebServiceTest, HttpsWithTheOfficesOwnCertificateAuthority)
{
    test::TestCertificates certificates;
    ASSERT_TRUE(certificates.make(path(""))) << certificates.error.toStdString();
    ASSERT_TRUE(sim->start(certificates.certFile, certificates.keyFile)) << sim->error().toStdString();
    ASSERT_EQ(sim->url().scheme(), "https");

    soap::SoapSettings endpoint = transport->endpoint();
    endpoint.url = sim->url();
    endpoint.timeoutMs = 5000;
    // Without the office's authority the server is not trusted and nothing is delivered.
    transport->setEndpoint(endpoint);
    ASSERT_TRUE(transport->sendWebService({"c", "PRUEBA", 0, 7, {}, {}}));
    ASSERT_TRUE(waitForLogLines(1));
    EXPECT_TRUE(log.lines()[0].endsWith("Resultado: ")) << log.lines()[0].toStdString();
    EXPECT_TRUE(sim->messageFolders().isEmpty());

    // With the authority file named in the configuration file it is.
    writeBytes("TavReg.INI", QStringLiteral("[TAVService]\r\nURL=%1\r\nCAFile=%2\r\n")
                                 .arg(sim->url().toString(), certificates.caFile)
                                 .toUtf8());
    endpoint = exchange::TSMime::readEndpoint(path("TavReg.INI"));
    EXPECT_EQ(endpoint.url, sim->url());
    transport->setEndpoint(endpoint);
    writeBytes("ped.dat", "[DATA]\r\n");
    ASSERT_TRUE(transport->sendWebService({"c", "PRUEBA", 5, 7, {"ped.dat"}, {}}));
    ASSERT_TRUE(waitForLogLines(2));
    EXPECT_TRUE(log.lines()[1].endsWith("Resultado: Mensaje recibido: pedido 5 de la regional 7"))
        << log.lines()[1].toStdString();
    ASSERT_EQ(sim->messageFolders().size(), 1);
    EXPECT_EQ(readBytes(sim->messageFolders()[0] + "/adjuntos/ped.dat"), QByteArray("[DATA]\r\n"));
}

TEST_F(WebServiceTest, DefaultEndpointAndVerifyFromTheLogWindow)
{
    const soap::SoapSettings fallback = exchange::TSMime::readEndpoint(path("TavReg.INI"));
    EXPECT_EQ(fallback.url.toString(), exchange::TAVMessage::defaultUrl());
    EXPECT_EQ(fallback.url.scheme(), "https");

    startSim();
    ASSERT_TRUE(dm->writeSetting("c_regp", "0"));
    ASSERT_TRUE(dm->writeSetting("c_reg", "7"));
    exchange::TFLogEnvio window(*dm, log, *transport);
    window.verifyConfiguration();
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith("Configuración correcta: regional 7 - MAC ")) << log.lines()[0].toStdString();
    EXPECT_TRUE(log.lines()[0].contains(QRegularExpression(" - tiempo: \\d+ ms\\.$")));
    EXPECT_TRUE(window.memo()->toPlainText().contains("regional 7"));
    const auto message = messageOf(sim->messageFolders().value(0));
    EXPECT_EQ(message["Operacion"], "VerifyMessage");
    EXPECT_EQ(message["Regional"], "7");

    window.showConfiguration();
    EXPECT_EQ(log.lines().mid(1, 2), QStringList({"Código de regional oficial: 7", "Código de regional privado: 0"}));
    EXPECT_TRUE(log.lines()[3].startsWith("MAC: "));

    // A service that cannot be reached is an error for the caller (the window shows it).
    sim->stop();
    EXPECT_THROW(window.verifyConfiguration(), std::runtime_error);
}

} // namespace
