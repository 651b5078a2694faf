#include "shell/LoginRules.h"

#include "platform/crypto/PasswordScrambler.h"
#include "platform/text/Cp1252Qt.h"
#include "unit/store/OfficeFixture.h"

using namespace tav;
using shell::LoginRules;
using shell::PasswordChange;
using shell::SessionUser;
using shell::UserAdmin;
using ui::Ui;

namespace {

class LoginRulesTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        m_userRules = UserAdmin::bindEvents(*dm);
        ui.clearRecord();
    }

    store::Subscriptions m_userRules;

    // Adds a user as the administration grid would; `password` empty leaves it without one.
    void addUser(const QString &login, const QString &password = {})
    {
        dm->usu->insert();
        dm->usu->field("C_LOGIN").setValue(login);
        dm->usu->field("X_USU").setValue(QStringLiteral("USUARIO ") + login.toUpper());
        if (!password.isEmpty())
            dm->usu->field("C_CLAVE").setValue(text::fromCp1252(crypto::scramblePassword(password)));
        ASSERT_TRUE(dm->usu->post());
    }
    // A row an earlier program stored with capitals (this program stores names in lower case).
    void addLegacyUser(const QString &login)
    {
        const auto quiet = dm->usu->beforePost.suspend();
        addUser(login);
    }

    QByteArray storedPasswordOf(const QString &login)
    {
        EXPECT_TRUE(dm->usu->locate("C_LOGIN", login));
        return text::toCp1252(dm->usu->field("C_CLAVE").asString());
    }

    SessionUser session;
};

const QString kAdvice = QStringLiteral("Para mayor seguridad, conviene que cambie su contraseña");
const QString kWrong = QStringLiteral("Usuario y/o contraseña incorrecta");
const QString kIntruder = QStringLiteral("Intento de ingreso no autorizado");

} // namespace

TEST_F(LoginRulesTest, UserWithoutPasswordLogsInWithTheLoginNameAndIsAdvised)
{
    LoginRules login(*dm, session);
    EXPECT_EQ(login.accept("admin", ""), LoginRules::Outcome::TryAgain);
    EXPECT_FALSE(session.loggedIn()) << "a failed attempt sets no session";
    EXPECT_EQ(login.accept("admin", "admin"), LoginRules::Outcome::LoggedIn);
    EXPECT_TRUE(ui.shown({{kWrong, "Advertencia"}, {kAdvice, "Consejo"}}));
    EXPECT_EQ(session.user, "admin");
    EXPECT_EQ(session.password, "admin");
}

TEST_F(LoginRulesTest, ScrambledPasswordLogsInWithoutAdvice)
{
    addUser("pepe", "clave7");
    EXPECT_EQ(storedPasswordOf("pepe").size(), 6) << "n characters are stored as n bytes";
    EXPECT_NE(storedPasswordOf("pepe"), QByteArray("clave7"));
    LoginRules login(*dm, session);
    EXPECT_EQ(login.accept("pepe", "pepe"), LoginRules::Outcome::TryAgain);
    EXPECT_EQ(login.accept("pepe", "clave7"), LoginRules::Outcome::LoggedIn);
    EXPECT_TRUE(ui.shown({{kWrong, "Advertencia"}}));
    EXPECT_EQ(session.password, "clave7");
}

TEST_F(LoginRulesTest, ThirdFailureRefusesWithABeepAndStartingAgainResetsTheCount)
{
    LoginRules login(*dm, session);
    EXPECT_EQ(login.accept("admin", "x"), LoginRules::Outcome::TryAgain);
    EXPECT_EQ(login.accept("nadie", "nadie"), LoginRules::Outcome::TryAgain);
    EXPECT_EQ(ui.beeps(), 0);
    EXPECT_EQ(login.accept("admin", "y"), LoginRules::Outcome::Refused);
    EXPECT_EQ(ui.beeps(), 1);
    EXPECT_TRUE(ui.shown({{kWrong, "Advertencia"}, {kWrong, "Advertencia"}, {kIntruder, "Advertencia"}}));
    EXPECT_FALSE(session.loggedIn());

    login.reset();
    EXPECT_EQ(login.accept("admin", "z"), LoginRules::Outcome::TryAgain);
    EXPECT_EQ(login.failures(), 1);
}

TEST_F(LoginRulesTest, NamesMatchExactlySoCapitalsNeverLogIn)
{
    addLegacyUser("Pepe");
    LoginRules login(*dm, session);
    EXPECT_EQ(login.accept("pepe", "pepe"), LoginRules::Outcome::TryAgain);
    EXPECT_EQ(login.accept("", ""), LoginRules::Outcome::TryAgain) << "an empty name is nobody";
    EXPECT_FALSE(session.loggedIn());
}

TEST_F(LoginRulesTest, UsersNeedAUniqueLoginName)
{
    dm->usu->insert();
    dm->usu->field("X_USU").setValue("SIN NOMBRE");
    EXPECT_FALSE(dm->usu->post());
    dm->usu->cancel();
    dm->usu->insert();
    dm->usu->field("C_LOGIN").setValue("admin");
    EXPECT_FALSE(dm->usu->post());
    dm->usu->cancel();
    EXPECT_TRUE(ui.shown(
        {{"Debe completar el campo \"Usuario\"", "Advertencia"}, {"Ya existe el usuario \"admin\"", "Advertencia"}}));
    // Editing a user's own row is no duplicate.
    ASSERT_TRUE(dm->usu->locate("C_LOGIN", "admin"));
    dm->usu->edit();
    dm->usu->field("X_USU").setValue("OTRA DESCRIPCION");
    EXPECT_TRUE(dm->usu->post());
    EXPECT_EQ(dm->usu->recordCount(), 1);
}

TEST_F(LoginRulesTest, PasswordChangeChecksInOrderAndChangesNothingOnFailure)
{
    session = {"admin", "admin"};
    struct Case
    {
        const char *current, *fresh, *confirmation, *message;
    };
    const Case cases[] = {
        {"otra", "nueva1", "nueva1", "La contraseña actual es incorrecta"},
        {"admin", "admin", "admin", "La contraseña actual y la nueva son iguales"},
        {"admin", "", "", "La contraseña no puede ser vacía"},
        {"admin", "nueva1", "nueva2", "Las nuevas contraseñas no coinciden"},
        {"otra", "", "x", "La contraseña actual es incorrecta"},
    };
    PasswordChange change(*dm, session);
    for (const Case &c : cases) {
        ui.clearRecord();
        EXPECT_FALSE(change.change(c.current, c.fresh, c.confirmation)) << c.message;
        EXPECT_TRUE(ui.shown({{c.message, "Error"}}));
    }
    EXPECT_EQ(session.password, "admin");
    EXPECT_TRUE(storedPasswordOf("admin").isEmpty());
}

TEST_F(LoginRulesTest, ChangedPasswordIsStoredScrambledAndNeededAtTheNextLogin)
{
    addUser("pepe");
    addUser("zulema");
    session = {"pepe", "pepe"};
    ASSERT_TRUE(dm->usu->locate("C_LOGIN", "zulema")) << "the change finds the session's own row";
    // Scrambled texts a character field handles badly: "cb" ends in a blank and "agn" in a zero byte,
    // which the field would drop, so "c" or "ag" would open the account too: such passwords are
    // refused. A zero byte inside ("lha") is kept.
    ASSERT_TRUE(crypto::scramblePassword("cb").endsWith(' '));
    ASSERT_TRUE(crypto::scramblePassword("agn").endsWith('\0'));
    ASSERT_EQ(crypto::scramblePassword("lha").at(1), '\0');
    for (const char *refused : {"cb", "agn"}) {
        ui.clearRecord();
        EXPECT_FALSE(PasswordChange(*dm, session).change("pepe", refused, refused));
        EXPECT_TRUE(ui.shown({{"Esa contraseña no se puede guardar. Por favor elija otra", "Error"}}));
        EXPECT_TRUE(storedPasswordOf("pepe").isEmpty());
    }
    for (const QString password : {"lha", "nueva1"}) {
        ui.clearRecord();
        EXPECT_TRUE(PasswordChange(*dm, session).change(session.password, password, password));
        EXPECT_TRUE(ui.shown({{"Se cambió la contraseña exitosamente", "Información"}}));
        EXPECT_EQ(session.password, password);
        EXPECT_TRUE(storedPasswordOf("zulema").isEmpty());

        // Another station (a new data module on the same directory) logs in with the new password only.
        test::TestUi otherUi;
        store::Tdm other(dir.path(), otherUi, clock);
        other.openTables();
        SessionUser otherSession;
        LoginRules login(other, otherSession);
        EXPECT_EQ(login.accept("pepe", "pepe"), LoginRules::Outcome::TryAgain);
        EXPECT_EQ(login.accept("pepe", password.left(password.size() - 1)), LoginRules::Outcome::TryAgain);
        EXPECT_EQ(login.accept("pepe", password), LoginRules::Outcome::LoggedIn) << password.toStdString();
        EXPECT_TRUE(otherUi.shown({{kWrong, "Advertencia"}, {kWrong, "Advertencia"}}));
        EXPECT_EQ(otherSession.password, password);
    }
}

TEST_F(LoginRulesTest, PasswordChangeOfAUserWithoutRowSaysSo)
{
    addLegacyUser("Pepe");
    session = {"pepe", "pepe"};
    ASSERT_TRUE(dm->usu->locate("C_LOGIN", "Pepe"));
    EXPECT_FALSE(PasswordChange(*dm, session).change("pepe", "nueva1", "nueva1"));
    EXPECT_TRUE(ui.shown({{"Error: usuario no encontrado", "Error"}}));
    EXPECT_TRUE(storedPasswordOf("Pepe").isEmpty()) << "a row differing only in case is left alone";
}

TEST_F(LoginRulesTest, NewUserNamesAreStoredInLowerCaseSoTheyCanLogIn)
{
    addUser("Pepe");
    EXPECT_TRUE(ui.shown({{"El usuario se grabará como \"pepe\":\rlos nombres de usuario se escriben en minúsculas, "
                           "como se ingresan al iniciar la sesión.",
                           "Información"}}));
    EXPECT_EQ(dm->usu->field("C_LOGIN").asString(), "pepe");
    LoginRules login(*dm, session);
    EXPECT_EQ(login.accept("pepe", "pepe"), LoginRules::Outcome::LoggedIn);

    // The same name in other capitals is the same user.
    ui.clearRecord();
    dm->usu->insert();
    dm->usu->field("C_LOGIN").setValue("PEPE");
    EXPECT_FALSE(dm->usu->post());
    EXPECT_TRUE(ui.shown({{"Ya existe el usuario \"pepe\"", "Advertencia"}}));
    dm->usu->cancel();
}

TEST_F(LoginRulesTest, ClearingAPasswordMakesTheLoginNameThePasswordAgain)
{
    addUser("pepe", "secreto");
    addUser("zulema", "otra1");
    const QString question = QStringLiteral("¿Está seguro que desea limpiar\rla contraseña de este usuario?");
    ASSERT_TRUE(dm->usu->locate("C_LOGIN", "pepe"));
    UserAdmin admin(*dm);
    EXPECT_FALSE(admin.clearPassword()) << "No keeps the password";
    EXPECT_FALSE(storedPasswordOf("pepe").isEmpty());
    ui.answerNext(Ui::Yes);
    EXPECT_TRUE(admin.clearPassword());
    EXPECT_TRUE(ui.shown({{question, "Confirmar", Ui::Buttons::YesNo}, {question, "Confirmar", Ui::Buttons::YesNo}}));
    EXPECT_TRUE(storedPasswordOf("pepe").isEmpty());
    EXPECT_FALSE(storedPasswordOf("zulema").isEmpty());

    ui.clearRecord();
    LoginRules login(*dm, session);
    EXPECT_EQ(login.accept("pepe", "secreto"), LoginRules::Outcome::TryAgain);
    EXPECT_EQ(login.accept("pepe", "pepe"), LoginRules::Outcome::LoggedIn);
    EXPECT_TRUE(ui.shown({{kWrong, "Advertencia"}, {kAdvice, "Consejo"}}));
}

TEST(PasswordText, LowerCaseLettersAndDigitsUpToTen)
{
    EXPECT_TRUE(shell::isPasswordText(""));
    EXPECT_TRUE(shell::isPasswordText("abc123ñá"));
    EXPECT_TRUE(shell::isPasswordText("0123456789"));
    EXPECT_FALSE(shell::isPasswordText("01234567890"));
    EXPECT_FALSE(shell::isPasswordText("Abc"));
    EXPECT_FALSE(shell::isPasswordText("ab c"));
    EXPECT_FALSE(shell::isPasswordText("ab-c"));
}
