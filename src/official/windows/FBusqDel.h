#pragma once

#include "official/OfficialWindowRules.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTableView;

namespace tav::store {
class Tdm;
}
namespace tav::ui {
class DatasetModel;
class Ui;
} // namespace tav::ui

namespace tav::official {

// "Selección del delito": the offence types in a read-only grid, filtered by code, law, article,
// subsection and a part of the description; the chosen offence goes into the request on closing.
class FBusqDel : public QDialog
{
    Q_OBJECT

public:
    FBusqDel(store::Tdm &dm, ui::Ui &ui, QWidget *parent = nullptr);
    ~FBusqDel() override;

    QLineEdit *codeEdit() const { return m_edits[0]; }
    QLineEdit *lawEdit() const { return m_edits[1]; }
    QLineEdit *articleEdit() const { return m_edits[2]; }
    QLineEdit *subsectionEdit() const { return m_edits[3]; }
    QLineEdit *descriptionEdit() const { return m_edits[4]; }
    QPushButton *clearButton(int edit) const { return m_clears[edit]; }
    QTableView *grid() const { return m_grid; }

    // "&Buscar", "&Aceptar".
    void search();
    void acceptChoice();
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    store::Tdm &m_dm;
    ui::Ui &m_ui;
    OffenceFilterScope m_filter;
    QTableView *m_grid;
    ui::DatasetModel *m_model;
    QLineEdit *m_edits[5];
    QPushButton *m_clears[5];
};

} // namespace tav::official
