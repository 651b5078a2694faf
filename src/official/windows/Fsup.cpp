#include "official/windows/Fsup.h"

#include "official/OfficialWindowRules.h"
#include "store/Tdm.h"
#include "ui/DataSource.h"
#include "ui/FieldBinder.h"
#include "ui/GuardedCall.h"
#include "ui/Navigator.h"
#include "ui/WindowSizing.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::official {

Fsup::Fsup(store::Tdm &dm, ui::Ui &ui, OfficialWindowRules &rules, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_ui(ui), m_rules(rules), m_navigator(new ui::Navigator(dm.sup, ui, this))
{
    setObjectName(QStringLiteral("Fsup"));
    setWindowTitle(QStringLiteral("Supuestos"));
    auto *ds = new ui::DataSource(*dm.sup, ui, this);
    ds->setAutoEdit(false);
    const auto edit = [&](const QString &fieldName) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("ed") + fieldName);
        ds->bindLineEdit(e, fieldName, {.upperCase = true});
        // Room for a whole name of the table's 15 capitals.
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QString(15, QLatin1Char('N'))) + 12);
        return e;
    };

    auto *group = new QGroupBox(QStringLiteral("Nombres y Apellidos"), this);
    auto *g = new QGridLayout(group);
    g->addWidget(new QLabel(QStringLiteral("Apellidos"), this), 0, 0);
    g->addWidget(edit(QStringLiteral("X_APE1")), 0, 1);
    g->addWidget(edit(QStringLiteral("X_APE2")), 0, 2);
    g->addWidget(new QLabel(QStringLiteral("Nombres "), this), 1, 0);
    g->addWidget(edit(QStringLiteral("X_NOM1")), 1, 1);
    g->addWidget(edit(QStringLiteral("X_NOM2")), 1, 2);
    g->addWidget(edit(QStringLiteral("X_NOM3")), 1, 3);
    for (int c : {1, 2, 3})
        g->setColumnStretch(c, 1);

    m_navigator->setObjectName(QStringLiteral("nvSup"));
    m_navigator->setHints(ui::Navigator::defaultHints());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_navigator);
    layout->addWidget(group);
    ui::setMinimumWindowSize(this, {463, 161});

    // The alias just saved stays on screen (the table is re-read after a save), and "+" puts the
    // cursor in the first surname.
    m_navigator->beforeAction = [this, &rules, &dm](ui::Navigator::Action action) {
        if (!rules.beforeAliasAction(static_cast<OfficialWindowRules::Action>(action)))
            return false;
        if (action == ui::Navigator::Post)
            m_keep = dm.sup->state() == store::DatasetState::Edit ? dm.sup->position() : -2;
        return true;
    };
    connect(m_navigator, &ui::Navigator::clicked, this, [this, &dm](ui::Navigator::Action action) {
        store::Dataset &sup = *dm.sup;
        if (action == ui::Navigator::Post && m_keep != -1) {
            if (m_keep == -2)
                sup.last(); // aliases are listed in the order they were entered
            else
                sup.moveTo(m_keep);
            m_keep = -1;
        }
        if (action == ui::Navigator::Insert || action == ui::Navigator::Edit)
            findChild<QLineEdit *>(QStringLiteral("edX_APE1"))->setFocus(Qt::OtherFocusReason);
    });
}

void Fsup::done(int result)
{
    bool leave = false;
    ui::guardedCall(m_ui, [&] {
        // Input a control still holds (a date being typed) counts as part of the edit.
        if (m_dm.sup->isEditing() && !ui::FieldBinder::commitPending(*m_dm.sup))
            return;
        leave = m_rules.leaveAliasEdit();
    });
    if (leave)
        QDialog::done(result);
}

} // namespace tav::official
