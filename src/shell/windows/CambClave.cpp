#include "shell/windows/CambClave.h"

#include "shell/windows/PasswordEdit.h"
#include "store/Tdm.h"
#include "ui/GuardedCall.h"

#include "ui/WindowSizing.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::shell {

CambClave::CambClave(store::Tdm &dm, SessionUser &session, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_rules(dm, session), m_current(new QLineEdit(this)), m_new(new QLineEdit(this)),
      m_confirm(new QLineEdit(this)), m_change(new QPushButton(QStringLiteral("C&ambiar"), this)),
      m_cancel(new QPushButton(QStringLiteral("&Cancelar"), this))
{
    setObjectName(QStringLiteral("CambClave"));
    setWindowTitle(QStringLiteral("Cambiar Contraseña"));
    m_current->setObjectName(QStringLiteral("edClaveActual"));
    m_new->setObjectName(QStringLiteral("edClaveNueva"));
    m_confirm->setObjectName(QStringLiteral("edClaveConfirmar"));
    m_change->setObjectName(QStringLiteral("btCambiar"));
    m_cancel->setObjectName(QStringLiteral("btCancelar"));
    for (QLineEdit *edit : {m_current, m_new, m_confirm})
        makePasswordEdit(edit);

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("Contraseña Actual"), m_current);
    fields->addRow(QStringLiteral("Nueva Contraseña"), m_new);
    fields->addRow(QStringLiteral("Confirmar Contraseña"), m_confirm);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_change, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    m_change->setDefault(true);
    m_change->setAutoDefault(true);
    m_cancel->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    ui::setMinimumWindowSize(this, {320, 0});

    connect(m_change, &QPushButton::clicked, this, [this] {
        ui::guardedCall(m_dm.ui(), [this] {
            if (m_rules.change(m_current->text(), m_new->text(), m_confirm->text()))
                accept();
        });
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool CambClave::changePassword(store::Tdm &dm, SessionUser &session, QWidget *parent)
{
    CambClave window(dm, session, parent);
    return window.exec() == QDialog::Accepted;
}

void CambClave::showEvent(QShowEvent *event)
{
    for (QLineEdit *edit : {m_current, m_new, m_confirm})
        edit->clear();
    QDialog::showEvent(event);
    m_current->setFocus();
}

} // namespace tav::shell
