#include "ToolkitData.h"

#include "support/TestUi.h"
#include "ui/DataSource.h"
#include "ui/DatasetModel.h"
#include "ui/Navigator.h"
#include "ui/WindowSizing.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace tav;

// A small form built as the office's windows are (navigator, bound edits, a drop-down with its clear
// button, a date, a check box, a grid), drawn to a PNG under the build folder for a person to look at.
TEST(DemoForm, RendersAFormOfBoundControls)
{
    test::TestUi ui;
    auto provinces = test::makeProvinces();
    auto ds = test::makeRequests();
    (*ds)["C_PED"].setDisplayLabel("Código");
    (*ds)["X_APE1"].setDisplayLabel("Apellido");
    (*ds)["C_PROV"].setDisplayLabel("Prov.");
    (*ds)["F_NAC"].setDisplayLabel("Fecha Nac.");
    (*ds)["M_ENVIADO"].setDisplayLabel("Enviado");
    (*ds)["X_MARCA"].setVisible(false);
    ds->open();

    QWidget window;
    window.setWindowTitle("TAV - Demostración");
    auto *top = new QVBoxLayout(&window);
    auto *nav = new ui::Navigator(ds.get(), ui, &window);
    top->addWidget(nav);

    auto *group = new QGroupBox("Datos del Causante", &window);
    auto *form = new QFormLayout(group);
    auto *code = new QLineEdit(group);
    auto *surname = new QLineEdit(group);
    auto *province = new QComboBox(group);
    auto *birth = new QLineEdit(group);
    auto *sent = new QCheckBox("Enviado", group);
    ui::DataSource source(*ds, ui);
    source.setAutoEdit(false);
    source.bindLineEdit(code, "C_PED", {.readOnly = true});
    source.bindLineEdit(surname, "X_APE1", {.upperCase = true});
    auto &provinceBinder = source.bindComboBox(province, "C_PROV", *provinces, "C_PROV", "X_PROV");
    source.bindDateEdit(birth, "F_NAC");
    source.bindCheckBox(sent, "M_ENVIADO", true);
    auto *provinceRow = new QHBoxLayout;
    province->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    provinceRow->addWidget(province);
    auto *clear = ui::ComboBinder::createClearButton(group);
    provinceBinder.setClearButton(clear);
    provinceRow->addWidget(clear);
    ui::setWidthInCharacters(code, 8);
    ui::setWidthInCharacters(birth, 10);
    form->addRow("Código de Pedido:", code);
    form->addRow("Apellidos:", surname);
    form->addRow("Provincia:", provinceRow);
    form->addRow("Fecha de Nacimiento:", birth);
    form->addRow(QString(), sent);
    top->addWidget(group);

    ui::DatasetModel model(*ds, {{"C_PED", QString(), Qt::AlignCenter, 8},
                                 {"X_APE1", QString(), {}, 16},
                                 {"C_PROV", QString(), {}, 6},
                                 {"F_NAC", QString(), {}, 11},
                                 {"M_ENVIADO", QString(), {}, 8}});
    auto *grid = new QTableView(&window);
    new ui::GridLink(grid, &model, ui);
    grid->horizontalHeader()->setStretchLastSection(true);
    top->addWidget(grid, 1);
    ui::setMinimumWindowSize(&window, {545, 360});

    ds->next();
    nav->button(ui::Navigator::Edit)->click();
    ASSERT_EQ(ds->state(), store::DatasetState::Edit);
    window.show();
    QApplication::processEvents();

    EXPECT_GE(window.width(), 545);
    EXPECT_GE(window.height(), 360);
    const QPixmap shot = window.grab();
    ASSERT_FALSE(shot.isNull());
    const QString dir = QStringLiteral(TAV_BINARY_DIR "/test-output/toolkit");
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(shot.save(dir + "/demo-form.png"));
    EXPECT_TRUE(ui.shownNothing());
}
