#include "unit/personal/PersonalRequest.h"
#include "unit/store/OfficeFixture.h"

#include "personal/PersonalRules.h"
#include "personal/SlipLookup.h"
#include "personal/SlipServices.h"
#include "shell/Session.h"
#include "support/CentralSimProcess.h"

#include <QDir>
#include <QFile>

using namespace tav;
using store::Dataset;
using ui::Ui;

namespace {

const char kSlips[] = "# boletas de prueba\n"
                      "BOLETA|21000000001|20123456|900001|05/12/2026 10:30:00\n"
                      "BOLETA|21000000002|20123456|900002|\n"
                      "BOLETA|21000000003|20123456|900003|no es fecha\n"
                      "BOLETA|21000000004|20123456|900004|\n"
                      "BOLETA|21000000005|20123456|900005|\n"
                      "TRAMITE|900001|20123456|c_pedido=900001|x_ape1=PEREZ GARCIA|x_ape2=|x_nom1=JUAN|"
                      "n_doc=20123456|f_nac=15/03/1980|c_pais=1|color=AZUL|c_sexo=M|f_ped=04/12/2026|"
                      "c_boleta_web=21000000001|c_segur=ABC\n"
                      "TRAMITE|900002|20123456|x_ape1=PEREZ|\n"
                      "TRAMITE|900004|20123456|x_ape1=PEREZ|n_doc=VEINTE|\n"
                      "TRAMITE|900005|20123456|x_ape1=GOMEZ|x_nom1=JUAN|n_doc=20123456|f_nac=15/03/1980|\n"
                      "FALLA|21000000009\n"
                      "SEGURIDAD_RECHAZA|45|7\n";

class SlipServiceTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        const QString root = QString::fromStdString(dir.path().string());
        QFile data(QDir(root).filePath("boletas.txt"));
        ASSERT_TRUE(data.open(QIODevice::WriteOnly));
        data.write(kSlips);
        data.close();
        sim = std::make_unique<test::CentralSimProcess>(QStringLiteral(CENTRAL_SIM), QDir(root).filePath("central"));
        ASSERT_TRUE(sim->start({}, {}, {"--boletas", data.fileName()})) << sim->error().toStdString();
        QUrl host = sim->url();
        host.setPath(QString());
        QFile ini(QDir(root).filePath("TavReg.INI"));
        ASSERT_TRUE(ini.open(QIODevice::Append));
        ini.write("[ServiciosTAV]\r\nHost=" + host.toString().toUtf8() + "\r\nTimeout=5\r\n");
        ini.close();
        startDm();
        dm->programVersion = "2.32";
        session.user = "operador";
        slips = std::make_unique<personal::SlipLookup>(*dm);
        rules = std::make_unique<personal::PersonalRules>(*dm, session, *slips);
        ui.clearRecord();
    }

    void TearDown() override
    {
        sim.reset();
        OfficeFixture::TearDown();
    }

    Dataset &newRequest(const QString &slip)
    {
        Dataset &pedp = test::enterPersonalRequest(*dm);
        pedp["C_PAGO"].setValue(slip);
        return pedp;
    }

    int lookUp(const QString &slip, QString &error) { return slips->ObtenerDatosBoleta(slip, 20123456, error); }

    shell::SessionUser session;
    std::unique_ptr<test::CentralSimProcess> sim;
    std::unique_ptr<personal::SlipLookup> slips;
    std::unique_ptr<personal::PersonalRules> rules;
};

TEST_F(SlipServiceTest, SlipDataFillsPedBolFieldByField)
{
    QString error;
    ASSERT_EQ(lookUp("21000000001", error), 1) << error.toStdString() << ui.messageTexts().join('|').toStdString();
    EXPECT_TRUE(ui.shownNothing());
    const Dataset &bol = *dm->PedBol;
    ASSERT_EQ(bol.recordCount(), 1);
    EXPECT_EQ(bol.field("c_pedido").asInteger(), 900001);
    EXPECT_EQ(bol.field("x_ape1").asString(), "PEREZ GARCIA");
    EXPECT_TRUE(bol.field("x_ape2").isNull()); // empty value
    EXPECT_EQ(bol.field("n_doc").asInteger(), 20123456);
    EXPECT_EQ(bol.field("f_nac").asDate(), QDate(1980, 3, 15));
    EXPECT_EQ(bol.field("f_ped").asDate(), QDate(2026, 12, 4));
    EXPECT_EQ(bol.field("c_boleta_web").asString(), "21000000001");
    EXPECT_TRUE(bol.field("c_segur").isNull()); // after the last "|": not an item
    EXPECT_EQ(bol.field("x_sexo").asString(), "MASCULINO");

    // Agreement: the request's surname is the first word of the slip's.
    EXPECT_TRUE(slips->CompararConBoleta("21000000001", " PEREZ ", "JUAN", QDate(1980, 3, 15), 20123456));
    EXPECT_FALSE(slips->CompararConBoleta("21000000001", "PEREZ GARCIA LOPEZ", "JUAN", QDate(1980, 3, 15), 20123456));
    EXPECT_FALSE(slips->CompararConBoleta("21000000001", "  ", "JUAN", QDate(1980, 3, 15), 20123456));
    EXPECT_FALSE(slips->CompararConBoleta("21000000001", "PEREZ", "JUAN", QDate(1980, 3, 16), 20123456));
    EXPECT_FALSE(slips->CompararConBoleta("21000000001", "PEREZ", "JUAN", QDate(1980, 3, 15), 20123457));
    EXPECT_TRUE(slips->CompararConBoleta("", "OTRO", "OTRO", QDate(), 1));

    // The next look-up starts from an empty table.
    ASSERT_EQ(lookUp("21000000007", error), 0);
    EXPECT_EQ(bol.recordCount(), 0);
    EXPECT_TRUE(slips->CompararConBoleta("21000000001", "OTRO", "OTRO", QDate(), 1));
}

TEST_F(SlipServiceTest, LookUpFailures)
{
    QString error;
    // No procedure for the slip: the procedure service is not asked.
    EXPECT_EQ(lookUp("21000000007", error), 0);
    EXPECT_FALSE(sim->output().contains("GetPedidoByTram"));
    // One item only.
    EXPECT_EQ(lookUp("21000000002", error), -1);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(dm->PedBol->recordCount(), 0);
    // A value the field cannot take.
    EXPECT_EQ(lookUp("21000000004", error), -1);
    EXPECT_EQ(error, "Error al decodificar datos de la boleta");
    EXPECT_EQ(dm->PedBol->recordCount(), 0);
    // The slip service fails.
    EXPECT_EQ(lookUp("21000000009", error), -1);
    EXPECT_EQ(error, "Error al intentar obtener el código de la boleta.");
    EXPECT_TRUE(ui.shownNothing());
}

TEST_F(SlipServiceTest, CheckBeforeSendingAsksTheSlipService)
{
    ASSERT_TRUE(dm->writeSetting("m_fecpago", "S"));
    // In agreement.
    Dataset &pedp = newRequest("21000000001");
    EXPECT_TRUE(rules->ValidarEnvioPedp());
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
    // Different: the comparison window decides.
    pedp["C_PAGO"].setValue("21000000005");
    QString shownFor;
    rules->MostrarComparacion = [&](const QString &slip, int, int) {
        shownFor = slip;
        return false;
    };
    EXPECT_FALSE(rules->ValidarEnvioPedp());
    EXPECT_EQ(shownFor, "21000000005");
    // No procedure for this slip and document: Yes cancels the sending, No sends.
    const QString none = "El Documento del Pedido no corresponde con la Boleta ó Boleta Inexistente.\r¿Desea "
                         "cancelar el envío del pedido?";
    pedp["C_PAGO"].setValue("21000000007");
    ui.clearRecord();
    ui.answerNext(Ui::Yes);
    EXPECT_FALSE(rules->ValidarEnvioPedp());
    ui.answerNext(Ui::No);
    EXPECT_TRUE(rules->ValidarEnvioPedp());
    EXPECT_TRUE(ui.shown({{none, Ui::warningTitle(), Ui::Buttons::YesNo}, {none, Ui::warningTitle()}}));
    // Slip checking off: the service is never asked.
    const QString before = sim->output();
    dm->checkSlipData = false;
    ui.clearRecord();
    EXPECT_TRUE(rules->ValidarEnvioPedp());
    EXPECT_EQ(sim->output(), before);
    // The service cannot be reached: said, and the sending goes on.
    dm->checkSlipData = true;
    sim->stop();
    ui.clearRecord();
    EXPECT_TRUE(rules->ValidarEnvioPedp());
    EXPECT_TRUE(ui.shown({{"ERROR: Al intentar verificar los datos con la boleta.\rMensaje: Error al intentar "
                           "obtener el código de la boleta.",
                           Ui::warningTitle()}}));
}

TEST_F(SlipServiceTest, ApplyingASlipCodeTakesItsPaymentDate)
{
    Dataset &pedp = newRequest("");
    pedp["F_PAGO"].clear();
    EXPECT_TRUE(rules->AplicarCodigoBoleta("21000000001"));
    EXPECT_EQ(pedp["F_PAGO"].asDate(), QDate(2026, 12, 5));
    EXPECT_TRUE(ui.shownNothing());
    // No date for the slip: nothing is said and the date stays.
    EXPECT_TRUE(rules->AplicarCodigoBoleta("21000000002"));
    EXPECT_EQ(pedp["F_PAGO"].asDate(), QDate(2026, 12, 5));
    EXPECT_TRUE(ui.shownNothing());
    // A text that is not a date, a failing service, no service: one message each, the date stays.
    for (const char *slip : {"21000000003", "21000000009"}) {
        ui.clearRecord();
        EXPECT_TRUE(rules->AplicarCodigoBoleta(slip));
        EXPECT_TRUE(ui.shown({{personal::SlipLookup::paymentDateError(), Ui::errorTitle()}})) << slip;
        EXPECT_EQ(pedp["F_PAGO"].asDate(), QDate(2026, 12, 5));
    }
    EXPECT_EQ(ui.busyDepth(), 0);
}

TEST_F(SlipServiceTest, SecurityCodeService)
{
    const personal::ServiceHost host = slips->host();
    const auto client = personal::GetActualizaSegurSoap(host);
    auto reply = client.ActualizarCodSegur(44, 7, "0123456789", "ABCDEF0123");
    ASSERT_TRUE(reply.ok) << reply.error.toStdString();
    EXPECT_EQ(reply.value, 1);
    // The central office now knows the new code: a change from the old one is refused.
    reply = personal::GetActualizaSegurSoap(host).ActualizarCodSegur(44, 7, "0123456789", "1111111111");
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.value, 0);
    reply = personal::GetActualizaSegurSoap(host).ActualizarCodSegur(45, 7, "", "2222222222");
    EXPECT_EQ(reply.value, 0);
    sim->stop();
    reply = personal::GetActualizaSegurSoap(host).ActualizarCodSegur(44, 7, "ABCDEF0123", "3333333333");
    EXPECT_FALSE(reply.ok);
    EXPECT_FALSE(reply.error.isEmpty());
}

TEST(SlipServiceClients, FixedAddressesOnTheHost)
{
    personal::ServiceHost host;
    host.baseUrl = "https://registro.example";
    EXPECT_EQ(personal::GetBoletaSoap(host).binding().endpoint, "https://registro.example/boletasvc/service.asmx");
    const auto wsdl = personal::GetTramPerSoap(host, true);
    EXPECT_EQ(wsdl.binding().wsdl, "https://registro.example/trampersvc/tramper.asmx?WSDL");
    EXPECT_EQ(wsdl.binding().service, "TramPer");
    EXPECT_EQ(wsdl.binding().port, "TramPerSoap");
    EXPECT_EQ(personal::GetActualizaSegurSoap(host, false, "http://127.0.0.1:1/x").binding().endpoint,
              "http://127.0.0.1:1/x");
}

} // namespace
