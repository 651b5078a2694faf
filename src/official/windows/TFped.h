#pragma once

#include "official/CaptureServices.h"
#include "official/OfficialWindowRules.h"

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

namespace tav::official {

// "TAV - Pedido Oficial de Antecedentes": one official request on screen, every control bound to
// the request table, with its navigator, the captures, the aliases, the finder and the offence
// chooser. Created once at start and shown (not modally) from the main window.
class TFped : public QWidget
{
    Q_OBJECT

public:
    TFped(store::Tdm &dm, ui::Ui &ui, CaptureServices &services, QWidget *parent = nullptr);
    ~TFped() override;

    ui::Navigator *navigator() const { return m_navigator; }
    OfficialWindowRules &rules() { return m_rules; }
    // The window's buttons, by their captions' object names ("btDactilares", "btEnviar", ...).
    QPushButton *button(const QString &objectName) const;
    QToolButton *offenceButton() const { return m_offenceButton; }
    QMenu *fingerprintMenu() const { return m_fingerprintMenu; }

    // Commands of the buttons, callable directly.
    void fingerprints();  // "&Imp.Dactilares"
    void findRequest();   // "&Buscar": the finder, modally
    void aliases();       // "Supuestos": the aliases window, modally
    void chooseOffence(); // ". . .": the offence chooser, modally
    void letter();        // "&Oficio"
    void statusQuery();   // "Estado &Korvast"

    // Set by the main window: the official letter preview, the sending of a request and the
    // central status window. Without them the buttons stay disabled.
    std::function<void()> previewLetter;
    std::function<void()> sendRequest;
    std::function<void(int request, int file, int office, const QString &kind)> centralStatus;
    // Updates the buttons that depend on the hooks above.
    void updateHookButtons();

    // Modal windows opened by the buttons, set by tests to drive them before they run.
    std::function<void(QWidget *dialog)> beforeModal;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    int runModal(QWidget *dialog);
    void applyVisibility();

    store::Tdm &m_dm;
    ui::Ui &m_ui;
    CaptureServices &m_services;
    OfficialWindowRules m_rules;
    ui::DataSource *m_ds;
    ui::Navigator *m_navigator;
    QToolButton *m_offenceButton;
    QMenu *m_fingerprintMenu;
    QLabel *m_carpedLabel;
    QComboBox *m_carped;
    QCheckBox *m_excArt51;
};

} // namespace tav::official
