#include "ui/CheckBoxBinder.h"

#include "store/Dataset.h"

#include <QCheckBox>

namespace tav::ui {

CheckBoxBinder::CheckBoxBinder(QCheckBox *box, store::Field &field, Ui &ui, bool readOnly) : FieldBinder(box, field, ui)
{
    box->setTristate(false);
    m_blocker = new InputBlocker(box);
    FieldBinder::setReadOnly(readOnly);
    connect(box, &QCheckBox::clicked, this, &CheckBoxBinder::onClicked);
    start();
}

QCheckBox *CheckBoxBinder::checkBox() const
{
    return static_cast<QCheckBox *>(widget());
}

void CheckBoxBinder::setTextValues(const QString &checked, const QString &unchecked)
{
    m_checkedText = checked;
    m_uncheckedText = unchecked;
    refresh();
}

void CheckBoxBinder::showValue()
{
    const store::Field &f = field();
    bool checked = false;
    if (f.kind() == store::FieldKind::Boolean)
        checked = f.asBoolean();
    else
        checked = !f.isNull() && f.asString().trimmed().compare(m_checkedText, Qt::CaseInsensitive) == 0;
    checkBox()->setChecked(checked);
}

void CheckBoxBinder::showReadOnly(bool readOnly)
{
    m_blocker->setBlocking(readOnly);
}

void CheckBoxBinder::onClicked(bool checked)
{
    if (!dataset())
        return;
    if (field().kind() == store::FieldKind::Boolean)
        write(checked);
    else
        write(checked ? m_checkedText : m_uncheckedText);
}

} // namespace tav::ui
