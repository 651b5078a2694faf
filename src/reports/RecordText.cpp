#include "reports/RecordText.h"

#include "store/Dataset.h"
#include "store/Field.h"

namespace tav::reports {

QVariant RecordText::value(const char *field) const
{
    return m_record.field(QString::fromLatin1(field)).value();
}

QString RecordText::text(const char *field) const
{
    const store::Field &f = m_record.field(QString::fromLatin1(field));
    return store::Field::textOf(f.kind(), f.value()).trimmed();
}

QString RecordText::lookup(const char *field, store::Dataset &table, const char *key, const char *result) const
{
    const QVariant code = value(field);
    if (code.isNull() || code.toString().trimmed().isEmpty())
        return {};
    return table.lookupValue(QString::fromLatin1(key), code, QString::fromLatin1(result)).toString().trimmed();
}

QString RecordText::joined(std::initializer_list<const char *> fields) const
{
    QStringList kept;
    for (const char *f : fields) {
        const QString t = text(f);
        if (!t.isEmpty())
            kept << t;
    }
    return kept.join(QLatin1Char(' '));
}

} // namespace tav::reports
