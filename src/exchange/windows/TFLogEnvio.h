#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace tav::store {
class Tdm;
}

namespace tav::exchange {

class SendLog;
class TSMime;

// "Log / configuración de envío": the lines the web-service sends wrote during this run, the workstation's
// identity as the central office sees it, and a test of the service.
class TFLogEnvio : public QDialog
{
    Q_OBJECT

public:
    TFLogEnvio(store::Tdm &dm, SendLog &log, TSMime &transport, QWidget *parent = nullptr);

    QPlainTextEdit *memo() const { return m_memo; }

    void showConfiguration();   // "&Mostrar configuración"
    void verifyConfiguration(); // "&Verificar configuración"

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    store::Tdm &m_dm;
    SendLog &m_log;
    TSMime &m_transport;
    QPlainTextEdit *m_memo;
};

} // namespace tav::exchange
