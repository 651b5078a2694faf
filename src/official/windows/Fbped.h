#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace tav::store {
class Dataset;
}
namespace tav::ui {
class Ui;
}

namespace tav::official {

// "Buscar Pedido": finds a request by its code, its case number or its first surname in the table
// it is given (official or personal requests); the found request becomes current.
class Fbped : public QDialog
{
    Q_OBJECT

public:
    Fbped(store::Dataset &table, ui::Ui &ui, QWidget *parent = nullptr);

    QRadioButton *byCode() const { return m_byCode; }
    QRadioButton *byCase() const { return m_byCase; }
    QRadioButton *bySurname() const { return m_bySurname; }
    QSpinBox *codeEdit() const { return m_code; }
    QLineEdit *caseEdit() const { return m_case; }
    QLineEdit *surnameEdit() const { return m_surname; }
    QPushButton *searchButton() const { return m_search; }
    QPushButton *closeButton() const { return m_close; }

    // "&Buscar": closes on success, else says it was not found.
    void search();

private:
    void updateEdits();

    store::Dataset &m_table;
    ui::Ui &m_ui;
    QRadioButton *m_byCode;
    QRadioButton *m_byCase;
    QRadioButton *m_bySurname;
    QSpinBox *m_code;
    QLineEdit *m_case;
    QLineEdit *m_surname;
    QPushButton *m_search;
    QPushButton *m_close;
};

} // namespace tav::official
