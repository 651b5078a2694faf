#pragma once

#include "platform/scanner/SaneScanner.h"

#include <QDialog>

class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QDialogButtonBox;

namespace tav::ui {
class Ui;
}

namespace tav::capture {

// "View Twain Capabilities": the options of the chosen scanner with their types, constraints and current values.
// It changes nothing (the scanner's options are changed in "Opciones del scanner", TScanOptions).
class TTwainCaps : public QDialog
{
    Q_OBJECT
public:
    TTwainCaps(ui::Ui &ui, QWidget *parent = nullptr);

    // The device whose options "Get Caps" lists (empty: the first device found).
    void setDeviceName(const QString &name) { m_device = name; }
    // Lists the options of an already opened scanner (nothing is opened or closed).
    void showOptions(const scanner::SaneScanner &scanner);
    // "Get Caps": opens the device, lists its options and closes it. False with a message when it cannot.
    bool getCaps();

    // Text describing one option: its type, its constraint and its current value.
    static QString describe(const scanner::OptionInfo &option);

    QListWidget *capsList() const { return m_list; }
    QPlainTextEdit *details() const { return m_details; }
    QPushButton *getCapsButton() const { return m_getCaps; }
    QDialogButtonBox *buttons() const { return m_buttons; }

private:
    void showSelected();

    ui::Ui &m_ui;
    QString m_device;
    QList<scanner::OptionInfo> m_options;
    QListWidget *m_list;
    QPlainTextEdit *m_details;
    QPushButton *m_getCaps;
    QDialogButtonBox *m_buttons;
};

} // namespace tav::capture
