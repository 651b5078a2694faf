#include "store/Field.h"

#include "store/Dataset.h"

#include <QDateTime>
#include <cmath>

namespace tav::store {

Field::Field(Dataset &dataset, int index, ColumnDef def, FieldRole role)
    : m_dataset(dataset), m_index(index), m_def(std::move(def)), m_role(role)
{}

QVariant Field::value() const
{
    return m_dataset.fieldValue(m_index);
}

bool Field::isNull() const
{
    return value().isNull();
}

QString Field::asString() const
{
    return textOf(m_def.kind, value());
}

QString Field::textOf(FieldKind kind, const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return {};
    switch (kind) {
    case FieldKind::Boolean:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldKind::Date:
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case FieldKind::DateTime:
        return v.toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    case FieldKind::Float:
        return QString::number(v.toDouble(), 'g', 15);
    case FieldKind::Blob:
        return QString::fromLatin1(v.toByteArray());
    default:
        return v.toString();
    }
}

int Field::asInteger() const
{
    const QVariant v = value();
    if (v.isNull())
        return 0;
    if (m_def.kind == FieldKind::Float)
        return static_cast<int>(std::llround(v.toDouble()));
    if (m_def.kind == FieldKind::String || m_def.kind == FieldKind::Memo) {
        bool ok = false;
        const int n = v.toString().trimmed().toInt(&ok);
        return ok ? n : 0;
    }
    return v.toInt();
}

double Field::asFloat() const
{
    const QVariant v = value();
    return v.isNull() ? 0.0 : v.toDouble();
}

QDate Field::asDate() const
{
    const QVariant v = value();
    if (v.isNull())
        return {};
    if (m_def.kind == FieldKind::DateTime)
        return v.toDateTime().date();
    return v.toDate();
}

bool Field::asBoolean() const
{
    const QVariant v = value();
    return !v.isNull() && v.toBool();
}

QByteArray Field::asBytes() const
{
    const QVariant v = value();
    return v.isNull() ? QByteArray() : v.toByteArray();
}

void Field::setValue(const QVariant &value)
{
    m_dataset.setFieldValue(m_index, value);
}

void Field::setAsString(const QString &text)
{
    setValue(text);
}

QVariant coerceValue(FieldKind kind, int size, const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return {};
    const auto isText = value.typeId() == QMetaType::QString;
    switch (kind) {
    case FieldKind::String: {
        QString s = value.typeId() == QMetaType::Bool
                        ? (value.toBool() ? QStringLiteral("True") : QStringLiteral("False"))
                        : value.toString();
        if (size > 0 && s.size() > size)
            s.truncate(size);
        int end = static_cast<int>(s.size());
        while (end > 0 && s.at(end - 1) == QLatin1Char(' '))
            --end;
        s.truncate(end);
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case FieldKind::Memo: {
        const QString s = value.toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case FieldKind::SmallInt:
    case FieldKind::Integer: {
        if (isText) {
            bool ok = false;
            const int n = value.toString().trimmed().toInt(&ok);
            return ok ? QVariant(n) : QVariant();
        }
        if (value.typeId() == QMetaType::Double)
            return QVariant(static_cast<int>(std::llround(value.toDouble())));
        bool ok = false;
        const int n = value.toInt(&ok);
        return ok ? QVariant(n) : QVariant();
    }
    case FieldKind::Float: {
        bool ok = false;
        const double d = isText ? value.toString().trimmed().toDouble(&ok) : value.toDouble(&ok);
        return ok && std::isfinite(d) ? QVariant(d) : QVariant();
    }
    case FieldKind::Date: {
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().isValid() ? value : QVariant();
        if (value.typeId() == QMetaType::QDateTime)
            return QVariant(value.toDateTime().date());
        const QDate d = QDate::fromString(value.toString().trimmed(), QStringLiteral("dd/MM/yyyy"));
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldKind::DateTime: {
        if (value.typeId() == QMetaType::QDate)
            return QVariant(value.toDate().startOfDay());
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case FieldKind::Boolean: {
        if (isText) {
            const QString s = value.toString().trimmed().toUpper();
            if (s == QLatin1String("TRUE") || s == QLatin1String("T") || s == QLatin1String("S") ||
                s == QLatin1String("Y"))
                return true;
            if (s == QLatin1String("FALSE") || s == QLatin1String("F") || s == QLatin1String("N"))
                return false;
            return {};
        }
        return QVariant(value.toBool());
    }
    case FieldKind::Blob: {
        const QByteArray b = value.toByteArray();
        return b.isEmpty() ? QVariant() : QVariant(b);
    }
    }
    return {};
}

} // namespace tav::store
