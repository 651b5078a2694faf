#include "e2e/exchange/SendFixture.h"

#include "official/windows/TFped.h"
#include "ui/Navigator.h"

#include <QPushButton>
#include <QTest>

using namespace tav;
using ui::Ui;

namespace {

const QString kAlreadySent = QStringLiteral("Este pedido ya fue enviado\r¿Está seguro que desea volver a enviarlo?");

// "&Enviar" of the official-request window, with every check and question answered through the test Ui.
class TFpedSendTest : public test::SendFixture
{
protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        window = std::make_unique<official::TFped>(*dm, ui, services);
        window->sendRequest = [this] { sender->EnviarPedido(); };
        window->updateHookButtons();
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        SendFixture::TearDown();
    }

    void clickSend()
    {
        ui.clearRecord();
        QPushButton *send = window->button("btEnviar");
        ASSERT_TRUE(send->isEnabled());
        QTest::mouseClick(send, Qt::LeftButton);
    }
    void setFlags(std::initializer_list<std::pair<const char *, QVariant>> values)
    {
        // Marks the central office sets; the save rules are not the subject here.
        const auto quiet = dm->ped->beforePost.suspend();
        dm->ped->edit();
        for (const auto &[name, value] : values)
            dm->ped->field(name).setValue(value);
        ASSERT_TRUE(dm->ped->post());
    }

    official::CaptureServices services;
    std::unique_ptr<official::TFped> window;
};

TEST_F(TFpedSendTest, ChecksBeforeSendingShowTheirMessageAndSendNothing)
{
    startSim();
    enterRequest();
    // Still being edited.
    ASSERT_TRUE(window->navigator()->trigger(ui::Navigator::Edit));
    clickSend();
    EXPECT_TRUE(ui.shown(
        {{"Antes de poder enviar el pedido\rdebe terminar de ingresar la información del mismo", Ui::warningTitle()}}));
    dm->ped->cancel();
    // A card is required and there is none.
    clickSend();
    EXPECT_TRUE(ui.shown({{"Debe ingresar las impresiones dactilares", Ui::warningTitle()}}));
    // A special request needs its scanned letter.
    writeCard("h1.7");
    setFlags({{"M_ESPECIAL", true}});
    clickSend();
    EXPECT_TRUE(ui.shown({{"Si el pedido de informes es especial, debe \rescanear el oficio en la sección "
                           "Documentación",
                           Ui::warningTitle()}}));
    setFlags({{"M_ESPECIAL", false}, {"M_EXCART51", true}});
    clickSend();
    EXPECT_TRUE(ui.shown({{"Si el pedido de informes se realiza con \rexcepción al art.51, debe escanear el "
                           "\roficio en la sección Documentación",
                           Ui::warningTitle()}}));
    // A card that fails the acceptance check shows the check's message.
    setFlags({{"M_EXCART51", false}});
    writeBytes("h1.7", "no es una imagen");
    clickSend();
    EXPECT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(dm->ped->field("C_EST").asString(), "I");
    EXPECT_TRUE(sim->messageFolders().isEmpty());
    EXPECT_EQ(transport->runningWorkers(), 0);
}

TEST_F(TFpedSendTest, RepeatedSendIsAskedAndAnAnsweredRequestIsNeverSentAgain)
{
    startSim();
    enterRequest();
    writeCard("h1.7");
    clickSend();
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
    EXPECT_EQ(dm->ped->field("C_EST").asString(), "E");
    ASSERT_TRUE(waitForLogLines(1));

    ui.answerNext(Ui::No);
    clickSend();
    EXPECT_TRUE(ui.shown({{kAlreadySent, Ui::warningTitle(), Ui::Buttons::YesNo}}));
    ui.answerNext(Ui::Yes);
    clickSend();
    ASSERT_TRUE(waitForLogLines(2));
    EXPECT_EQ(sim->messageFolders().size(), 2);
    // The second message carries the record as it was: already sent, in state E.
    EXPECT_TRUE(readBytes(sim->messageFolders()[1] + "/adjuntos/ped.dat").contains("m_enviado=True\r\n"));

    setFlags({{"M_CONTESTA", true}, {"C_EST", "C"}});
    ui.answerNext(Ui::Yes);
    clickSend();
    EXPECT_TRUE(
        ui.shown({{kAlreadySent, Ui::warningTitle(), Ui::Buttons::YesNo},
                  {"¡Este pedido ya fue contestado!\rNo puede volver a enviarlo", Ui::errorTitle(), Ui::Buttons::Ok}}));
    EXPECT_EQ(dm->ped->field("C_EST").asString(), "C");
    EXPECT_EQ(sim->messageFolders().size(), 2);
}

TEST_F(TFpedSendTest, RefusedHandOverLeavesTheRequestAsItWas)
{
    enterRequest();
    writeCard("h1.7");
    // Outlook is a setting offices bring over; there is no Outlook here, so the transport refuses silently.
    transport->webServiceMode = false;
    transport->outlookMode = true;
    clickSend();
    EXPECT_TRUE(ui.shown({{"No se pudo enviar el pedido", Ui::warningTitle()}}));
    EXPECT_EQ(dm->ped->field("C_EST").asString(), "I");
    EXPECT_FALSE(dm->ped->field("M_ENVIADO").asBoolean());
    EXPECT_FALSE(exists("huella.tif"));
}

TEST_F(TFpedSendTest, TheSentRequestIsMarkedEvenWhenTheCurrentRecordMoved)
{
    startSim();
    enterRequest();
    writeCard("h1.7");
    enterRequest(); // request 2, current
    ASSERT_TRUE(dm->ped->locate("C_PED", 1));
    // While the transport works the person moves to request 2 (a mail send keeps the windows responsive).
    sender = std::make_unique<exchange::RequestSender>(*dm, [this](const exchange::OutgoingMessage &m) {
        dm->ped->last();
        return transport->Send(m);
    });
    sender->EnviarPedido();
    EXPECT_EQ(dm->ped->field("C_PED").asInteger(), 1);
    EXPECT_EQ(dm->ped->field("C_EST").asString(), "E");
    EXPECT_TRUE(dm->ped->locate("C_PED", 2));
    EXPECT_EQ(dm->ped->field("C_EST").asString(), "I");
    ASSERT_TRUE(waitForLogLines(1));
    EXPECT_TRUE(log.lines()[0].startsWith("Envío pedido: 1 - "));
}

TEST_F(TFpedSendTest, StatusRequest)
{
    startSim();
    ASSERT_TRUE(dm->writeSetting("c_regp", "0"));
    ASSERT_TRUE(dm->writeSetting("c_reg", "9"));
    sender->PedirEstado();
    EXPECT_TRUE(ui.shown({{"Se ha efectuado la petición de estado exitosamente", Ui::informationTitle()}}));
    EXPECT_FALSE(exists("GetEstado.DAT"));
    ASSERT_TRUE(waitForLogLines(1));
    const QString folder = sim->messageFolders().value(0);
    const auto message = messageOf(folder);
    EXPECT_EQ(message["Subject"], "GETESTADO");
    EXPECT_EQ(message["Pedido"], "0");
    EXPECT_EQ(message["Regional"], "9");
    EXPECT_EQ(readBytes(folder + "/adjuntos/GetEstado.DAT"), QByteArray("[DATA]\r\nc_reg=9\r\nc_regp=0\r\n"));
}

} // namespace
