#include "official/windows/FOrg.h"

#include "store/Tdm.h"
#include "ui/DataSource.h"
#include "ui/Navigator.h"
#include "ui/WindowSizing.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::official {

TFOrg::TFOrg(store::Tdm &dm, ui::Ui &ui, QWidget *parent)
    : QWidget(parent, Qt::Window), m_navigator(new ui::Navigator(dm.org, ui, this))
{
    setObjectName(QStringLiteral("FOrg"));
    setWindowTitle(QStringLiteral("TAV - Administración de Organismos"));
    auto *ds = new ui::DataSource(*dm.org, ui, this);
    ds->setAutoEdit(false);
    auto *form = new QFormLayout;
    const auto edit = [&](const QString &label, const QString &fieldName, bool upper) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("ed") + fieldName);
        ds->bindLineEdit(e, fieldName, {.upperCase = upper});
        form->addRow(label, e);
        return e;
    };
    edit(QStringLiteral("Código:"), QStringLiteral("C_ORG"), false);
    edit(QStringLiteral("Organismo:"), QStringLiteral("X_ORG"), true);
    edit(QStringLiteral("Domicilio:"), QStringLiteral("X_DOM"), true);
    edit(QStringLiteral("Localidad:"), QStringLiteral("X_LOC"), true);
    auto *province = new QComboBox(this);
    province->setObjectName(QStringLiteral("cbx_prov"));
    ds->bindLookupComboBox(province, QStringLiteral("x_prov"));
    form->addRow(QStringLiteral("Provincia:"), province);
    edit(QStringLiteral("Código Postal:"), QStringLiteral("C_CODPOS"), false);
    edit(QStringLiteral("E-Mail"), QStringLiteral("X_EMAIL"), false);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    m_navigator->setObjectName(QStringLiteral("nvOrg"));
    m_navigator->setHints({QStringLiteral("Primer registro"), QStringLiteral("Registro anterior"),
                           QStringLiteral("Registro siguiente"), QStringLiteral("Último registro"),
                           QStringLiteral("Agregar un registro"), QStringLiteral("Eliminar el registro"),
                           QStringLiteral("Modificar el registro"), QStringLiteral("Aceptar"),
                           QStringLiteral("Cancelar"), QStringLiteral("Refrescar")});
    m_navigator->beforeAction = [&dm](ui::Navigator::Action action) {
        dm.postConfirmed = action == ui::Navigator::Post;
        return true;
    };
    auto *quit = new QPushButton(QStringLiteral("&Salir"), this);
    quit->setObjectName(QStringLiteral("btSalir"));
    quit->setAutoDefault(false);
    connect(quit, &QPushButton::clicked, this, &QWidget::close);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_navigator);
    bottom->addStretch(1);
    bottom->addWidget(quit);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addLayout(bottom);
    ui::setMinimumWindowSize(this, {545, 260});
}

} // namespace tav::official
