#include "reports/SpanishDate.h"

namespace tav::reports {

QString spanishLongDate(const QDate &date)
{
    static const char *const months[] = {"enero", "febrero", "marzo",     "abril",   "mayo",      "junio",
                                         "julio", "agosto",  "setiembre", "octubre", "noviembre", "diciembre"};
    if (!date.isValid())
        return {};
    return QStringLiteral("%1 de %2 de %3")
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[date.month() - 1]))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

} // namespace tav::reports
