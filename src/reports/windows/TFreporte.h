#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace tav::ui {
class Ui;
}

namespace tav::reports {

class ActivityReport;

// "Reporte de Actividad ": the activity report's text, growing while replies arrive. Every closing writes
// the text back to "logp.txt"; "Limpiar" empties it after asking.
class TFreporte : public QDialog
{
    Q_OBJECT

public:
    // Loads "logp.txt" into the report (FormCreate).
    TFreporte(ActivityReport &report, ui::Ui &ui, QWidget *parent = nullptr);

    void BitBtn2Click(); // "Limpiar"
    QPlainTextEdit *memo() const { return m_memo; }
    QPushButton *clearButton() const { return m_clear; }
    QPushButton *closeButton() const { return m_close; }

protected:
    void hideEvent(QHideEvent *event) override; // FormClose

private:
    void FormClose();

    ActivityReport &m_report;
    ui::Ui &m_ui;
    QPlainTextEdit *m_memo;
    QPushButton *m_clear;
    QPushButton *m_close;
};

} // namespace tav::reports
