#include "e2e/exchange/SendFixture.h"
#include "unit/personal/PersonalRequest.h"

#include "personal/PersonalRules.h"
#include "personal/PersonalWindowRules.h"
#include "personal/SlipLookup.h"
#include "personal/windows/TFCompPedBol.h"
#include "personal/windows/TFPedP.h"
#include "reports/TrpCompr.h"
#include "shell/Session.h"
#include "ui/Navigator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace tav;
using personal::PersonalWindowRules;
using personal::TFPedP;
using ui::Navigator;
using ui::Ui;

namespace {

const QString kApp = PersonalWindowRules::applicationTitle();

const char kSlips[] = "BOLETA|21000000001|20123456|900001|05/12/2026\n"
                      "TRAMITE|900001|20123456|x_ape1=GOMEZ|x_nom1=ANA|n_doc=20123456|f_nac=02/07/1985|c_sexo=F|"
                      "c_tdoc=1|c_pais=1|x_nom1p=PEDRO|c_boleta_web=21000000001|\n"
                      "SEGURIDAD_RECHAZA|99|7\n";

// The personal-request window on a new office whose transport and services are the stand-in central office.
class PersonalWindowTest : public test::SendFixture
{
protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        writeBytes("boletas.txt", kSlips);
        ASSERT_TRUE(sim->start({}, {}, {"--boletas", path("boletas.txt")})) << sim->error().toStdString();
        soap::SoapSettings endpoint = transport->endpoint();
        endpoint.url = sim->url();
        endpoint.timeoutMs = 5000;
        transport->setEndpoint(endpoint);
        QUrl host = sim->url();
        host.setPath(QString());
        writeBytes("TavReg.INI", "[ServiciosTAV]\r\nHost=" + host.toString().toUtf8() + "\r\nTimeout=5\r\n");
        ASSERT_TRUE(dm->writeSetting("m_obli_doc", "N"));

        session.user = "operador";
        slips = std::make_unique<personal::SlipLookup>(*dm);
        personalRules = std::make_unique<personal::PersonalRules>(*dm, session, *slips);
        hooks.send = [this](bool correction) {
            if (correction)
                sender->EnviarCorreccionP();
            else
                sender->EnviarPedidoP();
        };
        hooks.sendMail = [this](const exchange::OutgoingMessage &m) { return transport->Send(m); };
        // What the program's receipt would print: the report's data taken from the current request.
        hooks.printReceipt = [this] {
            ++receiptsPrinted;
            printedReceipt = reports::ComprData::fromDm(*dm);
        };
        captures.captureDocuments = [this](const QString &) { timerRanDuringCapture = dm->Timer.isActive(); };
        captures.showAnswer = [this](const QString &file) {
            shownImages.append(file);
            shownBytes = readBytes(file);
        };
        window = std::make_unique<TFPedP>(*dm, ui, *personalRules, *slips, captures, hooks);
        window->show();
        ui.setWindowVisible(personal::PersonalRules::windowName(), true);
        ui.clearRecord();
    }

    void TearDown() override
    {
        window.reset();
        personalRules.reset();
        SendFixture::TearDown();
    }

    // A saved request (number 1 of office 7) that passes the check before sending, in `state`.
    void savedRequest(const char *state = "I")
    {
        store::Dataset &pedp = test::enterPersonalRequest(*dm);
        dm->postConfirmed = true;
        ASSERT_TRUE(pedp.post()) << ui.messageTexts().join('|').toStdString();
        pedp.edit();
        pedp["C_EST"].setValue(state);
        dm->postConfirmed = true;
        ASSERT_TRUE(pedp.post());
        ui.clearRecord();
    }

    void click(const char *name) { QTest::mouseClick(window->button(QString::fromLatin1(name)), Qt::LeftButton); }
    void typeCode(const QString &text, QLineEdit *into = nullptr)
    {
        QLineEdit *e = into ? into : window->edit("C_PAGO");
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Return);
    }

    shell::SessionUser session;
    std::unique_ptr<personal::SlipLookup> slips;
    std::unique_ptr<personal::PersonalRules> personalRules;
    official::CaptureServices captures;
    personal::PersonalHooks hooks;
    std::unique_ptr<TFPedP> window;
    int receiptsPrinted = 0;
    reports::ComprData printedReceipt;
    QStringList shownImages;
    QByteArray shownBytes;
    bool timerRanDuringCapture = true;
    bool lockedCapture = true;
};

TEST_F(PersonalWindowTest, EditOfASentRequestIsRefused)
{
    savedRequest("E");
    EXPECT_FALSE(window->navigator()->trigger(Navigator::Edit));
    EXPECT_TRUE(ui.shown({{"El pedido debe estar en Trámite, Contestado ó Rechazado", kApp}}));
    EXPECT_EQ(dm->pedp->state(), store::DatasetState::Browse);
}

TEST_F(PersonalWindowTest, NavigatorRefusesInsertAndSaveWhileMessagesArrive)
{
    dm->receptionIdle = false;
    EXPECT_FALSE(window->navigator()->trigger(Navigator::Insert));
    EXPECT_TRUE(
        ui.shown({{"Advertencia: Se están recibiendo mensajes. \rVuelva a intentar en unos instantes.", kApp}}));
    dm->receptionIdle = true;
    EXPECT_TRUE(window->navigator()->trigger(Navigator::Insert));
}

TEST_F(PersonalWindowTest, CardCaptureStoresTheNewCardOnTheNextSave)
{
    savedRequest();
    captures.captureCard = [this](const official::CardCaptureRequest &request) {
        lockedCapture = request.locked;
        official::CardCaptureResult result;
        result.resultFile = path("resultado.tif");
        writeCard(result.resultFile);
        result.changed = true;
        result.rightClass = "A1234";
        result.leftClass = request.leftClass;
        return result;
    };
    TFPedP capturing(*dm, ui, *personalRules, *slips, captures, hooks);
    QTest::mouseClick(capturing.button("btDig"), Qt::LeftButton);
    EXPECT_FALSE(lockedCapture);
    EXPECT_EQ(dm->pedp->state(), store::DatasetState::Edit);
    EXPECT_EQ(dm->pedp->field("C_CLASDER").asString(), "A1234");
    EXPECT_TRUE(exists("edit.tif"));
    EXPECT_FALSE(QFile::exists(path("resultado.tif")));
    ASSERT_TRUE(capturing.navigator()->trigger(Navigator::Post)) << ui.messageTexts().join('|').toStdString();
    EXPECT_TRUE(exists("hp1.7"));
    EXPECT_FALSE(exists("edit.tif"));
}

TEST_F(PersonalWindowTest, CorrectionOfAnAnsweredRequestIsSentAsACorrection)
{
    savedRequest("C");
    ui.answerNext(Ui::No);
    EXPECT_FALSE(window->navigator()->trigger(Navigator::Edit));
    EXPECT_EQ(dm->pedp->state(), store::DatasetState::Browse);

    ui.answerNext(Ui::Yes);
    EXPECT_FALSE(window->navigator()->trigger(Navigator::Edit)); // the navigator's own edit does not run
    EXPECT_TRUE(ui.shown({{"¿Desea modificar los datos?", Ui::warningTitle(), Ui::Buttons::YesNo},
                          {"¿Desea modificar los datos?", Ui::warningTitle(), Ui::Buttons::YesNo}}));
    EXPECT_EQ(dm->pedp->state(), store::DatasetState::Edit);
    EXPECT_EQ(dm->pedp->field("C_EST").asString(), "D");
    QTest::keyClicks(window->edit("X_OBS"), "DOMICILIO NUEVO");
    ASSERT_TRUE(window->navigator()->trigger(Navigator::Post)) << ui.messageTexts().join('|').toStdString();
    EXPECT_EQ(dm->pedp->field("X_OBS").asString(), "DOMICILIO NUEVO");

    ui.clearRecord();
    click("btEnv");
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
    EXPECT_EQ(dm->pedp->field("C_EST").asString(), "E");
    ASSERT_TRUE(waitForLogLines(1));
    const auto message = messageOf(sim->messageFolders().value(0));
    EXPECT_EQ(message["Subject"], "CORRECCIONP");
}

TEST_F(PersonalWindowTest, PaymentCodeEdits)
{
    savedRequest();
    ASSERT_TRUE(window->navigator()->trigger(Navigator::Edit));
    QComboBox *types = window->procedureTypes();
    // Ten characters: not a slip code.
    typeCode("2100000000");
    EXPECT_TRUE(types->isEnabled());
    EXPECT_TRUE(ui.shownNothing());
    // A type the table lacks: said, and the code stays selected in its edit.
    typeCode("29000000001");
    EXPECT_TRUE(ui.shown({{personal::PersonalRules::unknownTypeMessage(), Ui::warningTitle()}}));
    EXPECT_EQ(window->focusWidget(), window->edit("C_PAGO"));
    EXPECT_TRUE(types->isEnabled());
    // A slip code: the type, its priority and the slip's payment date; the list stays off until the next key.
    dm->pedp->field("F_PAGO").clear();
    ui.clearRecord();
    typeCode("22000000001");
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
    EXPECT_EQ(dm->pedp->field("C_TRAM").asString(), "2");
    EXPECT_EQ(dm->pedp->field("C_PRIOR").asInteger(), 2);
    EXPECT_FALSE(types->isEnabled());
    QTest::keyClick(window->edit("C_PAGO"), Qt::Key_End);
    EXPECT_TRUE(types->isEnabled());
}

TEST_F(PersonalWindowTest, ReceiptNeedsANumberAndGoesToPrinterOrMail)
{
    ASSERT_TRUE(window->navigator()->trigger(Navigator::Insert));
    click("btImpComp");
    EXPECT_TRUE(ui.shown({{"Debe grabar los datos para obtener el número de pedido\rantes de imprimir el "
                           "comprobante",
                           kApp}}));
    ASSERT_TRUE(window->navigator()->trigger(Navigator::Cancel));

    savedRequest();
    ui.answerNext(Ui::No);
    click("btImpComp");
    EXPECT_EQ(receiptsPrinted, 1);
    EXPECT_EQ(printedReceipt.request, dm->pedp->field("C_PED").asString());
    EXPECT_EQ(printedReceipt.securityCode, dm->pedp->field("C_SEGUR").asString());
    EXPECT_EQ(printedReceipt.securityCode.size(), 10);

    // By mail: asked again while the address is not one; the mail goes through the office's transport.
    ui.clearRecord();
    ui.answerNext(Ui::Yes);
    ui.answerNextInput(QStringLiteral("juan@correo"));
    ui.answerNextInput(QStringLiteral("juan@correo.com"));
    click("btImpComp");
    EXPECT_TRUE(ui.shown({{"¿Enviar comprobante por Email?", Ui::confirmTitle(), Ui::Buttons::YesNo},
                          {"Email Inválido", kApp},
                          {"Email Enviado Exitosamente", kApp}}));
    ASSERT_EQ(ui.inputBoxes().size(), 2);
    EXPECT_EQ(ui.inputBoxes().at(0).initialText, "DIRECCION DE EMAIL");
    EXPECT_EQ(ui.inputBoxes().at(1).initialText, "juan@correo"); // what was typed, to be corrected
    ASSERT_TRUE(waitForLogLines(1));
    const auto message = messageOf(sim->messageFolders().value(0));
    EXPECT_EQ(message["Recipients"], "juan@correo.com");
    EXPECT_EQ(message["Subject"], "Comprobante del Trámite de Antecedentes Penales");
    EXPECT_TRUE(message["Body"].endsWith(" eligiendo la opción TAV con el código de pedido: 1 código de regional:7 y "
                                         "código de seguridad: " +
                                         dm->pedp->field("C_SEGUR").asString()))
        << message["Body"].toStdString();

    // Cancelling the address ends the command without a mail.
    ui.clearRecord();
    ui.answerNext(Ui::Yes);
    ui.answerNextInput(std::nullopt);
    click("btImpComp");
    EXPECT_TRUE(ui.shown({{"¿Enviar comprobante por Email?", Ui::confirmTitle(), Ui::Buttons::YesNo}}));
}

TEST(EmailAddress, StateMachine)
{
    const std::pair<const char *, bool> cases[] = {
        {"juan@correo.com", true},
        {"juan.perez@mail.correo.com.ar", true},
        {"\"juan perez\"@correo.com", true},
        {"a+b!#$%&'*=?^_`{|}~-@x.y", true},
        {"\"a\\\"b\"@correo.com", true},
        {"juan@correo", false},
        {"juan@1correo.com", false},
        {"juan@correo.1com", false},
        {"juan@correo-.com", false},
        {"juan@correo.com-", false},
        {"juan@correo.com ", false},
        {"juan..perez@correo.com", false},
        {".juan@correo.com", false},
        {"juan@@correo.com", false},
        {"@correo.com", false},
        {"", false},
        {"juan", false},
        {"juan@correo..com", false},
        {"\"juan\rperez\"@correo.com", false},
        {"juan perez@correo.com", false},
    };
    for (const auto &[address, valid] : cases)
        EXPECT_EQ(PersonalWindowRules::validEmail(QString::fromUtf8(address)), valid) << address;
    EXPECT_TRUE(PersonalWindowRules::validEmail(QStringLiteral("josé@correo.com"))); // characters 128 to 255
}

TEST_F(PersonalWindowTest, ControlsFollowTheSettings)
{
    ASSERT_TRUE(dm->writeSetting("m_es_suc", "N"));
    ASSERT_TRUE(dm->writeSetting("m_domic", "N"));
    window->hide();
    window->show();
    EXPECT_FALSE(window->button("btEstKorvast")->isVisible());
    EXPECT_FALSE(window->findChild<QCheckBox *>("ckM_EXCART51")->isVisible());
    EXPECT_FALSE(window->edit("C_PAGO_DOMIC")->isVisible());
    ASSERT_TRUE(dm->writeSetting("m_es_suc", "S"));
    ASSERT_TRUE(dm->writeSetting("m_domic", "S"));
    window->hide();
    window->show();
    EXPECT_TRUE(window->button("btEstKorvast")->isVisible());
    EXPECT_TRUE(window->findChild<QCheckBox *>("ckM_EXCART51")->isVisible());
    EXPECT_TRUE(window->edit("C_PAGO_DOMIC")->isVisible());
    EXPECT_FALSE(window->fingerprintMenu()->actions().at(1)->isEnabled()); // live scan: not installed yet
}

TEST_F(PersonalWindowTest, DocumentsAndAnswerLeaveTheReceptionTimerOn)
{
    savedRequest();
    dm->Timer.start();
    click("btDoc");
    EXPECT_FALSE(timerRanDuringCapture);
    EXPECT_TRUE(dm->Timer.isActive());
    click("btContes");
    EXPECT_TRUE(ui.shown({{"El pedido no ha sido contestado o rechazado", Ui::errorTitle()}}));
    EXPECT_TRUE(dm->Timer.isActive());
    dm->Timer.stop();
}

TEST_F(PersonalWindowTest, AnswerByStateAndResult)
{
    savedRequest("C");
    store::Dataset &pedp = *dm->pedp;
    const auto set = [&](const char *field, const QVariant &value) {
        pedp.edit();
        pedp[field].setValue(value);
        dm->postConfirmed = true;
        ASSERT_TRUE(pedp.post());
        ui.clearRecord();
    };
    set("C_RES", "N");
    click("btContes");
    EXPECT_TRUE(ui.shown({{"Verifique si el certificado está disponible en la web", kApp}}));
    set("C_RES", "S");
    click("btContes");
    EXPECT_TRUE(ui.shown({{"No existe el archivo con la imagen de la contestación\rni tampoco el número de carta "
                           "certificada",
                           kApp}}));
    set("N_CERT", "RR123");
    click("btContes");
    EXPECT_TRUE(ui.shown({{"Pedido contestado por correo postal, certificada número: RR123", kApp}}));
    // The answer image is shown through a scratch copy that does not outlive the viewer.
    writeBytes("cp1.7", "certificado");
    ui.clearRecord();
    click("btContes");
    EXPECT_TRUE(ui.shownNothing());
    ASSERT_EQ(shownImages.size(), 1);
    EXPECT_EQ(shownBytes, QByteArray("certificado"));
    EXPECT_FALSE(QFile::exists(shownImages.at(0)));
    // Rejected: the reason, then the image.
    set("C_EST", "R");
    set("X_RECHAZO", "FALTA LA FIRMA DEL SOLICITANTE");
    click("btContes");
    EXPECT_TRUE(ui.shown({{"FALTA LA FIRMA DEL SOLICITANTE", "Motivo del Rechazo"}}));
    EXPECT_EQ(shownImages.size(), 2);
    EXPECT_EQ(window->rules().counter(), 2);
}

TEST_F(PersonalWindowTest, RegeneratingTheSecurityCode)
{
    savedRequest();
    const QString before = dm->pedp->field("C_SEGUR").asString();
    // Accepted: stored, and the citizen gets a new receipt.
    ui.answerNext(Ui::Yes);
    ui.answerNext(Ui::No);
    click("btRegen");
    const QString after = dm->pedp->field("C_SEGUR").asString();
    EXPECT_NE(after, before);
    EXPECT_EQ(after.size(), 10);
    EXPECT_EQ(dm->pedp->state(), store::DatasetState::Browse);
    EXPECT_EQ(receiptsPrinted, 1);
    EXPECT_EQ(printedReceipt.securityCode, after) << "the new receipt carries the new code";
    // The central office cannot be reached: the code stays.
    sim->stop();
    ui.clearRecord();
    ui.answerNext(Ui::Yes);
    click("btRegen");
    EXPECT_EQ(dm->pedp->field("C_SEGUR").asString(), after);
    ASSERT_EQ(ui.messages().size(), 2);
    EXPECT_TRUE(ui.messages().at(1).text.startsWith(
        "Imposible conectarse con TAV Central para actualizar el código de seguridad\r"));
    EXPECT_EQ(ui.messages().at(1).text.count('\r'), 2);
}

TEST_F(PersonalWindowTest, ComparisonWindowColoursAndAnswers)
{
    savedRequest();
    QString error;
    ASSERT_EQ(slips->ObtenerDatosBoleta("21000000001", 20123456, error), 1) << error.toStdString();
    personal::TFCompPedBol comparison(*dm, ui);
    comparison.fill("21000000001", 7, 1);
    const auto colour = [](QLabel *l) { return l->palette().color(QPalette::WindowText); };
    EXPECT_EQ(comparison.requestValue("Apellidos:")->text(), "PEREZ ");
    EXPECT_EQ(comparison.slipValue("Apellidos:")->text(), "GOMEZ ");
    EXPECT_EQ(colour(comparison.requestValue("Apellidos:")), personal::TFCompPedBol::differColour());
    EXPECT_EQ(colour(comparison.slipValue("Apellidos:")), personal::TFCompPedBol::differColour());
    EXPECT_EQ(comparison.slipValue("Número:")->text(), "20123456");
    EXPECT_EQ(colour(comparison.slipValue("Número:")), personal::TFCompPedBol::agreeColour());
    EXPECT_EQ(comparison.slipValue("Nacionalidad:")->text(), "ARGENTINA");
    EXPECT_EQ(colour(comparison.requestValue("Nacionalidad:")), personal::TFCompPedBol::agreeColour());
    EXPECT_EQ(comparison.slipValue("Tipo Documento:")->text(), "DOCUMENTO UNICO");
    EXPECT_EQ(comparison.slipValue("Código:")->text(), "21000000001");

    comparison.show();
    QTest::mouseClick(comparison.findChild<QPushButton *>("btCancelar"), Qt::LeftButton);
    EXPECT_EQ(comparison.result(), QDialog::Rejected);
    comparison.show();
    ui.answerNext(Ui::No);
    QTest::mouseClick(comparison.findChild<QPushButton *>("btContinuar"), Qt::LeftButton);
    EXPECT_TRUE(comparison.isVisible());
    ui.answerNext(Ui::Yes);
    QTest::mouseClick(comparison.findChild<QPushButton *>("btContinuar"), Qt::LeftButton);
    EXPECT_EQ(comparison.result(), QDialog::Accepted);
    EXPECT_TRUE(ui.shown({{"Aún hay datos que difieren de la boleta\rEstá seguro que desea continuar?",
                           Ui::confirmTitle(), Ui::Buttons::YesNo},
                          {"Aún hay datos que difieren de la boleta\rEstá seguro que desea continuar?",
                           Ui::confirmTitle(), Ui::Buttons::YesNo}}));
}

} // namespace
