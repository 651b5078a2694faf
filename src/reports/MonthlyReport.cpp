#include "reports/MonthlyReport.h"

#include "store/Tdm.h"

namespace tav::reports {

MonthlyReport::Period MonthlyReport::proposed(const QDate &today)
{
    const QDate before = today.addMonths(-1);
    return {before.month(), before.year()};
}

QString MonthlyReport::pagePath(const QString &office, int month, int year)
{
    return QStringLiteral("PlanillaInfMensual/Default.aspx?c_regtav=%1&month=%2&year=%3")
        .arg(office)
        .arg(month)
        .arg(year);
}

bool MonthlyReport::accept(store::Tdm &dm, const QString &monthText, const QString &yearText,
                           const std::function<void(const QUrl &)> &open)
{
    bool ok = false;
    int month = monthText.trimmed().toInt(&ok);
    if (!ok)
        month = 0;
    if (month < 1 || month > 12) {
        dm.ui().error(QStringLiteral("ERROR: Número de mes incorrecto"));
        return false;
    }
    int year = yearText.trimmed().toInt(&ok);
    if (!ok)
        year = 0;
    if (year < 2000 || year > 2100) {
        dm.ui().error(QStringLiteral("ERROR: Número de año incorrecto"));
        return false;
    }
    // The rows are read where they stand: the table's grid elsewhere keeps its current row.
    store::Dataset &url = *dm.url;
    if (!url.isActive())
        url.open();
    const int column = url.field(QStringLiteral("X_URL")).index();
    for (int row = 0; row < url.recordCount(); ++row) {
        const QString base = url.valueAt(row, column).toString().trimmed();
        if (base.isEmpty())
            continue;
        const QString address =
            url.valueAt(row, column).toString() + pagePath(dm.readSetting(QStringLiteral("c_regp")), month, year);
        if (open)
            open(QUrl(address.trimmed()));
        return true;
    }
    dm.ui().error(QStringLiteral("ERROR: No se pudo obtener el listado mensual. Verifique la configuración de la URL"));
    return true;
}

} // namespace tav::reports
