#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

namespace tav::store {
class Dataset;
} // namespace tav::store

namespace tav::reports {

// Reading a request's values as the printed reports show them.
class RecordText
{
public:
    explicit RecordText(store::Dataset &record) : m_record(record) {}

    QVariant value(const char *field) const;
    // The value as text: numbers without decimals, dates dd/MM/yyyy, null as empty; blanks trimmed.
    QString text(const char *field) const;
    // The text of `result` in the code table row whose `key` is the record's `field`; empty when none.
    QString lookup(const char *field, store::Dataset &table, const char *key, const char *result) const;
    // Non-empty texts of the fields joined by blanks.
    QString joined(std::initializer_list<const char *> fields) const;

private:
    store::Dataset &m_record;
};

} // namespace tav::reports
