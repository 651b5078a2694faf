#include "support/TestUi.h"

#include <algorithm>

namespace tav::test {

namespace {

// Texts in failure output with the line-break marks visible.
std::string printable(const QString &text)
{
    QString shown = text;
    shown.replace(u'\r', QStringLiteral("\\r"));
    shown.replace(u'\n', QStringLiteral("\\n"));
    return '"' + shown.toStdString() + '"';
}

} // namespace

TestUi::~TestUi()
{
    if (unusedAnswers() > 0)
        ADD_FAILURE() << "TestUi: " << unusedAnswers() << " scripted answer(s) never used; messages shown: "
                      << messageTexts().join(QStringLiteral(" | ")).toStdString();
    if (m_busyDepth != 0)
        ADD_FAILURE() << "TestUi: " << m_busyDepth << " busy cursor(s) still shown";
}

void TestUi::answerNext(Answer answer)
{
    m_answers.push_back(answer);
}

void TestUi::answerNextInput(std::optional<QString> text)
{
    m_inputAnswers.push_back(std::move(text));
}

QStringList TestUi::messageTexts() const
{
    QStringList texts;
    for (const Message &m : m_messages)
        texts.append(m.text);
    return texts;
}

void TestUi::clearRecord()
{
    m_messages.clear();
    m_inputs.clear();
    m_statusTexts.clear();
    m_busyCount = 0;
    m_maxBusyDepth = m_busyDepth;
    m_beeps = 0;
}

TestUi::Answer TestUi::message(const QString &text, const QString &title, Buttons buttons, Icon icon)
{
    Answer answer = closedAnswer(buttons);
    if (!m_answers.empty()) {
        const Answer scripted = m_answers.front();
        m_answers.pop_front();
        if (offers(buttons, scripted))
            answer = scripted;
        else
            ADD_FAILURE() << "TestUi: scripted answer " << describe(scripted).toStdString() << " to " << printable(text)
                          << " which offers " << describe(buttons).toStdString();
    } else if (m_defaultAnswer && offers(buttons, *m_defaultAnswer)) {
        answer = *m_defaultAnswer;
    }
    m_messages.append({text, title, buttons, icon, answer});
    return answer;
}

std::optional<QString> TestUi::inputBox(const QString &caption, const QString &prompt, const QString &initialText)
{
    std::optional<QString> answer;
    if (!m_inputAnswers.empty()) {
        answer = m_inputAnswers.front();
        m_inputAnswers.pop_front();
    }
    m_inputs.append({caption, prompt, initialText, answer});
    return answer;
}

void TestUi::setWindowVisible(const QString &name, bool visible)
{
    if (visible)
        m_visibleWindows.insert(name);
    else
        m_visibleWindows.remove(name);
}

void TestUi::beginBusy()
{
    ++m_busyCount;
    ++m_busyDepth;
    m_maxBusyDepth = std::max(m_maxBusyDepth, m_busyDepth);
}

void TestUi::endBusy()
{
    --m_busyDepth;
}

::testing::AssertionResult TestUi::shown(std::initializer_list<Expected> expected) const
{
    bool same = expected.size() == static_cast<std::size_t>(m_messages.size());
    qsizetype i = 0;
    for (auto it = expected.begin(); same && it != expected.end(); ++it, ++i) {
        const Message &m = m_messages[i];
        same = m.text == it->text && m.title == it->title && (!it->buttons || *it->buttons == m.buttons);
    }
    if (same)
        return ::testing::AssertionSuccess();

    auto failure = ::testing::AssertionFailure();
    failure << "messages differ\n  expected (" << expected.size() << "):";
    for (const Expected &e : expected) {
        failure << "\n    [" << e.title.toStdString() << "] " << printable(e.text);
        if (e.buttons)
            failure << " " << describe(*e.buttons).toStdString();
    }
    failure << "\n  shown (" << m_messages.size() << "):";
    for (const Message &m : m_messages)
        failure << "\n    [" << m.title.toStdString() << "] " << printable(m.text) << " "
                << describe(m.buttons).toStdString() << " -> " << describe(m.answer).toStdString();
    return failure;
}

QString TestUi::describe(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
        return QStringLiteral("Ok");
    case Buttons::OkCancel:
        return QStringLiteral("Ok/Cancel");
    case Buttons::YesNo:
        return QStringLiteral("Yes/No");
    case Buttons::YesNoCancel:
        return QStringLiteral("Yes/No/Cancel");
    }
    return {};
}

QString TestUi::describe(Answer answer)
{
    switch (answer) {
    case Ok:
        return QStringLiteral("Ok");
    case Cancel:
        return QStringLiteral("Cancel");
    case Yes:
        return QStringLiteral("Yes");
    case No:
        return QStringLiteral("No");
    }
    return {};
}

} // namespace tav::test
