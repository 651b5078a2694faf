#pragma once

#include "port/Ui.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <optional>

namespace tav::test {

// The Ui port for tests: records every message, input box, status text and busy cursor, and
// answers from a script. A question nobody scripted gets the default answer (by default the one
// that refuses: No, or Cancel, or Ok for a plain message) and is recorded like any other.
//
//     TestUi ui;
//     ui.answerNext(Ui::Yes);
//     rules.deleteRequest(ui);
//     EXPECT_TRUE(ui.shown({{"¿Está seguro?", "Confirmar"}}));
//
// Scripted answers left unused when the TestUi goes away fail the test: the question the test
// expected was never asked.
class TestUi : public tav::ui::Ui
{
public:
    struct Message
    {
        QString text; // as the rule passed it ("\r" kept)
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::FromTitle;
        Answer answer = Ok;
    };
    struct InputBox
    {
        QString caption;
        QString prompt;
        QString initialText;
        std::optional<QString> answer;
    };
    // One expected message; `buttons` is compared only when given.
    struct Expected
    {
        QString text;
        QString title;
        std::optional<Buttons> buttons = std::nullopt;
    };

    TestUi() = default;
    ~TestUi() override;
    TestUi(const TestUi &) = delete;
    TestUi &operator=(const TestUi &) = delete;

    // Script: the next question is answered so (queued in order).
    void answerNext(Answer answer);
    // Script: the next input box returns this text, or is cancelled with std::nullopt.
    void answerNextInput(std::optional<QString> text);
    // The answer to unscripted questions, when the box offers it (else the refusing answer).
    void setDefaultAnswer(Answer answer) { m_defaultAnswer = answer; }

    const QList<Message> &messages() const { return m_messages; }
    QStringList messageTexts() const;
    const QList<InputBox> &inputBoxes() const { return m_inputs; }
    const QStringList &statusTexts() const { return m_statusTexts; }
    int busyCount() const { return m_busyCount; } // guards taken so far
    int busyDepth() const { return m_busyDepth; } // guards alive now
    int maxBusyDepth() const { return m_maxBusyDepth; }
    int beeps() const { return m_beeps; }
    int unusedAnswers() const { return static_cast<int>(m_answers.size() + m_inputAnswers.size()); }
    // Forgets what was recorded (not the script).
    void clearRecord();

    // The exact messages shown since the start (or the last clearRecord), in order.
    ::testing::AssertionResult shown(std::initializer_list<Expected> expected) const;
    ::testing::AssertionResult shownNothing() const { return shown({}); }

    void setWindowVisible(const QString &name, bool visible);

    Answer message(const QString &text, const QString &title, Buttons buttons = Buttons::Ok,
                   Icon icon = Icon::FromTitle) override;
    std::optional<QString> inputBox(const QString &caption, const QString &prompt,
                                    const QString &initialText = {}) override;
    void setStatusText(const QString &text) override { m_statusTexts.append(text); }
    bool isWindowVisible(const QString &name) const override { return m_visibleWindows.contains(name); }
    void beep() override { ++m_beeps; }

    static QString describe(Buttons buttons);
    static QString describe(Answer answer);

protected:
    void beginBusy() override;
    void endBusy() override;

private:
    std::deque<Answer> m_answers;
    std::deque<std::optional<QString>> m_inputAnswers;
    std::optional<Answer> m_defaultAnswer;
    QList<Message> m_messages;
    QList<InputBox> m_inputs;
    QStringList m_statusTexts;
    QSet<QString> m_visibleWindows;
    int m_busyCount = 0;
    int m_busyDepth = 0;
    int m_maxBusyDepth = 0;
    int m_beeps = 0;
};

} // namespace tav::test
