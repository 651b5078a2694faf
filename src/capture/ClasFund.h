#pragma once

#include <QString>

namespace tav::capture {

// The fundamental classification of one hand: five characters, position 1 one of "0aeivx_", positions 2 to 5 one
// of "01234x_", kept and shown in upper case; "_____" is the erased classification.
class ClasFund
{
public:
    static QString erased() { return QStringLiteral("_____"); }
    static constexpr int kLength = 5;

    // Whether `c` (already in lower case) is valid at 1-based position `position`.
    static bool validAt(QChar c, int position);

    struct Typed
    {
        bool accepted = false;
        QString text;  // the text after the key
        int caret = 0; // the caret after the key
    };
    // A character typed with the caret at `caret` (0-based): upper-case letters turn to lower case and "-" to "_",
    // then the character is checked for position caret + 1 and overwrites that position (appended at the end of
    // a shorter text), shown in upper case. A rejected character leaves text and caret as they were.
    static Typed type(const QString &text, int caret, QChar c);
    // Pasted text: each character goes through type() in turn, from `caret`; rejected characters are dropped.
    // Nothing is removed, so the text never shrinks.
    static Typed paste(const QString &text, int caret, const QString &pasted);
};

} // namespace tav::capture
