#pragma once

#include "official/CaptureServices.h"
#include "personal/PersonalWindowRules.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace tav::store {
class Tdm;
}
namespace tav::ui {
class DataSource;
class Navigator;
class Ui;
} // namespace tav::ui

namespace tav::personal {

class PersonalRules;
class SlipLookup;

// "TAV - Pedido Personal de Antecedentes": one personal request on screen, every control bound to `pedp`,
// with its navigator, the payment-slip code, the captures, the sending, the answer, the receipt and the
// security code. Created once at start and shown (not modally) from the main window.
class TFPedP : public QWidget
{
    Q_OBJECT

public:
    TFPedP(store::Tdm &dm, ui::Ui &ui, PersonalRules &rules, SlipLookup &slips, official::CaptureServices &captures,
           PersonalHooks &hooks, QWidget *parent = nullptr);
    ~TFPedP() override;

    ui::Navigator *navigator() const { return m_navigator; }
    PersonalWindowRules &rules() { return m_rules; }
    QPushButton *button(const QString &objectName) const;
    QLineEdit *edit(const QString &fieldName) const; // "C_PAGO" -> the edit "edC_PAGO"
    QComboBox *procedureTypes() const { return m_procedureTypes; }
    QMenu *fingerprintMenu() const { return m_fingerprintMenu; }

    // "&Impresiones Dactilares": the card, or the menu when a live-scan device is configured.
    void fingerprints();
    // "&Buscar": the request finder, modally.
    void findRequest();
    // Before the program ends: a pending edit is saved, discarded or kept as the person answers; false when the
    // program must keep running.
    bool leaveEdit();
    // Updates the buttons whose parts the program installs later (sending, central status).
    void updateHookButtons();

    // Modal windows opened by the buttons, set by tests to drive them before they run.
    std::function<void(QWidget *dialog)> beforeModal;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyVisibility();
    void slipEnter();

    store::Tdm &m_dm;
    ui::Ui &m_ui;
    PersonalHooks &m_hooks;
    PersonalWindowRules m_rules;
    ui::DataSource *m_ds;
    ui::Navigator *m_navigator;
    QMenu *m_fingerprintMenu;
    QComboBox *m_procedureTypes = nullptr;
    QLineEdit *m_paymentCode = nullptr;
    QLineEdit *m_homePaymentCode = nullptr;
    QLabel *m_homePaymentLabel = nullptr;
    QLineEdit *m_paymentDate = nullptr;
    QCheckBox *m_excArt51 = nullptr;
    bool m_placed = false;
    QString m_lastApplied; // the code Enter applied last, so leaving the edit right after does not apply it again
};

} // namespace tav::personal
