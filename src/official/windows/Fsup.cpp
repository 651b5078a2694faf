#include "official/windows/Fsup.h"

#include "official/OfficialWindowRules.h"
#include "store/Tdm.h"
#include "ui/DataSource.h"
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
    : QDialog(parent), m_navigator(new ui::Navigator(dm.sup, ui, this))
{
    setObjectName(QStringLiteral("Fsup"));
    setWindowTitle(QStringLiteral("Supuestos"));
    auto *ds = new ui::DataSource(*dm.sup, ui, this);
    ds->setAutoEdit(false);
    const auto edit = [&](const QString &fieldName) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("ed") + fieldName);
        ds->bindLineEdit(e, fieldName, {.upperCase = true});
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
    m_navigator->beforeAction = [&rules](ui::Navigator::Action action) {
        return rules.beforeAliasAction(static_cast<OfficialWindowRules::Action>(action));
    };
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_navigator);
    layout->addWidget(group);
    ui::setMinimumWindowSize(this, {463, 161});
}

} // namespace tav::official
