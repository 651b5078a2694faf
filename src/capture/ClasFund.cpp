#include "capture/ClasFund.h"

namespace tav::capture {

bool ClasFund::validAt(QChar c, int position)
{
    const QString allowed = position == 1 ? QStringLiteral("0aeivx_") : QStringLiteral("01234x_");
    return position >= 1 && position <= kLength && allowed.contains(c);
}

ClasFund::Typed ClasFund::type(const QString &text, int caret, QChar c)
{
    Typed result{false, text, caret};
    if (c >= u'A' && c <= u'Z')
        c = c.toLower();
    if (c == u'-')
        c = u'_';
    if (caret < 0 || caret > text.size() || !validAt(c, caret + 1))
        return result;
    const QChar shown = c.toUpper();
    if (caret < text.size())
        result.text[caret] = shown;
    else
        result.text.append(shown);
    result.accepted = true;
    result.caret = caret + 1;
    return result;
}

ClasFund::Typed ClasFund::paste(const QString &text, int caret, const QString &pasted)
{
    Typed result{false, text, caret};
    for (const QChar c : pasted) {
        const Typed step = type(result.text, result.caret, c);
        if (step.accepted) {
            result = step;
        }
    }
    return result;
}

} // namespace tav::capture
