#include "official/windows/FOrg.h"

#include "official/OfficialWindowRules.h"
#include "store/Tdm.h"
#include "ui/DataSource.h"
#include "ui/FieldBinder.h"
#include "ui/GuardedCall.h"
#include "ui/Navigator.h"
#include "ui/WindowSizing.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::official {

TFOrg::TFOrg(store::Tdm &dm, ui::Ui &ui, QWidget *parent)
    : QWidget(parent, Qt::Window), m_dm(dm), m_ui(ui), m_navigator(new ui::Navigator(dm.org, ui, this))
{
    setObjectName(QStringLiteral("FOrg"));
    setWindowTitle(QStringLiteral("TAV - Administración de Organismos"));
    auto *ds = new ui::DataSource(*dm.org, ui, this);
    ds->setAutoEdit(false);
    auto *form = new QFormLayout;
    const auto edit = [&](const QString &label, const QString &fieldName, bool upper) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("ed") + fieldName);
        ds->bindLineEdit(e, fieldName, {.upperCase = upper, .readOnly = fieldName == QLatin1String("C_ORG")});
        form->addRow(label, e);
        return e;
    };
    // The code comes from the office's numbering when the organisation is first saved, and requests
    // name the organisation by it: it is never typed.
    QLineEdit *code = edit(QStringLiteral("Código:"), QStringLiteral("C_ORG"), false);
    code->setReadOnly(true);
    code->setFocusPolicy(Qt::NoFocus);
    code->setToolTip(QStringLiteral("Se asigna al grabar un organismo nuevo y no se modifica"));
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
    m_navigator->setHints(ui::Navigator::recordHints());
    m_navigator->beforeAction = [&dm](ui::Navigator::Action action) {
        dm.postConfirmed = action == ui::Navigator::Post;
        return true;
    };
    auto *quit = new QPushButton(QStringLiteral("&Salir"), this);
    quit->setObjectName(QStringLiteral("btSalir"));
    quit->setAutoDefault(false);
    connect(quit, &QPushButton::clicked, this, &QWidget::close);
    connect(m_navigator, &ui::Navigator::clicked, this, [this](ui::Navigator::Action action) {
        if (action == ui::Navigator::Insert || action == ui::Navigator::Edit)
            findChild<QLineEdit *>(QStringLiteral("edX_ORG"))->setFocus(Qt::OtherFocusReason);
    });

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

void TFOrg::closeEvent(QCloseEvent *event)
{
    bool leave = false;
    ui::guardedCall(m_ui, [&] {
        if (m_dm.org->isEditing() && !ui::FieldBinder::commitPending(*m_dm.org))
            return;
        leave = OfficialWindowRules::askToLeaveEdit(
            m_dm, *m_dm.org, QStringLiteral("El organismo tiene cambios sin grabar.\r¿Desea grabarlos?"), [this] {
                m_dm.postConfirmed = true;
                return true;
            });
    });
    if (leave)
        event->accept();
    else
        event->ignore();
}

} // namespace tav::official
