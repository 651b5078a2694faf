#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QLineEdit;
class QPushButton;

namespace tav::store {
class Tdm;
}

namespace tav::reports {

// "Informe mesual": asks for a month and opens the monthly report page of the central office in the
// workstation's browser.
class TFInfMensual : public QDialog
{
    Q_OBJECT

public:
    explicit TFInfMensual(store::Tdm &dm, QWidget *parent = nullptr);

    // How an address is opened: the default browser unless a test says otherwise.
    std::function<void(const QUrl &)> openUrl;

    void btOKClick();
    void btCancelClick() { reject(); }
    QLineEdit *monthEdit() const { return m_month; }
    QLineEdit *yearEdit() const { return m_year; }
    QPushButton *okButton() const { return m_ok; }

protected:
    void showEvent(QShowEvent *event) override; // FormShow

private:
    store::Tdm &m_dm;
    QLineEdit *m_month;
    QLineEdit *m_year;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace tav::reports
