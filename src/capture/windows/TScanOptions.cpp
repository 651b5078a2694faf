#include "capture/windows/TScanOptions.h"

#include "capture/windows/DialogButtons.h"
#include "port/Ui.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tav::capture {

namespace {

QString label(const QString &name)
{
    static const QMap<QString, QString> labels = {
        {QStringLiteral("mode"), QStringLiteral("Modo:")},
        {QStringLiteral("resolution"), QStringLiteral("Resolución (DPI):")},
        {QStringLiteral("tl-x"), QStringLiteral("Izquierda:")},
        {QStringLiteral("tl-y"), QStringLiteral("Arriba:")},
        {QStringLiteral("br-x"), QStringLiteral("Derecha:")},
        {QStringLiteral("br-y"), QStringLiteral("Abajo:")},
        {QStringLiteral("brightness"), QStringLiteral("Brillo:")},
        {QStringLiteral("contrast"), QStringLiteral("Contraste:")},
    };
    return labels.value(name, name);
}

QString unitSuffix(int unit)
{
    switch (unit) {
    case 1:
        return QStringLiteral(" px");
    case 3:
        return QStringLiteral(" mm");
    case 4:
        return QStringLiteral(" dpi");
    case 5:
        return QStringLiteral(" %");
    default:
        return {};
    }
}

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

} // namespace

TScanOptions::TScanOptions(ui::Ui &ui, QWidget *parent) : QDialog(parent), m_ui(ui), m_form(new QFormLayout)
{
    setObjectName(QStringLiteral("ScanOptions"));
    setWindowTitle(QStringLiteral("Opciones del scanner"));
    setMinimumWidth(320);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_form);
    auto *buttons = new QHBoxLayout;
    auto *accept = new QPushButton(QStringLiteral("&Aceptar"));
    auto *cancel = new QPushButton(QStringLiteral("&Cancelar"));
    buttons->addStretch();
    buttons->addWidget(accept);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(accept, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    dropDefaultButtons(*this);
}

QStringList TScanOptions::optionNames()
{
    return {QStringLiteral("mode"),       QStringLiteral("resolution"), QStringLiteral("tl-x"),
            QStringLiteral("tl-y"),       QStringLiteral("br-x"),       QStringLiteral("br-y"),
            QStringLiteral("brightness"), QStringLiteral("contrast")};
}

void TScanOptions::load(const scanner::SaneScanner &scanner)
{
    while (m_form->rowCount() > 0)
        m_form->removeRow(0);
    m_editors.clear();
    m_options.clear();
    const QList<scanner::OptionInfo> all = scanner.options();
    for (const QString &name : optionNames()) {
        auto found = std::find_if(all.begin(), all.end(), [&](const auto &o) { return o.name == name; });
        if (found == all.end() || found->type == scanner::OptionType::Button ||
            found->type == scanner::OptionType::Group || found->type == scanner::OptionType::Bool)
            continue;
        const scanner::OptionInfo &o = *found;
        QWidget *editor = nullptr;
        if (o.type == scanner::OptionType::String || o.constraint == scanner::ConstraintType::WordList) {
            auto *box = new QComboBox;
            if (o.type == scanner::OptionType::String) {
                box->addItems(o.strings);
                box->setCurrentText(o.value.toString());
            } else {
                for (double w : o.words)
                    box->addItem(number(w) + unitSuffix(o.unit), w);
                box->setCurrentIndex(std::max(0, box->findData(o.value.toDouble())));
            }
            editor = box;
        } else {
            auto *spin = new QDoubleSpinBox;
            spin->setDecimals(o.type == scanner::OptionType::Fixed ? 1 : 0);
            if (o.constraint == scanner::ConstraintType::Range) {
                spin->setRange(o.minimum, o.maximum);
                spin->setSingleStep(o.quantum > 0 ? o.quantum : 1);
            } else {
                spin->setRange(-1e6, 1e6);
            }
            spin->setSuffix(unitSuffix(o.unit));
            spin->setValue(o.value.toDouble());
            editor = spin;
        }
        editor->setObjectName(name);
        editor->setToolTip(o.description);
        editor->setEnabled(o.active && o.settable);
        m_form->addRow(label(name), editor);
        m_editors.insert(name, editor);
        m_options.insert(name, o);
    }
    if (m_editors.isEmpty())
        m_form->addRow(new QLabel(QStringLiteral("El scanner no ofrece opciones que se puedan cambiar.")));
}

QVariant TScanOptions::editedValue(const QString &name) const
{
    QWidget *w = m_editors.value(name);
    if (auto *box = qobject_cast<QComboBox *>(w))
        return box->currentData().isValid() ? box->currentData() : QVariant(box->currentText());
    if (auto *spin = qobject_cast<QDoubleSpinBox *>(w))
        return spin->value();
    return {};
}

bool TScanOptions::apply(scanner::SaneScanner &scanner, ScanProfile &profile, QString *error)
{
    for (const QString &name : optionNames()) {
        QWidget *w = m_editors.value(name);
        if (!w || !w->isEnabled())
            continue;
        const QVariant wanted = editedValue(name);
        const auto now = scanner.option(name);
        if (!now || !now->active || !now->settable)
            continue; // made inactive by an option set before it
        if (now->value == wanted ||
            (now->type != scanner::OptionType::String && std::fabs(now->value.toDouble() - wanted.toDouble()) < 1e-6))
            continue;
        QString why;
        if (!scanner.setOption(name, wanted, &why)) {
            if (error)
                *error = label(name).chopped(1) + QStringLiteral(": ") + why;
            return false;
        }
    }
    profile.takeFromDevice(scanner.options());
    return true;
}

bool TScanOptions::edit(scanner::SaneScanner &scanner, ScanProfile &profile)
{
    load(scanner);
    while (exec() == QDialog::Accepted) {
        QString error;
        if (apply(scanner, profile, &error))
            return true;
        m_ui.error(QStringLiteral("El scanner no acepta el valor elegido. ") + error);
        load(scanner);
    }
    return false;
}

} // namespace tav::capture
