#include "exchange/windows/TFConfigEnvio.h"

#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "store/Tdm.h"
#include "ui/WindowSizing.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <iterator>

namespace tav::exchange {

namespace {

QComboBox *securityCombo(QWidget *parent, mail::Security current)
{
    auto *c = new QComboBox(parent);
    c->addItem(QStringLiteral("Sin cifrado"), int(mail::Security::None));
    c->addItem(QStringLiteral("STARTTLS"), int(mail::Security::StartTls));
    c->addItem(QStringLiteral("TLS directo"), int(mail::Security::Implicit));
    c->setCurrentIndex(c->findData(int(current)));
    return c;
}

int portOr(const QString &text, int fallback)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : fallback;
}

} // namespace

TFConfigEnvio::TFConfigEnvio(store::Tdm &dm, TSMime &transport, TdmMail &mail, QWidget *parent)
    : QDialog(parent, Qt::Tool), m_dm(dm), m_transport(transport), m_mail(mail), m_pages(new QTabWidget(this)),
      m_outlook(new QCheckBox(QStringLiteral("Usar Microsoft Outlook como Cliente de Correo"), this)),
      m_webService(new QCheckBox(QStringLiteral("Usar Web Service"), this)), m_outlookNote(new QLabel(this)),
      m_pop3Security(securityCombo(this, mail.pop3Security)), m_smtpSecurity(securityCombo(this, mail.smtpSecurity)),
      m_smtpAuth(
          new QCheckBox(QStringLiteral("El servidor requiere autenticación (usuario y clave de la cuenta)"), this))
{
    setObjectName(QStringLiteral("FConfigEnvio"));
    setWindowTitle(QStringLiteral("Configuración de envío"));
    const auto edit = [this](const char *name, const QString &text) {
        auto *e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };

    auto *pop3 = new QWidget(this);
    auto *p = new QFormLayout(pop3);
    p->addRow(QStringLiteral("&Servidor de correo entrante (POP):"), edit("edPop3Name", mail.pop3Name));
    p->addRow(QStringLiteral("&Puerto:"), edit("edPop3Port", QString::number(mail.pop3Port)));
    p->addRow(QStringLiteral("&Cuenta:"), edit("edPop3User", mail.pop3User));
    QLineEdit *password = edit("edPop3Pwd", mail.pop3Password);
    password->setEchoMode(QLineEdit::Password);
    p->addRow(QStringLiteral("&Clave:"), password);
    p->addRow(QStringLiteral("&Correo electrónico:"), edit("edUserEmail", mail.userEmail));
    p->addRow(QStringLiteral("Seguridad:"), m_pop3Security);
    m_pages->addTab(pop3, QStringLiteral("Configuración POP3"));

    auto *smtp = new QWidget(this);
    auto *s = new QFormLayout(smtp);
    s->addRow(QStringLiteral("&Servidor de correo saliente (SMTP):"), edit("edSmtpName", mail.smtpName));
    s->addRow(QStringLiteral("Pu&erto"), edit("edSmtpPort", QString::number(mail.smtpPort)));
    s->addRow(QStringLiteral("Seguridad:"), m_smtpSecurity);
    s->addRow(m_smtpAuth);
    m_smtpAuth->setChecked(mail.smtpAuth);
    m_pages->addTab(smtp, QStringLiteral("Configuración SMTP"));

    auto *other = new QWidget(this);
    auto *o = new QFormLayout(other);
    o->addRow(QStringLiteral("Email donde re-enviar mensajes no procesados por la TAV:"),
              edit("edEmailFwd", mail.emailFwd));
    m_pages->addTab(other, QStringLiteral("Otros"));

    m_outlook->setObjectName(QStringLiteral("ckOutlook"));
    m_webService->setObjectName(QStringLiteral("ckWebService"));
    m_outlook->setChecked(transport.outlookMode);
    m_webService->setChecked(transport.webServiceMode);
    m_outlookNote->setWordWrap(true);
    m_outlookNote->setText(QStringLiteral("Aviso: Si configura el Outlook como cliente de correo debe reinicar la "
                                          "aplicación.\nMicrosoft Outlook no está disponible en este sistema: con "
                                          "esa opción no se envían ni reciben mensajes."));

    // Plain buttons, not a button box: a box makes its first accepting button the default when shown, and
    // Enter typed in a field would then store a half-edited account.
    auto *ok = new QPushButton(QStringLiteral("&Aceptar"), this);
    auto *cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    for (QPushButton *b : {ok, cancel})
        b->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addWidget(m_outlook);
    layout->addWidget(m_webService);
    layout->addWidget(m_outlookNote);
    layout->addLayout(buttons);
    // Tab goes down each page, then to the check boxes and the buttons (the controls were not made in
    // that order).
    QWidget *order[] = {this->edit("edPop3Name"),
                        this->edit("edPop3Port"),
                        this->edit("edPop3User"),
                        password,
                        this->edit("edUserEmail"),
                        m_pop3Security,
                        this->edit("edSmtpName"),
                        this->edit("edSmtpPort"),
                        m_smtpSecurity,
                        m_smtpAuth,
                        this->edit("edEmailFwd"),
                        m_outlook,
                        m_webService,
                        ok,
                        cancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    ui::setMinimumWindowSize(this, {480, 360});
    connect(m_outlook, &QCheckBox::toggled, this, &TFConfigEnvio::updatePages);
    connect(m_webService, &QCheckBox::toggled, this, &TFConfigEnvio::updatePages);
    updatePages();
}

QLineEdit *TFConfigEnvio::edit(const char *name) const
{
    return findChild<QLineEdit *>(QString::fromLatin1(name));
}

void TFConfigEnvio::updatePages()
{
    m_pages->setVisible(!m_outlook->isChecked() && !m_webService->isChecked());
}

void TFConfigEnvio::accept()
{
    m_transport.webServiceMode = m_webService->isChecked();
    m_dm.writeSetting(QStringLiteral("usaWebService"), m_webService->isChecked() ? "S" : "N");
    m_transport.outlookMode = m_outlook->isChecked();
    m_dm.writeSetting(QStringLiteral("usaOutlook"), m_outlook->isChecked() ? "S" : "N");
    if (!m_outlook->isChecked()) {
        m_mail.pop3Name = edit("edPop3Name")->text();
        m_mail.pop3Port = portOr(edit("edPop3Port")->text(), 110);
        m_mail.pop3User = edit("edPop3User")->text();
        m_mail.pop3Password = edit("edPop3Pwd")->text();
        m_mail.userEmail = edit("edUserEmail")->text();
        m_mail.smtpName = edit("edSmtpName")->text();
        m_mail.smtpPort = portOr(edit("edSmtpPort")->text(), 25);
        m_mail.emailFwd = edit("edEmailFwd")->text();
        m_mail.pop3Security = static_cast<mail::Security>(m_pop3Security->currentData().toInt());
        m_mail.smtpSecurity = static_cast<mail::Security>(m_smtpSecurity->currentData().toInt());
        m_mail.smtpAuth = m_smtpAuth->isChecked();
        m_mail.saveSettings();
    }
    QDialog::accept();
}

} // namespace tav::exchange
