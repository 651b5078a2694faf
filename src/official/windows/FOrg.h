#pragma once

#include <QWidget>

namespace tav::store {
class Tdm;
}
namespace tav::ui {
class Navigator;
class Ui;
} // namespace tav::ui

namespace tav::official {

// "TAV - Administración de Organismos": the requesting organisations, one at a time, changed only
// through the navigator.
class TFOrg : public QWidget
{
    Q_OBJECT

public:
    TFOrg(store::Tdm &dm, ui::Ui &ui, QWidget *parent = nullptr);

    ui::Navigator *navigator() const { return m_navigator; }

protected:
    // A pending edit is saved, discarded or kept as the person answers.
    void closeEvent(QCloseEvent *event) override;

private:
    store::Tdm &m_dm;
    ui::Ui &m_ui;
    ui::Navigator *m_navigator;
};

} // namespace tav::official
