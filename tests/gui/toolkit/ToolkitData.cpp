#include "ToolkitData.h"

#include <QApplication>
#include <QDate>
#include <QKeyEvent>
#include <QWidget>

namespace tav::test {

using store::ColumnDef;
using store::FieldKind;

std::unique_ptr<store::Dataset> makeRequests(bool withRows)
{
    auto src = std::make_unique<store::MemorySource>("ped",
                                                     QList<ColumnDef>{{"C_PED", FieldKind::Float, 8, 0},
                                                                      {"X_APE1", FieldKind::String, 15, 0},
                                                                      {"C_PROV", FieldKind::SmallInt, 4, 0},
                                                                      {"F_NAC", FieldKind::Date, 8, 0},
                                                                      {"M_ENVIADO", FieldKind::Boolean, 1, 0},
                                                                      {"X_MARCA", FieldKind::String, 1, 0}},
                                                     0);
    src->open();
    if (withRows) {
        src->append({30.0, "PEREZ", 2, QDate(1980, 1, 2), QVariant(), QVariant()});
        src->append({10.0, "GOMEZ", 1, QVariant(), false, "S"});
        src->append({20.0, "ÑANDU", 9, QDate(2001, 5, 6), true, "N"});
    }
    return std::make_unique<store::Dataset>("ped", std::move(src));
}

std::unique_ptr<store::Dataset> makeProvinces()
{
    auto src = std::make_unique<store::MemorySource>(
        "prov", QList<ColumnDef>{{"C_PROV", FieldKind::SmallInt, 4, 0}, {"X_PROV", FieldKind::String, 40, 0}}, 0);
    src->open();
    src->append({9, "MENDOZA"});
    src->append({1, "CAPITAL"});
    src->append({2, "BUENOS AIRES"});
    auto ds = std::make_unique<store::Dataset>("prov", std::move(src));
    ds->open();
    return ds;
}

void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        const int key = c.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace tav::test
