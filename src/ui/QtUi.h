#pragma once

#include "port/Ui.h"

#include <QPointer>

class QStatusBar;
class QWidget;

namespace tav::ui {

// The Ui port shown with Qt Widgets: message boxes with Spanish buttons ("Aceptar", "Cancelar",
// "Sí", "No"), input boxes, the application's override cursor and the main window's status bar.
class QtUi : public Ui
{
public:
    // Dialogs are parented to `parent` when given, else to the active window.
    explicit QtUi(QWidget *parent = nullptr);

    // The status bar that setStatusText() writes to; it is left alone while its window is hidden.
    void setStatusBar(QStatusBar *statusBar);

    Answer message(const QString &text, const QString &title, Buttons buttons = Buttons::Ok,
                   Icon icon = Icon::FromTitle) override;
    std::optional<QString> inputBox(const QString &caption, const QString &prompt,
                                    const QString &initialText = {}) override;
    void setStatusText(const QString &text) override;
    bool isWindowVisible(const QString &name) const override;
    void beep() override;

protected:
    void beginBusy() override;
    void endBusy() override;

private:
    QWidget *dialogParent() const;

    QPointer<QWidget> m_parent;
    QPointer<QStatusBar> m_statusBar;
};

} // namespace tav::ui
