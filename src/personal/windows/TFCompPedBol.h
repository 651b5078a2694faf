#pragma once

#include <QColor>
#include <QDialog>

class QGridLayout;
class QLabel;

namespace tav::store {
class Tdm;
}
namespace tav::ui {
class Ui;
}

namespace tav::personal {

// "Comparativo de Pedido - Boleta": the personal request beside the procedure paid with its slip (PedBol),
// each compared row in maroon when both sides agree and in navy when they differ.
class TFCompPedBol : public QDialog
{
    Q_OBJECT

public:
    static QColor agreeColour() { return QColor(128, 0, 0); }
    static QColor differColour() { return QColor(0, 0, 128); }

    TFCompPedBol(store::Tdm &dm, ui::Ui &ui, QWidget *parent = nullptr);

    // Fills both sides from the current request and slip row; true when the person goes on ("C&ontinuar").
    bool MostrarComparacion(const QString &slipCode, int office, int request);
    void fill(const QString &slipCode, int office, int request);

    // The text shown on each side of a row, by its label ("Apellidos:"); null when that side has none.
    QLabel *requestValue(const QString &label) const;
    QLabel *slipValue(const QString &label) const;

private:
    void addRow(const QString &label, bool coloured);
    void setRow(const QString &label, const QString &request, const QString &slip);
    void proceed();

    store::Tdm &m_dm;
    ui::Ui &m_ui;
    QGridLayout *m_request;
    QGridLayout *m_slip;
    QList<QPair<QString, bool>> m_rows;
};

} // namespace tav::personal
