#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace tav::store {
class Tdm;
}

namespace tav::exchange {

class TdmMail;
class TSMime;

// "Configuración de envío": how requests travel (web service, Outlook or the mail account) and the mail
// account's servers. The account pages show only when neither the web service nor Outlook is chosen.
class TFConfigEnvio : public QDialog
{
    Q_OBJECT

public:
    TFConfigEnvio(store::Tdm &dm, TSMime &transport, TdmMail &mail, QWidget *parent = nullptr);

    // "&Aceptar": stores the modes and, unless Outlook is chosen, the account.
    void accept() override;

    QLineEdit *edit(const char *name) const;
    QCheckBox *outlookBox() const { return m_outlook; }
    QCheckBox *webServiceBox() const { return m_webService; }
    QTabWidget *pages() const { return m_pages; }

private:
    void updatePages();

    store::Tdm &m_dm;
    TSMime &m_transport;
    TdmMail &m_mail;
    QTabWidget *m_pages;
    QCheckBox *m_outlook;
    QCheckBox *m_webService;
    QLabel *m_outlookNote;
    QComboBox *m_pop3Security;
    QComboBox *m_smtpSecurity;
    QCheckBox *m_smtpAuth;
};

} // namespace tav::exchange
