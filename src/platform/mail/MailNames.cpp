#include "platform/mail/MailNames.h"

#include <QRegularExpression>

namespace tav::mail {

QString bareFileName(const QString &networkName)
{
    QString name = networkName;
    const qsizetype slash = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (slash >= 0)
        name = name.mid(slash + 1);
    const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0)
        name = name.mid(colon + 1);
    QString clean;
    for (const QChar c : std::as_const(name))
        if (c.unicode() >= 0x20 && c != QChar(0x7F) && !QStringLiteral("<>\"|?*").contains(c))
            clean += c;
    clean = clean.trimmed();
    while (clean.endsWith(QLatin1Char('.')) || clean.endsWith(QLatin1Char(' ')))
        clean.chop(1);
    if (clean.isEmpty() || clean == QLatin1String(".") || clean == QLatin1String(".."))
        return QStringLiteral("adjunto");
    static const QRegularExpression device(QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (device.match(clean).hasMatch())
        clean.prepend(QLatin1Char('_'));
    return clean;
}

} // namespace tav::mail
