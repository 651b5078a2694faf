#include "ui/FieldText.h"

#include <QDate>
#include <QDateTime>

namespace tav::ui {

QString fieldText(store::FieldKind kind, const QVariant &value)
{
    using store::FieldKind;
    if (value.isNull() || !value.isValid())
        return {};
    switch (kind) {
    case FieldKind::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldKind::Date:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case FieldKind::DateTime:
        return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    case FieldKind::Float:
        return QString::number(value.toDouble(), 'g', 15);
    case FieldKind::Blob:
        return QString::fromLatin1(value.toByteArray());
    default:
        return value.toString();
    }
}

bool isNumericKind(store::FieldKind kind)
{
    using store::FieldKind;
    return kind == FieldKind::SmallInt || kind == FieldKind::Integer || kind == FieldKind::Float;
}

} // namespace tav::ui
