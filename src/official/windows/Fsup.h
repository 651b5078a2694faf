#pragma once

#include <QDialog>

class QPushButton;

namespace tav::store {
class Tdm;
}
namespace tav::ui {
class Navigator;
class Ui;
} // namespace tav::ui

namespace tav::official {

class OfficialWindowRules;

// "Supuestos": the aliases of the current official request, with their own navigator.
class Fsup : public QDialog
{
    Q_OBJECT

public:
    Fsup(store::Tdm &dm, ui::Ui &ui, OfficialWindowRules &rules, QWidget *parent = nullptr);

    ui::Navigator *navigator() const { return m_navigator; }
    // Closing with an alias in edit asks whether to save it first.
    void done(int result) override;

private:
    store::Tdm &m_dm;
    ui::Ui &m_ui;
    OfficialWindowRules &m_rules;
    ui::Navigator *m_navigator;
    int m_keep = -1; // the alias to show again after a save: its position, -2 for a new one
};

} // namespace tav::official
