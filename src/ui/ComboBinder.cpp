#include "ui/ComboBinder.h"

#include "store/Dataset.h"
#include "store/Field.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QToolButton>

namespace tav::ui {

namespace {

store::Field &sourceOf(store::Field &lookupField)
{
    const store::LookupSpec &spec = lookupField.lookup();
    if (lookupField.role() != store::FieldRole::Lookup || !spec.dataset)
        throw store::DatasetError(
            QStringLiteral("%1 no es un campo de búsqueda").arg(lookupField.name()).toStdString());
    return lookupField.dataset().field(spec.sourceField);
}

} // namespace

ComboBinder::ComboBinder(QComboBox *combo, store::Field &field, store::Dataset &list, const QString &keyField,
                         const QString &textField, Ui &ui, bool readOnly)
    : FieldBinder(combo, field, ui), m_list(&list)
{
    init(keyField, textField, readOnly);
}

ComboBinder::ComboBinder(QComboBox *combo, store::Field &lookupField, Ui &ui, bool readOnly)
    : FieldBinder(combo, sourceOf(lookupField), ui), m_list(lookupField.lookup().dataset)
{
    init(lookupField.lookup().keyField, lookupField.lookup().resultField, readOnly);
}

void ComboBinder::init(const QString &keyField, const QString &textField, bool readOnly)
{
    m_keyIndex = m_list->field(keyField).index();
    m_textIndex = m_list->field(textField).index();
    QComboBox *combo = comboBox();
    combo->setEditable(false);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_blocker = new InputBlocker(combo);
    FieldBinder::setReadOnly(readOnly);
    connect(combo, &QComboBox::activated, this, &ComboBinder::onActivated);
    connect(m_list, &store::Dataset::layoutChanged, this, &ComboBinder::reloadList);
    reloadList();
    start();
}

QComboBox *ComboBinder::comboBox() const
{
    return static_cast<QComboBox *>(widget());
}

QToolButton *ComboBinder::createClearButton(QWidget *parent, const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setText(QStringLiteral("×"));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(false);
    return button;
}

void ComboBinder::setClearButton(QAbstractButton *button)
{
    if (m_clearButton)
        disconnect(m_clearButton, nullptr, this, nullptr);
    m_clearButton = button;
    if (button) {
        connect(button, &QAbstractButton::clicked, this, [this] {
            if (dataset() && !field().isNull())
                write(QVariant());
        });
        button->setEnabled(canModify());
    }
}

void ComboBinder::reloadList()
{
    QComboBox *combo = comboBox();
    if (!combo)
        return;
    const QSignalBlocker blocker(combo);
    combo->clear();
    if (m_list && m_list->isActive()) {
        const store::Field &text = *m_list->fields().at(static_cast<size_t>(m_textIndex));
        const store::Field &target = field();
        for (int row = 0; row < m_list->recordCount(); ++row) {
            const QVariant code = store::coerceValue(target.kind(), target.size(), m_list->valueAt(row, m_keyIndex));
            if (code.isNull())
                continue;
            combo->addItem(store::Field::textOf(text.kind(), m_list->valueAt(row, m_textIndex)), code);
        }
    }
    refresh();
}

int ComboBinder::indexOfCode(const QVariant &code) const
{
    if (code.isNull())
        return -1;
    const QComboBox *combo = comboBox();
    for (int i = 0; i < combo->count(); ++i)
        if (store::compareKeys(combo->itemData(i), code) == 0)
            return i;
    return -1;
}

void ComboBinder::showValue()
{
    QComboBox *combo = comboBox();
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(indexOfCode(field().value()));
}

void ComboBinder::showReadOnly(bool readOnly)
{
    m_blocker->setBlocking(readOnly);
    if (m_clearButton)
        m_clearButton->setEnabled(!readOnly);
}

void ComboBinder::onActivated(int index)
{
    if (!dataset())
        return;
    const QVariant code = comboBox()->itemData(index);
    if (store::compareKeys(code, field().value()) == 0)
        return; // the same code again: nothing to change, no edit to start
    write(code);
}

} // namespace tav::ui
