#pragma once

#include "port/Ui.h"

#include <QTextStream>

namespace tav::app {

// The Ui port of the command-line jobs: messages go to the error stream, questions are answered with the
// refusing button (a job never consents on the user's behalf), input boxes are cancelled.
class ConsoleUi : public ui::Ui
{
public:
    ConsoleUi();
    Answer message(const QString &text, const QString &title, Buttons buttons = Buttons::Ok,
                   Icon icon = Icon::FromTitle) override;
    std::optional<QString> inputBox(const QString &caption, const QString &prompt,
                                    const QString &initialText = {}) override;
    void setStatusText(const QString &text) override;
    bool isWindowVisible(const QString &) const override { return false; }
    void beep() override {}
    int messagesShown() const { return m_count; }

protected:
    void beginBusy() override {}
    void endBusy() override {}

private:
    QTextStream m_err;
    int m_count = 0;
};

} // namespace tav::app
