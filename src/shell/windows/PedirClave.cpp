#include "shell/windows/PedirClave.h"

#include "shell/windows/PasswordEdit.h"
#include "store/Tdm.h"
#include "ui/GuardedCall.h"

#include "ui/WindowSizing.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::shell {

PedirClave::PedirClave(store::Tdm &dm, SessionUser &session, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_rules(dm, session), m_user(new QLineEdit(this)), m_password(new QLineEdit(this)),
      m_system(new QLabel(this)), m_accept(new QPushButton(QStringLiteral("&Aceptar"), this)),
      m_cancel(new QPushButton(QStringLiteral("&Cancelar"), this))
{
    setObjectName(QStringLiteral("PedirClave"));
    setWindowTitle(QStringLiteral("Control de Acceso"));
    m_user->setObjectName(QStringLiteral("edUsuario"));
    m_password->setObjectName(QStringLiteral("edClave"));
    m_system->setObjectName(QStringLiteral("lbSistema"));
    m_accept->setObjectName(QStringLiteral("btAceptar"));
    m_cancel->setObjectName(QStringLiteral("btCancelar"));
    makeLoginEdit(m_user);
    makePasswordEdit(m_password);
    QFont bold = m_system->font();
    bold.setBold(true);
    m_system->setFont(bold);

    auto *fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Usuario"), this), 0, 0);
    fields->addWidget(m_user, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Contraseña"), this), 1, 0);
    fields->addWidget(m_password, 1, 1);
    fields->addWidget(new QLabel(QStringLiteral("Sistema"), this), 2, 0);
    fields->addWidget(m_system, 2, 1);
    fields->setColumnStretch(1, 1);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_accept, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    m_accept->setDefault(true);
    m_accept->setAutoDefault(true);
    m_cancel->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    ui::setMinimumWindowSize(this, {300, 0});

    connect(m_accept, &QPushButton::clicked, this, [this] { ui::guardedCall(m_dm.ui(), [this] { acceptClicked(); }); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool PedirClave::login(store::Tdm &dm, SessionUser &session, const QString &systemName, QWidget *parent)
{
    PedirClave window(dm, session, parent);
    window.setSystemName(systemName);
    return window.exec() == QDialog::Accepted;
}

void PedirClave::setSystemName(const QString &name)
{
    m_system->setText(name);
}

void PedirClave::showEvent(QShowEvent *event)
{
    m_user->clear();
    m_password->clear();
    m_rules.reset();
    QDialog::showEvent(event);
    m_user->setFocus();
}

void PedirClave::acceptClicked()
{
    switch (m_rules.accept(m_user->text(), m_password->text())) {
    case LoginRules::Outcome::LoggedIn:
        accept();
        break;
    case LoginRules::Outcome::Refused:
        reject();
        break;
    case LoginRules::Outcome::TryAgain:
        m_password->setFocus();
        m_password->selectAll();
        break;
    }
}

} // namespace tav::shell
