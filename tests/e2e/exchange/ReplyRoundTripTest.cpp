#include "e2e/exchange/SendFixture.h"
#include "e2e/mail/MailServers.h"

#include "exchange/MailReception.h"
#include "exchange/ReplyHandlers.h"
#include "exchange/TdmMail.h"
#include "queries/CentralStatusLists.h"
#include "reports/ActivityReport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUrlQuery>

using namespace tav;

namespace {

// An official request goes to the stand-in central office by web service; the stand-in confirms and answers
// it by mail through the office's real mail servers; reception cycles apply the replies.
class ReplyRoundTripTest : public test::SendFixture
{
protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        ASSERT_TRUE(servers.start()) << servers.error().toStdString();
        ASSERT_TRUE(sim->start({}, {},
                               {"--smtp", QStringLiteral("127.0.0.1:%1").arg(servers.smtpPort()), "--buzon",
                                "regional7@oficina.example", "--auto", "confirmar", "--demora", "0.2"}))
            << sim->error().toStdString();
        soap::SoapSettings endpoint = transport->endpoint();
        endpoint.url = sim->url();
        endpoint.timeoutMs = 5000;
        transport->setEndpoint(endpoint);

        mail = std::make_unique<exchange::TdmMail>(*dm);

        servers.configure(*mail);
        activity = std::make_unique<reports::ActivityReport>(path("logp.txt"));
        lists = std::make_unique<queries::CentralStatusLists>(*dm);
        replies = std::make_unique<exchange::ReplyHandlers>(*dm, *activity, *lists);
        reception = std::make_unique<exchange::MailReception>(*dm, *mail, *replies, *activity, *transport);
    }
    void TearDown() override
    {
        reception.reset();
        replies.reset();
        mail.reset();
        SendFixture::TearDown();
        servers.stop();
    }

    // Waits (bounded) until the mailbox holds `count` messages (each cycle below empties it).
    bool waitForMail(int count)
    {
        QDeadlineTimer deadline(15000);
        while (servers.deliveredFiles().size() < count && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(20);
        }
        return servers.deliveredFiles().size() >= count;
    }
    // The stand-in's command: one reply for a stored message.
    QByteArray command(const QString &folder, const QString &kind)
    {
        QUrl url = sim->url();
        url.setPath("/sim/responder");
        url.setQuery(QUrlQuery{{"mensaje", folder}, {"tipo", kind}});
        QNetworkAccessManager network;
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain");
        QNetworkReply *reply = network.post(request, QByteArray());
        QDeadlineTimer deadline(15000);
        while (!reply->isFinished() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const QByteArray body = reply->readAll();
        reply->deleteLater();
        return body;
    }
    QString stateOfRequest()
    {
        dm->FlushBuffers(*dm->ped);
        EXPECT_TRUE(dm->ped->findKey(1));
        return dm->ped->field("C_EST").asString();
    }

    test::MailServers servers;
    std::unique_ptr<exchange::TdmMail> mail;
    std::unique_ptr<reports::ActivityReport> activity;
    std::unique_ptr<queries::CentralStatusLists> lists;
    std::unique_ptr<exchange::ReplyHandlers> replies;
    std::unique_ptr<exchange::MailReception> reception;
};

} // namespace

TEST_F(ReplyRoundTripTest, SentRequestIsConfirmedAndAnsweredByMail)
{
    enterRequest();
    writeCard("h1.7");
    writeBytes("d1.7", QByteArray(5000, 'd'));
    sender->EnviarPedido();
    ASSERT_TRUE(waitForLogLines(1));
    EXPECT_EQ(stateOfRequest(), "E");

    // The confirmation comes by itself.
    ASSERT_TRUE(waitForMail(1)) << sim->output().toStdString();
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(reception->lastCycle().processed, 1);
    EXPECT_EQ(stateOfRequest(), "T");
    EXPECT_EQ(dm->ped->field("N_EXPE").asInteger(), 1001);
    ASSERT_EQ(activity->lines().size(), 1);
    EXPECT_EQ(activity->lines()[0], "10/12/2026 10:00:00  Pedido Oficial 1 Recibido y en Trámite");

    // The answer on command, with its certificate image.
    const QStringList folders = sim->messageFolders();
    ASSERT_EQ(folders.size(), 1);
    const QString folder = QFileInfo(folders[0]).fileName();
    EXPECT_EQ(command(folder, "contestar"), "enviada\n");
    EXPECT_EQ(command("../" + folder, "contestar"),
              "no hay un mensaje guardado con ese nombre: ../" + folder.toUtf8() + "\n");
    EXPECT_EQ(command(folder, "otro"), "tipo de respuesta desconocido: otro\n");
    ASSERT_TRUE(waitForMail(1));
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(reception->lastCycle().processed, 1);
    EXPECT_EQ(reception->lastCycle().failed, 0);
    EXPECT_EQ(stateOfRequest(), "C");
    EXPECT_TRUE(dm->ped->field("M_CONTESTA").asBoolean());
    const QByteArray certificate = readBytes(folders[0] + "/respuestas/02-contestar/resp.tif");
    ASSERT_GT(certificate.size(), 1000);
    EXPECT_TRUE(certificate.startsWith("II*") || certificate.startsWith("MM"));
    EXPECT_EQ(readBytes(path("c1.7")), certificate);
    EXPECT_EQ(ui.statusTexts().last(), "Total mensajes de correo: Procesados: 1 - No procesados: 0 - Reenviados: 0 ");

    // The state lists name the request with the state its last reply left; a rejection follows.
    EXPECT_EQ(command(folder, "estados"), "enviada\n");
    ASSERT_TRUE(waitForMail(1));
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(reception->lastCycle().processed, 1);
    EXPECT_TRUE(activity->text().contains(QRegularExpression(R"(\n1 +.*U1001)"))) << activity->text().toStdString();
    EXPECT_EQ(command(folder, "rechazar"), "enviada\n");
    ASSERT_TRUE(waitForMail(1));
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(stateOfRequest(), "R");
    EXPECT_EQ(dm->ped->field("X_RECHAZO").asString(), "Faltan datos del solicitante");
    int count = -1;
    QString error;
    ASSERT_TRUE(mail->GetTotMsgInbox(count, error));
    EXPECT_EQ(count, 0);
}
