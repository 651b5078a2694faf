#pragma once

#include "capture/ScanProfile.h"
#include "platform/scanner/SaneScanner.h"

#include <QDialog>
#include <QMap>

class QFormLayout;

namespace tav::ui {
class Ui;
}

namespace tav::capture {

// "Opciones del scanner": the scanner's own settings shown before a scan when "Mostrar interface del scanner" is
// ticked (or the profile asks for the scanner's interface). The person changes what the device offers among
// resolution, mode, scan area, brightness and contrast; on Aceptar they are set on the device and taken into the
// scanner profile, which the caller keeps. Cancelar cancels the scan.
class TScanOptions : public QDialog
{
    Q_OBJECT
public:
    explicit TScanOptions(ui::Ui &ui, QWidget *parent = nullptr);

    // Shows the dialog for an open scanner; true when accepted and every value was taken.
    bool edit(scanner::SaneScanner &scanner, ScanProfile &profile);

    // Builds one editor per option the device has (those it cannot change now are shown disabled).
    void load(const scanner::SaneScanner &scanner);
    // Sets the edited values on the device (mode first: it may change the others' ranges) and takes what the
    // device then holds into `profile`. False with an error naming the option the device refused.
    bool apply(scanner::SaneScanner &scanner, ScanProfile &profile, QString *error = nullptr);

    // The editor of an option (a QComboBox or a QDoubleSpinBox), or null when the device lacks it.
    QWidget *editor(const QString &optionName) const { return m_editors.value(optionName); }

    // The options offered, in the order shown.
    static QStringList optionNames();

private:
    QVariant editedValue(const QString &name) const;

    ui::Ui &m_ui;
    QFormLayout *m_form;
    QMap<QString, QWidget *> m_editors;
    QMap<QString, scanner::OptionInfo> m_options;
};

} // namespace tav::capture
