#pragma once

#include "port/Ui.h"

#include <QTextStream>

#include <cstdio>

namespace tav::ui {

// The Ui port of programs without windows (the command-line jobs, the station processes of the tests, the
// benchmarks): messages and status texts go to the error stream (or nowhere when silent), questions are
// answered with the refusing button (such a program never consents on the user's behalf), input boxes are
// cancelled.
class ConsoleUi : public Ui
{
public:
    enum class Output { ErrorStream, Silent };

    explicit ConsoleUi(Output output = Output::ErrorStream) : m_silent(output == Output::Silent), m_err(stderr) {}

    Answer message(const QString &text, const QString &title, Buttons buttons = Buttons::Ok,
                   Icon = Icon::FromTitle) override
    {
        ++m_count;
        if (!m_silent)
            m_err << title << ": " << displayText(text) << Qt::endl;
        return closedAnswer(buttons);
    }
    std::optional<QString> inputBox(const QString &caption, const QString &prompt, const QString & = {}) override
    {
        if (!m_silent)
            m_err << caption << ": " << prompt << " (sin respuesta en modo de línea de comandos)" << Qt::endl;
        return std::nullopt;
    }
    void setStatusText(const QString &text) override
    {
        if (!m_silent)
            m_err << text << Qt::endl;
    }
    bool isWindowVisible(const QString &) const override { return false; }
    void beep() override {}
    int messagesShown() const { return m_count; }

protected:
    void beginBusy() override {}
    void endBusy() override {}

private:
    bool m_silent;
    QTextStream m_err;
    int m_count = 0;
};

} // namespace tav::ui
