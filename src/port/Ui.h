#pragma once

// The port through which rules talk to the person at the screen: message boxes, input boxes,
// the busy cursor, the status bar. Rules never show a widget themselves, so they run the same
// in the application (QtUi), in headless jobs and in tests (TestUi, which records every message
// and answers from a script). No widget type appears here.
//
// Message texts are passed as written in the program's catalogue, where "\r" marks a line break
// inside a message; the implementation that shows them turns it into a real line break.

#include <QString>

#include <optional>
#include <utility>

namespace tav::ui {

class Ui
{
public:
    // The buttons a person can press, and so the answers a message can get.
    enum Answer { Ok, Cancel, Yes, No };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    // FromTitle picks the icon that goes with the usual titles (see iconForTitle).
    enum class Icon { FromTitle, None, Information, Warning, Error, Question };

    // The usual titles of the program's message boxes.
    static QString warningTitle() { return QStringLiteral("Advertencia"); }
    static QString errorTitle() { return QStringLiteral("Error"); }
    static QString confirmTitle() { return QStringLiteral("Confirmar"); }
    static QString informationTitle() { return QStringLiteral("Información"); }

    virtual ~Ui() = default;

    // Shows a modal message and returns the button pressed. Closing the box without a button
    // (Escape, the window's close button) answers Cancel when there is one, else No, else Ok.
    virtual Answer message(const QString &text, const QString &title, Buttons buttons = Buttons::Ok,
                           Icon icon = Icon::FromTitle) = 0;

    // Asks for one line of text; nothing when the person cancels.
    virtual std::optional<QString> inputBox(const QString &caption, const QString &prompt,
                                            const QString &initialText = {}) = 0;

    // Shows a text in the main window's status bar (nothing happens while that window is hidden).
    virtual void setStatusText(const QString &text) = 0;

    // Whether the top-level window with this object name is on screen.
    virtual bool isWindowVisible(const QString &name) const = 0;

    // The short warning sound.
    virtual void beep() = 0;

    // Shows the busy (hourglass) cursor for its lifetime; guards nest.
    class BusyCursor
    {
    public:
        explicit BusyCursor(Ui &ui) : m_ui(&ui) { m_ui->beginBusy(); }
        BusyCursor(BusyCursor &&other) noexcept : m_ui(std::exchange(other.m_ui, nullptr)) {}
        BusyCursor(const BusyCursor &) = delete;
        BusyCursor &operator=(const BusyCursor &) = delete;
        BusyCursor &operator=(BusyCursor &&) = delete;
        ~BusyCursor()
        {
            if (m_ui)
                m_ui->endBusy();
        }

    private:
        Ui *m_ui;
    };
    [[nodiscard]] BusyCursor busyCursor() { return BusyCursor(*this); }

    // The common forms.
    void warning(const QString &text) { message(text, warningTitle(), Buttons::Ok, Icon::Warning); }
    void error(const QString &text) { message(text, errorTitle(), Buttons::Ok, Icon::Error); }
    void information(const QString &text) { message(text, informationTitle(), Buttons::Ok, Icon::Information); }
    // A Yes/No question; only Yes is consent.
    bool confirm(const QString &text, const QString &title = confirmTitle())
    {
        return message(text, title, Buttons::YesNo, Icon::Question) == Yes;
    }

    // The text as it is shown: "\r\n", "\r" and "\n" each become one line break ("\n").
    static QString displayText(const QString &text)
    {
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        shown.replace(u'\r', u'\n');
        return shown;
    }

    // The icon of a message with one of the usual titles (None for any other title).
    static Icon iconForTitle(const QString &title)
    {
        if (title == warningTitle() || title == QStringLiteral("Atención"))
            return Icon::Warning;
        if (title == errorTitle())
            return Icon::Error;
        if (title == confirmTitle())
            return Icon::Question;
        if (title == informationTitle())
            return Icon::Information;
        return Icon::None;
    }

    // Whether `answer` is one of the buttons of `buttons`.
    static bool offers(Buttons buttons, Answer answer)
    {
        switch (buttons) {
        case Buttons::Ok:
            return answer == Ok;
        case Buttons::OkCancel:
            return answer == Ok || answer == Cancel;
        case Buttons::YesNo:
            return answer == Yes || answer == No;
        case Buttons::YesNoCancel:
            return answer == Yes || answer == No || answer == Cancel;
        }
        return false;
    }

    // The answer of a box closed without pressing a button.
    static Answer closedAnswer(Buttons buttons)
    {
        switch (buttons) {
        case Buttons::Ok:
            return Ok;
        case Buttons::YesNo:
            return No;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel:
            return Cancel;
        }
        return Cancel;
    }

protected:
    virtual void beginBusy() = 0;
    virtual void endBusy() = 0;
};

} // namespace tav::ui
