#include "official/windows/Fbped.h"

#include "official/OfficialWindowRules.h"
#include "port/Ui.h"
#include "store/Dataset.h"
#include "ui/GuardedCall.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tav::official {

namespace {

// Letters become capitals as they are typed; the cursor stays where it was.
void forceUpperCase(QLineEdit *edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(cursor);
        }
    });
}

} // namespace

Fbped::Fbped(store::Dataset &table, ui::Ui &ui, QWidget *parent)
    : QDialog(parent), m_table(table), m_ui(ui), m_byCode(new QRadioButton(QStringLiteral("Código de Pedido"), this)),
      m_byCase(new QRadioButton(QStringLiteral("Número de Causa"), this)),
      m_bySurname(new QRadioButton(QStringLiteral("Apellido"), this)), m_code(new QSpinBox(this)),
      m_case(new QLineEdit(this)), m_surname(new QLineEdit(this)),
      m_search(new QPushButton(QStringLiteral("&Buscar"), this)),
      m_close(new QPushButton(QStringLiteral("&Cerrar"), this))
{
    setObjectName(QStringLiteral("Fbped"));
    setWindowTitle(QStringLiteral("Buscar Pedido"));
    m_code->setRange(0, 99999999);
    m_case->setMaxLength(15);
    m_surname->setMaxLength(15);
    forceUpperCase(m_case);
    forceUpperCase(m_surname);
    m_byCode->setChecked(true);
    m_search->setDefault(true);
    m_close->setAutoDefault(false);

    auto *group = new QGroupBox(QStringLiteral(" Criterio de Búsqueda "), this);
    auto *g = new QGridLayout(group);
    g->addWidget(m_byCode, 0, 0);
    g->addWidget(m_code, 0, 1);
    g->addWidget(m_byCase, 1, 0);
    g->addWidget(m_case, 1, 1);
    g->addWidget(m_bySurname, 2, 0);
    g->addWidget(m_surname, 2, 1);
    g->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_search);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    for (QRadioButton *b : {m_byCode, m_byCase, m_bySurname})
        connect(b, &QRadioButton::toggled, this, &Fbped::updateEdits);
    connect(m_search, &QPushButton::clicked, this, [this] { ui::guardedCall(m_ui, [this] { search(); }); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    updateEdits();
}

void Fbped::updateEdits()
{
    m_code->setEnabled(m_byCode->isChecked());
    m_case->setEnabled(m_byCase->isChecked());
    m_surname->setEnabled(m_bySurname->isChecked());
}

void Fbped::search()
{
    bool found = false;
    if (m_byCode->isChecked())
        found = findRequest(m_table, RequestCriterion::Code, m_code->value());
    else if (m_byCase->isChecked())
        found = findRequest(m_table, RequestCriterion::CaseNumber, m_case->text());
    else
        found = findRequest(m_table, RequestCriterion::Surname, m_surname->text());
    if (found) {
        accept();
        return;
    }
    m_ui.message(QStringLiteral("Lo siento, no se ha encontrado el pedido"), OfficialWindowRules::applicationTitle());
}

} // namespace tav::official
