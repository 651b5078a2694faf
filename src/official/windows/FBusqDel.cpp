#include "official/windows/FBusqDel.h"

#include "store/Tdm.h"
#include "ui/DatasetModel.h"
#include "ui/GuardedCall.h"
#include "ui/WindowSizing.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tav::official {

FBusqDel::FBusqDel(store::Tdm &dm, ui::Ui &ui, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_ui(ui), m_filter(dm), m_grid(new QTableView(this)),
      m_model(new ui::DatasetModel(*dm.tdel,
                                   {{QStringLiteral("C_TDEL"), QStringLiteral("Código"), {}, 6},
                                    {QStringLiteral("N_LEY"), QStringLiteral("Ley"), {}, 8},
                                    {QStringLiteral("N_ART"), QStringLiteral("Art."), {}, 6},
                                    {QStringLiteral("N_INC"), QStringLiteral("Inc."), {}, 4},
                                    {QStringLiteral("X_TDEL"), QStringLiteral("Descripción del delito"), {}, 50}},
                                   this))
{
    setObjectName(QStringLiteral("FBusqDel"));
    setWindowTitle(QStringLiteral("Selección del delito"));
    m_grid->setObjectName(QStringLiteral("dbgTdel"));
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    new ui::GridLink(m_grid, m_model, ui);

    const QStringList labels{QStringLiteral("Código:"), QStringLiteral("Ley:"), QStringLiteral("Art:"),
                             QStringLiteral("Inc:"), QStringLiteral("Delito:")};
    const QStringList names{QStringLiteral("edCodigo"), QStringLiteral("edLey"), QStringLiteral("edArt"),
                            QStringLiteral("edInc"), QStringLiteral("edDelito")};
    auto *filters = new QGridLayout;
    for (int i = 0; i < 5; ++i) {
        m_edits[i] = new QLineEdit(this);
        m_edits[i]->setObjectName(names[i]);
        m_clears[i] = new QPushButton(QStringLiteral("X"), this);
        m_clears[i]->setObjectName(QStringLiteral("btBorrar") + names[i].mid(2));
        m_clears[i]->setAutoDefault(false);
        m_clears[i]->setToolTip(QStringLiteral("Borrar"));
        m_clears[i]->setFixedWidth(m_clears[i]->sizeHint().height());
        const int row = i < 4 ? 0 : 1;
        const int col = i < 4 ? i * 3 : 0;
        filters->addWidget(new QLabel(labels[i], this), row, col);
        filters->addWidget(m_edits[i], row, col + 1, 1, i < 4 ? 1 : 10);
        filters->addWidget(m_clears[i], row, i < 4 ? col + 2 : 11);
        QLineEdit *e = m_edits[i];
        connect(m_clears[i], &QPushButton::clicked, e, &QLineEdit::clear);
        connect(e, &QLineEdit::returnPressed, this, [this] { ui::guardedCall(m_ui, [this] { search(); }); });
    }
    ui::setWidthInCharacters(m_edits[0], 6);

    auto *find = new QPushButton(QStringLiteral("&Buscar"), this);
    auto *ok = new QPushButton(QStringLiteral("&Aceptar"), this);
    auto *close = new QPushButton(QStringLiteral("&Cerrar"), this);
    find->setObjectName(QStringLiteral("btBuscar"));
    ok->setObjectName(QStringLiteral("btAceptar"));
    close->setObjectName(QStringLiteral("btCerrar"));
    for (QPushButton *b : {find, ok, close})
        b->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(find);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    ui::setMinimumWindowSize(this, {620, 360});

    connect(find, &QPushButton::clicked, this, [this] { ui::guardedCall(m_ui, [this] { search(); }); });
    connect(ok, &QPushButton::clicked, this, [this] { ui::guardedCall(m_ui, [this] { acceptChoice(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    // The chooser starts empty, on the request's offence when it has one.
    for (QLineEdit *e : m_edits)
        e->clear();
    const QVariant code = dm.ped->isActive() ? dm.ped->field(QStringLiteral("C_TDEL")).value() : QVariant();
    if (!code.isNull() && dm.tdel->isActive())
        dm.tdel->locate(QStringLiteral("C_TDEL"), code);
}

FBusqDel::~FBusqDel() = default;

void FBusqDel::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_grid->setFocus();
}

void FBusqDel::search()
{
    m_filter.apply(OffenceSearch::fromTexts(m_edits[0]->text(), m_edits[1]->text(), m_edits[2]->text(),
                                            m_edits[3]->text(), m_edits[4]->text()));
}

void FBusqDel::acceptChoice()
{
    if (acceptOffence(m_dm))
        accept();
}

void FBusqDel::done(int result)
{
    if (result == QDialog::Accepted) {
        const QVariant code = m_dm.tdel->field(QStringLiteral("C_TDEL")).value();
        ui::guardedCall(m_ui, [&] { m_dm.ped->field(QStringLiteral("C_TDEL")).setValue(code); });
    }
    m_filter.clear();
    QDialog::done(result);
}

} // namespace tav::official
