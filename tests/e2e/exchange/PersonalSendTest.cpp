#include "e2e/exchange/SendFixture.h"

using namespace tav;
using ui::Ui;

namespace {

// The send operations of personal requests and corrections, against the stand-in central office.
class PersonalSendTest : public test::SendFixture
{
protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        startSim();
        store::Dataset &pedp = *dm->pedp;
        dm->postConfirmed = true;
        pedp.insert();
        pedp["C_PED"].setValue(44);
        pedp["C_REG"].setValue(7);
        pedp["X_APE1"].setValue("LOPEZ");
        pedp["C_EST"].setValue("I");
        pedp["M_EXCART51"].setValue(true);
        ASSERT_TRUE(pedp.post());
        ui.clearRecord();
    }

    void setState(const char *state)
    {
        dm->pedp->edit();
        dm->pedp->field("C_EST").setValue(state);
        dm->postConfirmed = true;
        ASSERT_TRUE(dm->pedp->post());
        ui.clearRecord();
    }
    QString state() const { return dm->pedp->field("C_EST").asString(); }
};

TEST_F(PersonalSendTest, ChecksQuestionsAndAttachments)
{
    sender->EnviarPedidoP();
    EXPECT_TRUE(ui.shown({{"Debe ingresar las impresiones dactilares", Ui::warningTitle()}}));
    writeBytes("zp44.7", "zip-card");
    ui.clearRecord();
    sender->EnviarPedidoP();
    EXPECT_TRUE(ui.shown({{"Debe digitalizar la documentación del pedido", Ui::warningTitle()}}));
    ASSERT_TRUE(dm->writeSetting("m_obli_doc", "N"));

    setState("T");
    ui.answerNext(Ui::No);
    sender->EnviarPedidoP();
    EXPECT_TRUE(ui.shown({{"Este pedido fue recibido por TAV Regional\ry se encuentra en trámite.\r¿Está seguro que "
                           "desea volver a enviarlo?",
                           Ui::warningTitle(), Ui::Buttons::YesNo}}));
    EXPECT_EQ(state(), "T");

    setState("C");
    sender->EnviarPedidoP();
    EXPECT_TRUE(ui.shown({{"Este pedido ya fue contestado por TAV Central\rNo se puede volver a enviarlo",
                           Ui::errorTitle(), Ui::Buttons::Ok}}));
    EXPECT_TRUE(sim->messageFolders().isEmpty());

    setState("R");
    ui.answerNext(Ui::Yes);
    sender->EnviarPedidoP();
    EXPECT_EQ(state(), "E");
    ASSERT_TRUE(waitForLogLines(1));
    const QString folder = sim->messageFolders().value(0);
    const auto message = messageOf(folder);
    EXPECT_EQ(message["Subject"], "PEDIDO PERSONAL");
    EXPECT_EQ(message["Pedido"], "44");
    EXPECT_EQ(message["Adjunto1"], "ped.dat");
    EXPECT_EQ(message["Adjunto2"], "huella.zip");
    EXPECT_FALSE(message.contains("Adjunto3"));
    EXPECT_EQ(readBytes(folder + "/adjuntos/huella.zip"), QByteArray("zip-card"));
    const QByteArray pedDat = readBytes(folder + "/adjuntos/ped.dat");
    EXPECT_FALSE(pedDat.contains("m_excart51="));
    EXPECT_TRUE(pedDat.contains("\r\nm_exc_art51=True\r\nMAC="));
    EXPECT_FALSE(exists("huella.zip"));
}

TEST_F(PersonalSendTest, CorrectionCarriesOnlyItsDataFile)
{
    setState("D");
    sender->EnviarCorreccionP();
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
    EXPECT_EQ(state(), "E");
    ASSERT_TRUE(waitForLogLines(1));
    const QString folder = sim->messageFolders().value(0);
    const auto message = messageOf(folder);
    EXPECT_EQ(message["Subject"], "CORRECCIONP");
    EXPECT_EQ(message["Adjunto1"], "ped.dat");
    EXPECT_FALSE(message.contains("Adjunto2"));
    const QByteArray pedDat = readBytes(folder + "/adjuntos/ped.dat");
    EXPECT_TRUE(pedDat.contains("\r\nm_excart51=True\r\n"));
    EXPECT_TRUE(pedDat.contains("\r\nm_exc_art51=True\r\n"));
    EXPECT_TRUE(pedDat.contains("\r\nc_est=D\r\n")); // the record as it was before the send
}

} // namespace
