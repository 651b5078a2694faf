#include "ui/FormBuilder.h"

#include "ui/ComboBinder.h"
#include "ui/DataSource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace tav::ui {

QLineEdit *FormBuilder::lineEdit(const QString &fieldName, const LineEditBinder::Options &options)
{
    auto *e = new QLineEdit(&m_owner);
    e->setObjectName(QStringLiteral("ed") + fieldName);
    m_source.bindLineEdit(e, fieldName, options);
    return e;
}

QLineEdit *FormBuilder::readOnly(const QString &fieldName, const QString &hint)
{
    QLineEdit *e = lineEdit(fieldName, {.readOnly = true});
    e->setToolTip(hint);
    e->setFocusPolicy(Qt::ClickFocus);
    return e;
}

QLineEdit *FormBuilder::dateEdit(const QString &fieldName, bool readOnly)
{
    auto *e = new QLineEdit(&m_owner);
    e->setObjectName(QStringLiteral("ed") + fieldName);
    m_source.bindDateEdit(e, fieldName, readOnly);
    return e;
}

QComboBox *FormBuilder::combo(const QString &fieldName, store::Dataset &list, const QString &key, const QString &text,
                              int minimumCharacters, bool readOnly)
{
    auto *c = new QComboBox(&m_owner);
    c->setObjectName(QStringLiteral("cb") + fieldName);
    m_source.bindComboBox(c, fieldName, list, key, text, readOnly);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(minimumCharacters);
    return c;
}

QHBoxLayout *FormBuilder::clearable(const QString &fieldName, store::Dataset &list, const QString &key,
                                    const QString &text, int minimumCharacters)
{
    QComboBox *c = combo(fieldName, list, key, text, minimumCharacters);
    QToolButton *clear = ComboBinder::createClearButton(&m_owner);
    clear->setObjectName(QStringLiteral("btClear") + fieldName);
    for (FieldBinder *b : m_source.binders())
        if (b->widget() == c)
            static_cast<ComboBinder *>(b)->setClearButton(clear);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(c, 1);
    row->addWidget(clear);
    return row;
}

QCheckBox *FormBuilder::check(const QString &caption, const QString &fieldName, bool readOnly)
{
    auto *box = new QCheckBox(caption, &m_owner);
    box->setObjectName(QStringLiteral("ck") + fieldName);
    m_source.bindCheckBox(box, fieldName, readOnly);
    return box;
}

QLabel *FormBuilder::label(const QString &text, const QString &hint)
{
    auto *l = new QLabel(text, &m_owner);
    if (!hint.isEmpty())
        l->setToolTip(hint);
    return l;
}

QPushButton *FormBuilder::pushButton(const QString &caption, const QString &name, const QString &hint)
{
    auto *b = new QPushButton(caption, &m_owner);
    b->setObjectName(name);
    b->setAutoDefault(false);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

} // namespace tav::ui
