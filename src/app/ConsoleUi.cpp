#include "app/ConsoleUi.h"

#include <cstdio>

namespace tav::app {

ConsoleUi::ConsoleUi() : m_err(stderr) {}

ui::Ui::Answer ConsoleUi::message(const QString &text, const QString &title, Buttons buttons, Icon)
{
    ++m_count;
    m_err << title << ": " << displayText(text) << Qt::endl;
    return closedAnswer(buttons);
}

std::optional<QString> ConsoleUi::inputBox(const QString &caption, const QString &prompt, const QString &)
{
    m_err << caption << ": " << prompt << " (sin respuesta en modo de línea de comandos)" << Qt::endl;
    return std::nullopt;
}

void ConsoleUi::setStatusText(const QString &text)
{
    m_err << text << Qt::endl;
}

} // namespace tav::app
