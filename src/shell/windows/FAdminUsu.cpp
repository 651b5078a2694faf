#include "shell/windows/FAdminUsu.h"

#include "store/Tdm.h"
#include "ui/DatasetModel.h"
#include "ui/GuardedCall.h"
#include "ui/Navigator.h"
#include "ui/WindowSizing.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tav::shell {

FAdminUsu::FAdminUsu(store::Tdm &dm, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_rules(dm), m_grid(new QTableView(this)),
      m_model(new ui::DatasetModel(*dm.usu,
                                   {{QStringLiteral("C_LOGIN"), QStringLiteral("Usuario"), {}, 12},
                                    {QStringLiteral("X_USU"), QStringLiteral("Descripción"), {}, 40}},
                                   this)),
      m_navigator(new ui::Navigator(dm.usu, dm.ui(), this)),
      m_clear(new QPushButton(QStringLiteral("Limpiar Clave"), this)),
      m_close(new QPushButton(QStringLiteral("&Salir"), this))
{
    setObjectName(QStringLiteral("FAdminUsu"));
    setWindowTitle(QStringLiteral("Administrar Usuarios"));

    m_grid->setObjectName(QStringLiteral("dbgUsu"));
    m_navigator->setObjectName(QStringLiteral("nvUsu"));
    m_clear->setObjectName(QStringLiteral("btLimpiarClave"));
    m_close->setObjectName(QStringLiteral("btSalir"));
    m_model->setEditable(true, &dm.ui());
    new ui::GridLink(m_grid, m_model, dm.ui());
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_navigator->setHints(ui::Navigator::recordHints());
    for (QPushButton *b : {m_clear, m_close})
        b->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_clear);
    buttons->addStretch(1);
    buttons->addWidget(m_close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_navigator);
    layout->addLayout(buttons);
    ui::setMinimumWindowSize(this, {480, 300});

    connect(m_clear, &QPushButton::clicked, this,
            [this] { ui::guardedCall(m_dm.ui(), [this] { m_rules.clearPassword(); }); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
}

void FAdminUsu::administer(store::Tdm &dm, QWidget *parent)
{
    FAdminUsu window(dm, parent);
    window.exec();
}

void FAdminUsu::done(int result)
{
    store::Dataset &usu = *m_dm.usu;
    if (usu.isActive() && usu.isEditing()) {
        bool saved = false;
        // A row opened and left untouched is dropped; typed input is saved.
        ui::guardedCall(m_dm.ui(), [&] { saved = usu.leaveEdit(); });
        if (!saved)
            return;
    }
    QDialog::done(result);
}

} // namespace tav::shell
