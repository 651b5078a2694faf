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

private:
    ui::Navigator *m_navigator;
};

} // namespace tav::official
