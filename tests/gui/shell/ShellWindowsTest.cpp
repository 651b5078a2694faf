#include "shell/LoginRules.h"
#include "shell/MainMenuRules.h"
#include "shell/windows/CambClave.h"
#include "shell/windows/FAdminUsu.h"
#include "shell/windows/FConfig.h"
#include "shell/windows/PedirClave.h"

#include "platform/crypto/PasswordScrambler.h"
#include "platform/crypto/ProxyPassword.h"
#include "platform/text/Cp1252Qt.h"
#include "ui/DatasetModel.h"
#include "ui/Navigator.h"
#include "unit/store/OfficeFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace tav;
using shell::CambClave;
using shell::FAdminUsu;
using shell::FConfig;
using shell::PedirClave;
using shell::SessionUser;
using ui::Navigator;
using ui::Ui;

namespace {

const QString kAdvice = QStringLiteral("Para mayor seguridad, conviene que cambie su contraseña");
const QString kWrong = QStringLiteral("Usuario y/o contraseña incorrecta");

class ShellWindowsTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        ui.clearRecord();
    }

    // Types into an edit as a person does: everything in it replaced by `text`.
    static void type(QLineEdit *edit, const QString &text)
    {
        ASSERT_NE(edit, nullptr);
        edit->setFocus(Qt::TabFocusReason);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    static void click(QAbstractButton *button)
    {
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(button->isEnabled()) << button->text().toStdString();
        // Near the left edge: a check box reacts only on its box and its text, not on the room beyond.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(qMin(8, button->width() / 2), button->height() / 2));
    }

    static void showAndSettle(QWidget *window)
    {
        window->show();
        QApplication::processEvents();
    }

    // With TAV_SCREENSHOT_DIR set, each window is also rendered to "<object name>.png" there.
    static void screenshot(QWidget *window)
    {
        const QString dir = qEnvironmentVariable("TAV_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        QDir().mkpath(dir);
        window->grab().save(dir + QLatin1Char('/') + window->objectName() + QStringLiteral(".png"));
    }

    void addUser(const QString &login, const QString &password = {})
    {
        dm->usu->insert();
        dm->usu->field("C_LOGIN").setValue(login);
        if (!password.isEmpty())
            dm->usu->field("C_CLAVE").setValue(text::fromCp1252(crypto::scramblePassword(password)));
        ASSERT_TRUE(dm->usu->post());
    }

    bool hasPassword(const QString &login)
    {
        return dm->usu->locate("C_LOGIN", login) && !dm->usu->field("C_CLAVE").isNull();
    }

    SessionUser session;
};

// Runs `act` on the modal dialog once it is shown (polled for about three seconds, then it fails).
void whenModalShows(std::function<void(QWidget *)> act)
{
    auto poll = std::make_shared<std::function<void(int)>>();
    *poll = [act, poll](int triesLeft) {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            act(modal);
            *poll = nullptr;
        } else if (triesLeft > 0) {
            QTimer::singleShot(10, [poll, triesLeft] { (*poll)(triesLeft - 1); });
        } else {
            ADD_FAILURE() << "no modal dialog appeared";
            *poll = nullptr;
        }
    };
    QTimer::singleShot(0, [poll] { (*poll)(300); });
}

} // namespace

// --- configuration ---

TEST_F(ShellWindowsTest, ConfigurationShowsEditsAndWritesEverySetting)
{
    FConfig window(*dm);
    showAndSettle(&window);
    screenshot(&window);
    EXPECT_EQ(window.windowTitle(), "Configuración de TAV Regional");
    EXPECT_TRUE(ui.shownNothing());
    EXPECT_EQ(window.edit("x_reg")->text(), "OFICINA REGIONAL DEMO");
    EXPECT_EQ(window.edit("c_regp")->text(), "7");
    EXPECT_EQ(window.edit("x_toregp")->text(), "central@tav-central.example");
    EXPECT_EQ(window.edit("dias_fpago")->text(), "365");
    EXPECT_TRUE(window.checkBox("m_fecpago")->isChecked());
    EXPECT_TRUE(window.checkBox("m_chkdatbol")->isChecked());
    EXPECT_FALSE(window.checkBox("m_impauto")->isChecked());
    EXPECT_FALSE(window.checkBox("m_nomi")->isVisibleTo(&window)) << "the nominative box stays hidden";
    EXPECT_EQ(window.edit("proxy_pass")->echoMode(), QLineEdit::Password);

    type(window.edit("x_reg"), "OFICINA SUR");
    type(window.edit("c_reg"), "0");
    type(window.edit("x_toregp"), "nueva@central.example");
    type(window.edit("frec_recep"), "10");
    type(window.edit("url_cert"), "https://verificar.example");
    type(window.edit("proxy_user"), "juan");
    type(window.edit("proxy_pass"), "Clave-9X");
    EXPECT_EQ(window.edit("proxy_pass")->text(), "clave9x") << "lower-case letters and digits only";
    type(window.edit("http_proxy"), "proxy.example");
    type(window.edit("http_port"), "3128");
    click(window.checkBox("m_domic"));
    click(window.checkBox("m_fecpago"));
    click(window.checkBox("m_impauto"));
    int reloads = 0;
    QObject::connect(&window, &FConfig::settingsWritten, [&reloads] { ++reloads; });
    click(window.acceptButton());

    EXPECT_TRUE(ui.shownNothing());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(dm->readSetting("x_reg"), "OFICINA SUR");
    EXPECT_EQ(dm->readSetting("c_reg"), "0");
    EXPECT_EQ(dm->readSetting("x_toreg"), "nueva@central.example");
    EXPECT_EQ(dm->readSetting("x_toregp"), "nueva@central.example");
    EXPECT_EQ(dm->readSetting("frec_recep"), "10");
    EXPECT_EQ(dm->readSetting("m_domic"), "S");
    EXPECT_EQ(dm->readSetting("m_fecpago"), "N");
    EXPECT_EQ(dm->readSetting("m_impauto"), "S");
    EXPECT_EQ(dm->readSetting("m_nomi"), "N");
    EXPECT_EQ(dm->readSetting("http_port"), "3128");
    EXPECT_EQ(dm->readSetting("proxy_pass"), crypto::encryptProxyPassword("clave9x", "juan"));
    EXPECT_TRUE(dm->homeDelivery);
    EXPECT_TRUE(dm->automaticPrinting);

    // Shown again, the window reads what was saved, the proxy password deciphered.
    showAndSettle(&window);
    EXPECT_TRUE(ui.shownNothing());
    EXPECT_EQ(window.edit("x_reg")->text(), "OFICINA SUR");
    EXPECT_EQ(window.edit("proxy_user")->text(), "juan");
    EXPECT_EQ(window.edit("proxy_pass")->text(), "clave9x");
    EXPECT_TRUE(window.checkBox("m_domic")->isChecked());
    click(window.cancelButton());
}

TEST_F(ShellWindowsTest, ConfigurationProxyPasswordRulesAndChangedUser)
{
    FConfig window(*dm);
    showAndSettle(&window);
    type(window.edit("proxy_user"), "juan");
    click(window.acceptButton());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.edit("proxy_pass")->hasFocus());
    type(window.edit("proxy_user"), QString(31, u'u'));
    type(window.edit("proxy_pass"), "abc123");
    click(window.acceptButton());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(ui.shown({{"Por favor introduzca la contraseña del proxy", "Advertencia"},
                          {"El usuario del proxy no puede tener más de 30 letras", "Advertencia"}}));
    EXPECT_TRUE(dm->readSetting("proxy_user").isEmpty()) << "nothing written";

    // Going back to the user edit empties the password edit.
    type(window.edit("proxy_user"), "juan");
    EXPECT_TRUE(window.edit("proxy_pass")->text().isEmpty());
    type(window.edit("proxy_pass"), "abc123");
    click(window.acceptButton());
    EXPECT_FALSE(window.isVisible());
    ui.clearRecord();

    // The proxy user is changed behind the window's back: the password no longer deciphers, so the
    // person is asked for both again.
    ASSERT_TRUE(dm->writeSetting("proxy_user", "pedro"));
    showAndSettle(&window);
    EXPECT_TRUE(ui.shown({{"Por favor vuelva a poner el usuario y contraseña del proxy.", "Advertencia"}}));
    EXPECT_EQ(window.edit("proxy_user")->text(), "pedro");
    EXPECT_TRUE(window.edit("proxy_pass")->text().isEmpty());
    click(window.cancelButton());
    EXPECT_EQ(dm->readSetting("proxy_user"), "pedro") << "cancel writes nothing";
}

TEST_F(ShellWindowsTest, ConfigurationServiceAddressesAreSavedEvenOnCancel)
{
    FConfig window(*dm);
    showAndSettle(&window);
    ui::DatasetModel *model = window.urlModel();
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Prioridad");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Url");

    type(window.edit("x_reg"), "NO SE GUARDA");
    click(window.urlNavigator()->button(Navigator::Insert));
    ASSERT_EQ(dm->url->state(), store::DatasetState::Insert);
    const int row = model->insertRow();
    ASSERT_GE(row, 0);
    EXPECT_TRUE(model->setData(model->index(row, 0), "2"));
    EXPECT_TRUE(model->setData(model->index(row, 1), "http://127.0.0.1:8641/TAVService"));
    click(window.urlNavigator()->button(Navigator::Post));
    ASSERT_EQ(dm->url->recordCount(), 2);

    // A row still being typed when the window closes is saved too.
    click(window.urlNavigator()->button(Navigator::Insert));
    EXPECT_TRUE(model->setData(model->index(model->insertRow(), 0), "3"));
    EXPECT_TRUE(model->setData(model->index(model->insertRow(), 1), "http://respaldo.example/TAVService"));
    click(window.cancelButton());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(ui.shownNothing());
    EXPECT_EQ(dm->readSetting("x_reg"), "OFICINA REGIONAL DEMO");

    test::TestUi otherUi;
    store::Tdm other(dir.path(), otherUi, clock);
    other.openTables();
    ASSERT_EQ(other.url->recordCount(), 3);
    other.url->last();
    EXPECT_EQ(other.url->field("X_URL").asString(), "http://respaldo.example/TAVService");
}

// --- login ---

TEST_F(ShellWindowsTest, LoginWithoutPasswordIsAdvisedAndOnlyAdminAdministers)
{
    bool loggedIn = false;
    whenModalShows([this](QWidget *modal) {
        auto *window = qobject_cast<PedirClave *>(modal);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), "Control de Acceso");
        EXPECT_EQ(window->findChild<QLabel *>("lbSistema")->text(), "TAV Regional");
        EXPECT_TRUE(window->acceptButton()->isDefault());
        screenshot(window);
        type(window->userEdit(), "ADMIN");
        EXPECT_EQ(window->userEdit()->text(), "admin") << "the user edit turns input into lower case";
        type(window->passwordEdit(), "admin");
        QTest::keyClick(window->passwordEdit(), Qt::Key_Return);
        if (window->isVisible())
            window->reject();
    });
    loggedIn = PedirClave::login(*dm, session, "TAV Regional");
    EXPECT_TRUE(loggedIn);
    EXPECT_TRUE(ui.shown({{kAdvice, "Consejo"}}));
    EXPECT_EQ(session.user, "admin");
    EXPECT_EQ(session.password, "admin");
    EXPECT_TRUE(shell::MainMenuRules::adminVisible(session.user));
    EXPECT_FALSE(shell::MainMenuRules::adminVisible("pepe"));
}

TEST_F(ShellWindowsTest, LoginClosesAfterTheThirdFailureAndStartsAgainWhenShown)
{
    addUser("pepe", "secreto");
    PedirClave window(*dm, session);
    showAndSettle(&window);
    for (const char *password : {"admin1", "pepe", "otra"}) {
        EXPECT_TRUE(window.isVisible());
        type(window.userEdit(), password == QStringLiteral("admin1") ? "admin" : "pepe");
        type(window.passwordEdit(), password);
        click(window.acceptButton());
    }
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(ui.beeps(), 1);
    EXPECT_TRUE(ui.shown(
        {{kWrong, "Advertencia"}, {kWrong, "Advertencia"}, {"Intento de ingreso no autorizado", "Advertencia"}}));
    EXPECT_FALSE(session.loggedIn());

    // Shown again: empty edits, a fresh count; the right password now opens.
    ui.clearRecord();
    showAndSettle(&window);
    EXPECT_TRUE(window.userEdit()->text().isEmpty());
    EXPECT_TRUE(window.passwordEdit()->text().isEmpty());
    EXPECT_EQ(window.rules().failures(), 0);
    type(window.userEdit(), "pepe");
    type(window.passwordEdit(), "secreto");
    click(window.acceptButton());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(ui.shownNothing()) << "a real password gets no advice";
    EXPECT_EQ(session.user, "pepe");
    EXPECT_FALSE(shell::MainMenuRules::adminVisible(session.user));

    PedirClave again(*dm, session);
    showAndSettle(&again);
    click(again.cancelButton());
    EXPECT_EQ(again.result(), QDialog::Rejected);
}

// --- password change ---

TEST_F(ShellWindowsTest, ChangePasswordChecksThenStoresTheNewPassword)
{
    session = {"admin", "admin"};
    CambClave window(*dm, session);
    showAndSettle(&window);
    screenshot(&window);
    EXPECT_EQ(window.windowTitle(), "Cambiar Contraseña");
    EXPECT_TRUE(window.changeButton()->isDefault());
    struct Case
    {
        const char *current, *fresh, *confirmation, *message;
    };
    const Case refused[] = {
        {"otra", "nueva1", "nueva1", "La contraseña actual es incorrecta"},
        {"admin", "admin", "admin", "La contraseña actual y la nueva son iguales"},
        {"admin", "", "", "La contraseña no puede ser vacía"},
        {"admin", "nueva1", "nueva2", "Las nuevas contraseñas no coinciden"},
    };
    for (const Case &c : refused) {
        ui.clearRecord();
        type(window.currentEdit(), c.current);
        type(window.newEdit(), c.fresh);
        type(window.confirmEdit(), c.confirmation);
        click(window.changeButton());
        EXPECT_TRUE(ui.shown({{c.message, "Error"}})) << c.message;
        EXPECT_TRUE(window.isVisible());
    }
    EXPECT_FALSE(hasPassword("admin"));

    ui.clearRecord();
    type(window.currentEdit(), "admin");
    type(window.newEdit(), "nueva1");
    type(window.confirmEdit(), "nueva1");
    click(window.changeButton());
    EXPECT_TRUE(ui.shown({{"Se cambió la contraseña exitosamente", "Información"}}));
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(session.password, "nueva1");
    EXPECT_TRUE(hasPassword("admin"));

    // Shown again, the edits start empty; the next login needs the new password.
    showAndSettle(&window);
    EXPECT_TRUE(window.currentEdit()->text().isEmpty());
    click(window.cancelButton());
    ui.clearRecord();
    SessionUser next;
    PedirClave login(*dm, next);
    showAndSettle(&login);
    type(login.userEdit(), "admin");
    type(login.passwordEdit(), "admin");
    click(login.acceptButton());
    type(login.passwordEdit(), "nueva1");
    click(login.acceptButton());
    EXPECT_EQ(login.result(), QDialog::Accepted);
    EXPECT_TRUE(ui.shown({{kWrong, "Advertencia"}}));
}

// --- user administration ---

TEST_F(ShellWindowsTest, AdministrationAddsUsersAndClearsPasswords)
{
    const auto userRules = shell::UserAdmin::bindEvents(*dm);
    FAdminUsu window(*dm);
    showAndSettle(&window);
    EXPECT_EQ(window.windowTitle(), "Administrar Usuarios");
    ui::DatasetModel *model = window.model();
    ASSERT_EQ(model->columnCount(), 2) << "the password column is hidden";
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Usuario");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Descripción");
    EXPECT_EQ(window.navigator()->button(Navigator::Insert)->toolTip(), "Agregar un registro");
    EXPECT_EQ(window.navigator()->button(Navigator::Post)->toolTip(), "Aceptar");

    // A new user typed into the grid and saved with the navigator starts without a password.
    click(window.navigator()->button(Navigator::Insert));
    const int row = model->insertRow();
    EXPECT_TRUE(model->setData(model->index(row, 0), "pepe"));
    EXPECT_TRUE(model->setData(model->index(row, 1), "JOSE PEREZ"));
    click(window.navigator()->button(Navigator::Post));
    EXPECT_TRUE(ui.shownNothing());
    ASSERT_EQ(dm->usu->recordCount(), 2);
    EXPECT_FALSE(hasPassword("pepe"));
    screenshot(&window);

    // Its password is set by the user, then cleared by the administrator.
    SessionUser pepe{"pepe", "pepe"};
    ASSERT_TRUE(shell::PasswordChange(*dm, pepe).change("pepe", "propia1", "propia1"));
    ASSERT_TRUE(hasPassword("pepe"));
    ui.clearRecord();
    const QString question = QStringLiteral("¿Está seguro que desea limpiar\rla contraseña de este usuario?");
    ASSERT_TRUE(dm->usu->locate("C_LOGIN", "pepe"));
    click(window.clearPasswordButton());
    EXPECT_TRUE(hasPassword("pepe")) << "No keeps the password";
    ui.answerNext(Ui::Yes);
    click(window.clearPasswordButton());
    EXPECT_TRUE(ui.shown({{question, "Confirmar", Ui::Buttons::YesNo}, {question, "Confirmar", Ui::Buttons::YesNo}}));
    EXPECT_FALSE(hasPassword("pepe"));

    // A second user with the same name is refused; the window keeps the row to be corrected.
    ui.clearRecord();
    click(window.navigator()->button(Navigator::Insert));
    EXPECT_TRUE(model->setData(model->index(model->insertRow(), 0), "pepe"));
    click(window.navigator()->button(Navigator::Post));
    EXPECT_TRUE(ui.shown({{"Ya existe el usuario \"pepe\"", "Advertencia"}}));
    EXPECT_EQ(dm->usu->state(), store::DatasetState::Insert);
    click(window.closeButton());
    EXPECT_TRUE(window.isVisible()) << "closing tries the save again";
    click(window.navigator()->button(Navigator::Cancel));
    click(window.closeButton());
    EXPECT_FALSE(window.isVisible());

    // After the clearing, the user logs in with the login name and is advised.
    ui.clearRecord();
    SessionUser next;
    PedirClave login(*dm, next);
    showAndSettle(&login);
    type(login.userEdit(), "pepe");
    type(login.passwordEdit(), "propia1");
    click(login.acceptButton());
    type(login.passwordEdit(), "pepe");
    click(login.acceptButton());
    EXPECT_EQ(login.result(), QDialog::Accepted);
    EXPECT_TRUE(ui.shown({{kWrong, "Advertencia"}, {kAdvice, "Consejo"}}));
}

TEST_F(ShellWindowsTest, AdministrationAsksBeforeDeletingAndClearsNothingWhenEmpty)
{
    addUser("pepe");
    const auto userRules = shell::UserAdmin::bindEvents(*dm);
    FAdminUsu window(*dm);
    showAndSettle(&window);
    ASSERT_TRUE(dm->usu->locate("C_LOGIN", "pepe"));
    click(window.navigator()->button(Navigator::Delete));
    EXPECT_EQ(dm->usu->recordCount(), 2) << "No keeps the user";
    ui.answerNext(Ui::Yes);
    click(window.navigator()->button(Navigator::Delete));
    EXPECT_EQ(dm->usu->recordCount(), 1);
    const QString question = QStringLiteral("¿Está seguro que desea borrar el usuario \"pepe\"?");
    EXPECT_TRUE(ui.shown({{question, "Confirmar"}, {question, "Confirmar"}}));

    ui.clearRecord();
    ui.answerNext(Ui::Yes);
    click(window.navigator()->button(Navigator::Delete));
    ASSERT_TRUE(dm->usu->isEmpty());
    click(window.clearPasswordButton());
    EXPECT_TRUE(ui.shown({{"¿Está seguro que desea borrar el usuario \"admin\"?", "Confirmar"}}))
        << "an empty table asks nothing";
}
