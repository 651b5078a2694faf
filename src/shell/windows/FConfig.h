#pragma once

#include "shell/ConfigRules.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
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

// "Configuración de TAV Regional": the office's settings, the proxy and the addresses of the central
// office's services. The edits show the settings each time the window is shown; "&Aceptar" writes
// them back, "&Cancelar" writes nothing. The service addresses are rows of their own table, saved by
// their navigator whichever button closes the window.
class FConfig : public QDialog
{
    Q_OBJECT

public:
    explicit FConfig(store::Tdm &dm, QWidget *parent = nullptr);

    // Shows the window modally; true when the settings were saved. `settingsWritten` runs after the
    // settings were written (the central-status window reloads its settings there).
    static bool configure(store::Tdm &dm, QWidget *parent = nullptr, const std::function<void()> &settingsWritten = {});

    // The values the controls hold now.
    ConfigValues values() const;

    // Controls, by the setting they edit.
    QLineEdit *edit(const QString &key) const;
    QCheckBox *checkBox(const QString &key) const;
    QTableView *urlGrid() const { return m_urlGrid; }
    ui::DatasetModel *urlModel() const { return m_urlModel; }
    ui::Navigator *urlNavigator() const { return m_urlNavigator; }
    QPushButton *acceptButton() const { return m_accept; }
    QPushButton *cancelButton() const { return m_cancel; }

    // Saves a service address still being typed; a refused save keeps the window open.
    void done(int result) override;

signals:
    void settingsWritten();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *addEdit(const QString &key);
    QCheckBox *addCheckBox(const QString &key, const QString &text);
    void fill(const ConfigValues &v);
    void acceptClicked();

    store::Tdm &m_dm;
    ConfigRules m_rules;
    QTableView *m_urlGrid;
    ui::DatasetModel *m_urlModel;
    ui::Navigator *m_urlNavigator;
    QPushButton *m_accept;
    QPushButton *m_cancel;
};

} // namespace tav::shell
