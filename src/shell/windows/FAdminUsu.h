#pragma once

#include "shell/LoginRules.h"

#include <QDialog>

class QPushButton;
class QTableView;

namespace tav::store {
class Tdm;
}
namespace tav::ui {
class DatasetModel;
class Navigator;
} // namespace tav::ui

namespace tav::shell {

// "Administrar Usuarios": the users in a grid edited in place with a record navigator, and the
// command that clears a user's password. Shown to the user "admin" only.
class FAdminUsu : public QDialog
{
    Q_OBJECT

public:
    explicit FAdminUsu(store::Tdm &dm, QWidget *parent = nullptr);

    // Shows the window modally.
    static void administer(store::Tdm &dm, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }
    ui::DatasetModel *model() const { return m_model; }
    ui::Navigator *navigator() const { return m_navigator; }
    QPushButton *clearPasswordButton() const { return m_clear; }
    QPushButton *closeButton() const { return m_close; }

    // Closing saves a user still being typed; a refused save keeps the window open.
    void done(int result) override;

private:
    store::Tdm &m_dm;
    UserAdmin m_rules;
    QTableView *m_grid;
    ui::DatasetModel *m_model;
    ui::Navigator *m_navigator;
    QPushButton *m_clear;
    QPushButton *m_close;
};

} // namespace tav::shell
