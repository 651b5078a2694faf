#include "unit/store/OfficeFixture.h"

#include "reports/windows/TFListado.h"
#include "shell/windows/FMenu.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

using namespace tav;
using shell::FMenu;

namespace {

class MainWindowTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        menu = std::make_unique<FMenu>(*dm, ui);
    }
    void TearDown() override { menu.reset(); }

    QPushButton *button(const QString &caption) const
    {
        for (auto *b : menu->findChildren<QPushButton *>())
            if (b->text() == caption)
                return b;
        return nullptr;
    }
    QAction *item(const QString &caption) const
    {
        for (auto *a : menu->findChildren<QAction *>())
            if (a->text() == caption)
                return a;
        return nullptr;
    }

    std::unique_ptr<FMenu> menu;
};

} // namespace

TEST_F(MainWindowTest, OfficeNumbersZeroCloseTheirRequests)
{
    int opened = 0;
    menu->setCommand(FMenu::Command::OfficialRequests, [&] { ++opened; });
    menu->setCommand(FMenu::Command::PersonalRequests, [&] { ++opened; });
    ASSERT_TRUE(dm->writeSetting("c_reg", "0"));
    ASSERT_TRUE(dm->writeSetting("c_regp", "0"));
    button("&Pedidos Oficiales")->click();
    button("Pedidos Per&sonales")->click();
    EXPECT_EQ(opened, 0);
    ASSERT_EQ(ui.messages().size(), 2);
    EXPECT_EQ(ui.messages()[0].text, "El sistema no está configurado para gestionar pedidos oficiales");
    EXPECT_TRUE(ui.messages()[1].text.startsWith(
        "El sistema no está configurado para gestionar pedidos personales\rPongase en contacto con: "));

    ASSERT_TRUE(dm->writeSetting("c_reg", "00"));
    button("&Pedidos Oficiales")->click();
    EXPECT_EQ(opened, 1) << "only the text \"0\" closes them";
}

TEST_F(MainWindowTest, MenusFollowTheSettingsAndTheUser)
{
    struct Case
    {
        const char *c_regp;
        bool monthly;
    };
    for (const auto &c : {Case{"7", true}, Case{"0", false}, Case{"", false}, Case{"x", false}}) {
        ASSERT_TRUE(dm->writeSetting("c_regp", c.c_regp));
        menu->refreshFromSettings();
        EXPECT_EQ(item("&Informe Mensual")->isVisible(), c.monthly) << c.c_regp;
    }
    EXPECT_FALSE(item("&Administrar")->isVisible()) << "nobody logged in";
    menu->setLoggedUser("Admin");
    EXPECT_TRUE(item("&Administrar")->isVisible());
    menu->setLoggedUser("juan");
    EXPECT_FALSE(item("&Administrar")->isVisible());

    ASSERT_TRUE(dm->writeSetting("usaOutlook", "S"));
    menu->refreshFromSettings();
    EXPECT_FALSE(item("&Bandeja de Entrada de Correo Electrónico")->isVisible());
    EXPECT_FALSE(item("&Probar configuración del Correo Electrónico")->isVisible());
}

TEST_F(MainWindowTest, CommandsStillToComeAreDisabledWithATooltip)
{
    EXPECT_FALSE(button("&Búsqueda")->isEnabled());
    EXPECT_FALSE(button("&Búsqueda")->toolTip().isEmpty());
    menu->setCommand(FMenu::Command::Search, [] {});
    EXPECT_TRUE(button("&Búsqueda")->isEnabled());

    // Receiving answers waits for the message exchange, and says so.
    for (QObject *o : {static_cast<QObject *>(button("P&rocesar Correo")),
                       static_cast<QObject *>(item("&Recibir Contestaciones"))}) {
        ASSERT_NE(o, nullptr);
        EXPECT_FALSE(o->property("enabled").toBool()) << o->objectName().toStdString();
        EXPECT_FALSE(o->property("toolTip").toString().isEmpty()) << o->objectName().toStdString();
    }
    dm->receptionCycle = [] {};
    menu->refreshFromSettings();
    EXPECT_TRUE(button("P&rocesar Correo")->isEnabled());
    EXPECT_TRUE(item("&Recibir Contestaciones")->isEnabled());
    // Greyed items show their tooltip too.
    for (QAction *a : menu->menuBar()->actions()) {
        if (QMenu *m = a->menu()) {
            EXPECT_TRUE(m->toolTipsVisible()) << m->title().toStdString();
        }
    }
}

TEST_F(MainWindowTest, ReceptionRunsUnderItsGuard)
{
    int cycles = 0;
    dm->receptionCycle = [&] {
        EXPECT_FALSE(dm->receptionIdle) << "the cycle runs with reception marked busy";
        ++cycles;
    };
    EXPECT_TRUE(menu->runReceptionNow());
    EXPECT_EQ(cycles, 1);
    EXPECT_TRUE(dm->receptionIdle);

    dm->receptionIdle = false;
    EXPECT_FALSE(menu->runReceptionNow());
    EXPECT_TRUE(ui.shown({{"Advertencia: El proceso de recepción esta en curso..", "Advertencia"}}));
    dm->receptionIdle = true;

    // A tick while a request is being edited skips the cycle without a word.
    ui.clearRecord();
    dm->ped->insert();
    menu->TimerTick();
    EXPECT_EQ(cycles, 1);
    EXPECT_TRUE(ui.shownNothing());
    dm->ped->cancel();
    menu->TimerTick();
    EXPECT_EQ(cycles, 2);

    // The switch stops the timer at once; a tick that finds it checked stops it too, and the button
    // still runs a cycle on demand.
    dm->Timer.start();
    menu->receptionSwitch()->click();
    EXPECT_FALSE(dm->Timer.isActive());
    dm->Timer.start();
    menu->TimerTick();
    EXPECT_FALSE(dm->Timer.isActive());
    EXPECT_EQ(cycles, 2);
    EXPECT_TRUE(menu->runReceptionNow());
    EXPECT_EQ(cycles, 3);

    // A cycle that fails still leaves reception idle.
    dm->receptionCycle = [] { throw std::runtime_error("sin conexión"); };
    EXPECT_FALSE(menu->runReceptionNow());
    EXPECT_TRUE(dm->receptionIdle);
}

TEST_F(MainWindowTest, UnsentPersonalRequestsAreListed)
{
    for (auto [n, state] : {std::pair{3, "I"}, {5, "E"}, {8, "I"}}) {
        dm->pedp->insert();
        dm->pedp->field("C_PED").setValue(n);
        dm->pedp->field("C_REG").setValue(7);
        dm->pedp->field("C_EST").setValue(state);
        ASSERT_TRUE(dm->pedp->post());
    }
    reports::TFListado listado;
    listado.fillUnsentPersonal(*dm->pedp);
    EXPECT_EQ(listado.windowTitle(), "Pedidos personales sin enviar");
    EXPECT_EQ(listado.text(), "Pedidos personales sin enviar\n=============================\n3\n8");
}
