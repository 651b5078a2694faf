#include "capture/windows/TTwainCaps.h"

#include "capture/windows/DialogButtons.h"
#include "port/Ui.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::capture {

namespace {

QString typeName(scanner::OptionType type)
{
    switch (type) {
    case scanner::OptionType::Bool:
        return QStringLiteral("BOOL");
    case scanner::OptionType::Int:
        return QStringLiteral("INT");
    case scanner::OptionType::Fixed:
        return QStringLiteral("FIXED");
    case scanner::OptionType::String:
        return QStringLiteral("STRING");
    case scanner::OptionType::Button:
        return QStringLiteral("BUTTON");
    case scanner::OptionType::Group:
        return QStringLiteral("GROUP");
    }
    return {};
}

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

} // namespace

TTwainCaps::TTwainCaps(ui::Ui &ui, QWidget *parent)
    : QDialog(parent), m_ui(ui), m_list(new QListWidget), m_details(new QPlainTextEdit),
      m_getCaps(new QPushButton(QStringLiteral("Get Caps"))), m_buttons(new QDialogButtonBox)
{
    setObjectName(QStringLiteral("TwainCaps"));
    setWindowTitle(QStringLiteral("View Twain Capabilities"));
    m_details->setReadOnly(true);
    m_buttons->addButton(QStringLiteral("&Cerrar"), QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    top->addWidget(m_getCaps);
    top->addStretch();
    layout->addLayout(top);
    auto *middle = new QHBoxLayout;
    middle->addWidget(m_list, 1);
    middle->addWidget(m_details, 2);
    layout->addLayout(middle);
    layout->addWidget(m_buttons);
    connect(m_getCaps, &QPushButton::clicked, this, [this] { getCaps(); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { showSelected(); });
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(640, 400);
    dropDefaultButtons(*this);
}

void TTwainCaps::showOptions(const scanner::SaneScanner &scanner)
{
    m_options.clear();
    m_list->clear();
    for (const auto &option : scanner.options()) {
        if (option.type == scanner::OptionType::Group || option.name.isEmpty())
            continue;
        m_options.append(option);
        m_list->addItem(option.name);
    }
    if (!m_options.isEmpty())
        m_list->setCurrentRow(0);
}

bool TTwainCaps::getCaps()
{
    scanner::SaneScanner device;
    QString error;
    if (!device.open(m_device, &error)) {
        m_ui.error(QStringLiteral("No se pudo abrir el scanner: ") + error);
        return false;
    }
    showOptions(device);
    return true;
}

QString TTwainCaps::describe(const scanner::OptionInfo &option)
{
    QStringList lines;
    lines << option.title;
    lines << QStringLiteral("Tipo: ") + typeName(option.type) +
                 (option.valueCount > 1 ? QStringLiteral(" [%1]").arg(option.valueCount) : QString());
    switch (option.constraint) {
    case scanner::ConstraintType::None:
        lines << QStringLiteral("Contenedor: ONEVALUE");
        break;
    case scanner::ConstraintType::Range:
        lines << QStringLiteral("Contenedor: RANGE");
        lines << QStringLiteral("Mínimo: ") + number(option.minimum);
        lines << QStringLiteral("Máximo: ") + number(option.maximum);
        lines << QStringLiteral("Paso: ") + number(option.quantum);
        break;
    case scanner::ConstraintType::WordList: {
        lines << QStringLiteral("Contenedor: ENUMERATION");
        QStringList words;
        for (double w : option.words)
            words << number(w);
        lines << QStringLiteral("Valores: ") + words.join(QStringLiteral(", "));
        break;
    }
    case scanner::ConstraintType::StringList:
        lines << QStringLiteral("Contenedor: ENUMERATION");
        lines << QStringLiteral("Valores: ") + option.strings.join(QStringLiteral(", "));
        break;
    }
    QString current;
    if (!option.value.isValid())
        current = QStringLiteral("(ninguno)");
    else if (option.type == scanner::OptionType::Bool)
        current = option.value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    else if (option.type == scanner::OptionType::String)
        current = option.value.toString();
    else
        current = number(option.value.toDouble());
    lines << QStringLiteral("Actual: ") + current;
    if (!option.active)
        lines << QStringLiteral("(inactiva)");
    if (!option.description.isEmpty())
        lines << QString() << option.description;
    return lines.join(u'\n');
}

void TTwainCaps::showSelected()
{
    const int row = m_list->currentRow();
    m_details->setPlainText(row >= 0 && row < m_options.size() ? describe(m_options[row]) : QString());
}

} // namespace tav::capture
