#include "ui/FieldBinder.h"

#include "store/Dataset.h"
#include "ui/GuardedCall.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace tav::ui {

namespace {

// Every live binder, so the navigator can ask those of its dataset for pending input.
std::vector<FieldBinder *> &liveBinders()
{
    static std::vector<FieldBinder *> binders;
    return binders;
}

} // namespace

FieldBinder::FieldBinder(QWidget *widget, store::Field &field, Ui &ui)
    : QObject(widget), m_widget(widget), m_field(field), m_dataset(&field.dataset()), m_ui(ui)
{
    liveBinders().push_back(this);
}

FieldBinder::~FieldBinder()
{
    auto &all = liveBinders();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void FieldBinder::start()
{
    connect(m_dataset, &store::Dataset::currentChanged, this, &FieldBinder::refresh);
    connect(m_dataset, &store::Dataset::stateChanged, this, &FieldBinder::refresh);
    connect(m_dataset, &store::Dataset::fieldChanged, this, &FieldBinder::onFieldChanged);
    refresh();
}

void FieldBinder::setAutoEdit(bool autoEdit)
{
    m_autoEdit = autoEdit;
    refresh();
}

void FieldBinder::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    refresh();
}

bool FieldBinder::canModify() const
{
    if (!m_dataset || !m_widget || m_readOnly || !m_dataset->isActive())
        return false;
    if (m_field.isReadOnly() || m_field.role() != store::FieldRole::Data)
        return false;
    return m_dataset->isEditing() || m_autoEdit;
}

void FieldBinder::refresh()
{
    if (!m_widget || !m_dataset)
        return;
    showReadOnly(!canModify());
    if (!m_writing)
        showValue();
}

void FieldBinder::onFieldChanged(int index)
{
    if (index == m_field.index())
        refresh();
}

bool FieldBinder::change(const std::function<void()> &step)
{
    if (m_writing)
        return false;
    if (!canModify()) {
        refresh();
        return false;
    }
    m_writing = true;
    const bool ok = guardedCall(m_ui, [&] {
        if (!m_dataset->isEditing())
            m_dataset->edit();
        step();
    });
    m_writing = false;
    if (!ok)
        refresh();
    else if (m_widget && m_dataset) {
        showReadOnly(!canModify());
        if (reshowsAfterWrite())
            showValue();
    }
    return ok;
}

bool FieldBinder::write(const QVariant &value)
{
    return change([&] { m_field.setValue(value); });
}

bool FieldBinder::beginEdit()
{
    return change([] {});
}

bool FieldBinder::commitPending(store::Dataset &dataset)
{
    std::vector<QPointer<FieldBinder>> mine;
    for (FieldBinder *b : liveBinders())
        if (b->m_dataset == &dataset)
            mine.emplace_back(b);
    for (const auto &b : mine)
        if (b && !b->commit())
            return false;
    return true;
}

InputBlocker::InputBlocker(QWidget *widget) : QObject(widget)
{
    widget->installEventFilter(this);
}

bool InputBlocker::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_blocking)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // Moving on and the dialog's own keys still work; every other key would change the value.
        return key != Qt::Key_Tab && key != Qt::Key_Backtab && key != Qt::Key_Escape && key != Qt::Key_Return &&
               key != Qt::Key_Enter;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace tav::ui
