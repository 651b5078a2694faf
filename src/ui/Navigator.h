#pragma once

#include "port/Ui.h"
#include "store/Dataset.h"

#include <QFlags>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>

class QToolButton;

namespace tav::ui {

// The record navigator of the office's windows: up to ten buttons (first, prior, next, last,
// insert, delete, edit, save "✓", cancel "✗", refresh) over one dataset.
//
// Buttons are enabled as the dataset allows: nothing while it is closed; first and prior unless
// at the beginning, next and last unless at the end; insert and refresh while open; edit while
// not already editing; save and cancel only while editing or inserting; delete while there is a
// record. Moving, inserting or refreshing while a record is in edit saves it first, as the dataset
// does, so a save the person did not confirm meets the window's rules.
//
// Before each button runs, input the bound controls still hold is written (FieldBinder), then
// `beforeAction` is asked: returning false (or throwing store::Abort) cancels the button; windows
// use it to refuse ("messages are being received") and to set the data module's post-confirmed
// flag just before a save. The navigator asks no delete confirmation of its own: the delete rules
// ask. A rule's store::Abort ends the button silently; a store::DatasetError or any other
// std::exception is shown through the Ui port with the title "Error". `clicked` follows each
// button that ran to its end.
class Navigator : public QWidget
{
    Q_OBJECT

public:
    enum Action { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    Q_ENUM(Action)
    static constexpr int ActionCount = 10;

    enum Button {
        FirstButton = 1 << First,
        PriorButton = 1 << Prior,
        NextButton = 1 << Next,
        LastButton = 1 << Last,
        InsertButton = 1 << Insert,
        DeleteButton = 1 << Delete,
        EditButton = 1 << Edit,
        PostButton = 1 << Post,
        CancelButton = 1 << Cancel,
        RefreshButton = 1 << Refresh,
    };
    Q_DECLARE_FLAGS(Buttons, Button)

    static constexpr Buttons allButtons() { return Buttons(0x3ff); }
    static constexpr Buttons moveButtons() { return Buttons(0x00f); }
    static Button buttonOf(Action action) { return static_cast<Button>(1 << action); }
    // "Primer registro", "Registro anterior", ... in button order.
    static QStringList defaultHints();
    // The hints of the record windows (requests, organisations, users): "Agregar un registro", "Aceptar"...
    static QStringList recordHints();

    explicit Navigator(Ui &ui, QWidget *parent = nullptr);
    Navigator(store::Dataset *dataset, Ui &ui, QWidget *parent = nullptr);

    store::Dataset *dataset() const { return m_dataset; }
    void setDataset(store::Dataset *dataset);

    Buttons visibleButtons() const { return m_visible; }
    void setVisibleButtons(Buttons buttons);

    QString hint(Action action) const;
    void setHint(Action action, const QString &hint);
    // Hints in button order (first .. refresh); a shorter list leaves the remaining hints.
    void setHints(const QStringList &hints);

    QToolButton *button(Action action) const { return m_buttons.at(static_cast<size_t>(action)); }

    // Runs a button's action as a click does (also when the button is hidden or disabled); true
    // when it ran to its end.
    bool trigger(Action action);

    // Asked before each button; false cancels it.
    std::function<bool(Action)> beforeAction;

    // Enables the buttons for the dataset's state and position now (done on every dataset signal).
    void updateButtons();

signals:
    void clicked(tav::ui::Navigator::Action action);

private:
    void run(Action action);

    Ui &m_ui;
    QPointer<store::Dataset> m_dataset;
    std::array<QToolButton *, ActionCount> m_buttons{};
    Buttons m_visible = allButtons();
    bool m_running = false;
};

} // namespace tav::ui

Q_DECLARE_OPERATORS_FOR_FLAGS(tav::ui::Navigator::Buttons)
