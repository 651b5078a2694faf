#include "ui/QtUi.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <utility>
#include <vector>

namespace tav::ui {

namespace {

QString buttonText(Ui::Answer answer)
{
    switch (answer) {
    case Ui::Ok:
        return QStringLiteral("Aceptar");
    case Ui::Cancel:
        return QStringLiteral("Cancelar");
    case Ui::Yes:
        return QStringLiteral("Sí");
    case Ui::No:
        return QStringLiteral("No");
    }
    return {};
}

QMessageBox::ButtonRole buttonRole(Ui::Answer answer)
{
    switch (answer) {
    case Ui::Ok:
        return QMessageBox::AcceptRole;
    case Ui::Cancel:
        return QMessageBox::RejectRole;
    case Ui::Yes:
        return QMessageBox::YesRole;
    case Ui::No:
        return QMessageBox::NoRole;
    }
    return QMessageBox::InvalidRole;
}

std::vector<Ui::Answer> answersOf(Ui::Buttons buttons)
{
    switch (buttons) {
    case Ui::Buttons::Ok:
        return {Ui::Ok};
    case Ui::Buttons::OkCancel:
        return {Ui::Ok, Ui::Cancel};
    case Ui::Buttons::YesNo:
        return {Ui::Yes, Ui::No};
    case Ui::Buttons::YesNoCancel:
        return {Ui::Yes, Ui::No, Ui::Cancel};
    }
    return {Ui::Ok};
}

QMessageBox::Icon boxIcon(Ui::Icon icon, const QString &title)
{
    if (icon == Ui::Icon::FromTitle)
        icon = Ui::iconForTitle(title);
    switch (icon) {
    case Ui::Icon::Information:
        return QMessageBox::Information;
    case Ui::Icon::Warning:
        return QMessageBox::Warning;
    case Ui::Icon::Error:
        return QMessageBox::Critical;
    case Ui::Icon::Question:
        return QMessageBox::Question;
    case Ui::Icon::FromTitle:
    case Ui::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtUi::QtUi(QWidget *parent) : m_parent(parent) {}

void QtUi::setStatusBar(QStatusBar *statusBar)
{
    m_statusBar = statusBar;
}

QWidget *QtUi::dialogParent() const
{
    return m_parent ? m_parent.data() : QApplication::activeWindow();
}

Ui::Answer QtUi::message(const QString &text, const QString &title, Buttons buttons, Icon icon)
{
    QMessageBox box(dialogParent());
    box.setWindowTitle(title);
    box.setText(displayText(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(boxIcon(icon, title));

    std::vector<std::pair<QAbstractButton *, Answer>> pressed;
    for (const Answer answer : answersOf(buttons)) {
        QPushButton *button = box.addButton(buttonText(answer), buttonRole(answer));
        pressed.emplace_back(button, answer);
        if (answer == closedAnswer(buttons))
            box.setEscapeButton(button);
    }
    box.setDefaultButton(static_cast<QPushButton *>(pressed.front().first));
    box.exec();

    for (const auto &[button, answer] : pressed) {
        if (box.clickedButton() == button)
            return answer;
    }
    return closedAnswer(buttons);
}

std::optional<QString> QtUi::inputBox(const QString &caption, const QString &prompt, const QString &initialText)
{
    QInputDialog dialog(dialogParent());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(displayText(prompt));
    dialog.setTextValue(initialText);
    dialog.setOkButtonText(buttonText(Ok));
    dialog.setCancelButtonText(buttonText(Cancel));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void QtUi::setStatusText(const QString &text)
{
    if (!m_statusBar || !m_statusBar->window()->isVisible())
        return;
    m_statusBar->showMessage(text);
    m_statusBar->repaint();
}

bool QtUi::isWindowVisible(const QString &name) const
{
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window->objectName() == name && window->isVisible())
            return true;
    }
    return false;
}

void QtUi::beep()
{
    QApplication::beep();
}

void QtUi::beginBusy()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUi::endBusy()
{
    QApplication::restoreOverrideCursor();
}

} // namespace tav::ui
