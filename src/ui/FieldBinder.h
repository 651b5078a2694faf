#pragma once

#include "port/Ui.h"
#include "store/Dataset.h"

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <functional>

namespace tav::ui {

// One widget bound to one field of a dataset, the way the office's data-aware controls behave:
//
// - The widget shows the value of the current record and follows the dataset: another record
//   becoming current (currentChanged), a rule changing the field (fieldChanged) and the record
//   entering or leaving edit (stateChanged).
// - What the person types or picks is written to the field. When the dataset is browsing and
//   auto-edit is on, the record is put into edit first. With auto-edit off (the request and
//   organisation windows) the widget stays read-only until the navigator or the window's code puts
//   the record in edit or insert.
// - A read-only field, a lookup or calculated field, a closed dataset and the binder's own
//   read-only option keep the widget read-only.
// - A write never re-enters: the change the widget makes does not come back to the widget while it
//   is being written. A refusal (a rule's Abort, a record held by another station) is reported
//   through the Ui port and the widget shows the field's value again.
//
// Binders are owned by their widget. Several binders may watch one dataset; commitPending() asks
// every one of them to write input it still holds (a date typed but not yet confirmed), which the
// navigator does before it saves or moves.
class FieldBinder : public QObject
{
    Q_OBJECT

public:
    FieldBinder(QWidget *widget, store::Field &field, Ui &ui);
    ~FieldBinder() override;
    FieldBinder(const FieldBinder &) = delete;
    FieldBinder &operator=(const FieldBinder &) = delete;

    store::Field &field() const { return m_field; }
    store::Dataset *dataset() const { return m_dataset; }
    QWidget *widget() const { return m_widget; }

    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool autoEdit);
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // Whether the person can change the value now.
    bool canModify() const;

    // Writes input the widget still holds; false, after telling the person why, when that input is
    // not a valid value (the widget then has the focus again).
    virtual bool commit() { return true; }
    // commit() of every binder of the dataset; false at the first refusal.
    static bool commitPending(store::Dataset &dataset);

    // Shows the field's value and the widget's read-only state again.
    void refresh();

protected:
    // Puts the value of the current record on the widget.
    virtual void showValue() = 0;
    virtual void showReadOnly(bool readOnly) = 0;

    // Puts the record into edit when it is browsing (auto-edit), then sets the field. False when
    // the person may not change the value or the change was refused (the widget is refreshed then).
    bool write(const QVariant &value);
    // Only puts the record into edit (the first key of an input that is written later).
    bool beginEdit();
    bool isWriting() const { return m_writing; }
    // Whether the widget shows the field again after its own write (a drop-down or check box does,
    // so a rule's correction shows; an edit being typed in does not, so the cursor and blanks stay).
    virtual bool reshowsAfterWrite() const { return true; }
    Ui &ui() const { return m_ui; }

    // Starts following the dataset; derived constructors call it last, once they can show values.
    void start();

private:
    bool change(const std::function<void()> &step);
    void onFieldChanged(int index);

    QPointer<QWidget> m_widget;
    store::Field &m_field;
    QPointer<store::Dataset> m_dataset;
    Ui &m_ui;
    bool m_autoEdit = true;
    bool m_readOnly = false;
    bool m_writing = false;
};

// Makes a widget that has no read-only mode of its own (a check box, a drop-down) ignore the mouse
// and the keys that would change it, while it keeps its normal look and can still take the focus.
class InputBlocker : public QObject
{
    Q_OBJECT

public:
    explicit InputBlocker(QWidget *widget);
    void setBlocking(bool blocking) { m_blocking = blocking; }
    bool isBlocking() const { return m_blocking; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_blocking = false;
};

} // namespace tav::ui
