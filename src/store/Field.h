#pragma once

#include "store/Event.h"

#include "store/RecordSource.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVariant>

#include <functional>

namespace tav::store {

class Dataset;

// What a field shows: a stored column, a value looked up in another dataset, or a value the
// dataset's calculation handler computes for each record.
enum class FieldRole { Data, Lookup, Calculated };

// Where a lookup field takes its value: the row of `dataset` whose `keyField` equals this
// record's `sourceField`, column `resultField`.
struct LookupSpec
{
    Dataset *dataset = nullptr;
    QString sourceField;
    QString keyField;
    QString resultField;
};

class Field
{
public:
    Field(Dataset &dataset, int index, ColumnDef def, FieldRole role);

    const QString &name() const { return m_def.name; }
    FieldKind kind() const { return m_def.kind; }
    int size() const { return m_def.size; }
    int decimals() const { return m_def.decimals; }
    FieldRole role() const { return m_role; }
    int index() const { return m_index; }
    Dataset &dataset() const { return m_dataset; }

    QString displayLabel() const { return m_label.isEmpty() ? m_def.name : m_label; }
    void setDisplayLabel(const QString &label) { m_label = label; }
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    bool isReadOnly() const { return m_readOnly || m_role == FieldRole::Lookup; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    void setLookup(const LookupSpec &spec) { m_lookup = spec; }
    const LookupSpec &lookup() const { return m_lookup; }

    // Value in the current record (or the candidate record while a filter runs).
    QVariant value() const;
    bool isNull() const;
    QString asString() const; // null -> ""; booleans as "True"/"False"; dates dd/MM/yyyy
    // The same text for any value of a kind (grids and lists show records that are not current).
    static QString textOf(FieldKind kind, const QVariant &value);
    int asInteger() const;      // null -> 0
    double asFloat() const;     // null -> 0
    QDate asDate() const;       // null -> invalid date
    bool asBoolean() const;     // null -> false
    QByteArray asBytes() const; // null -> empty

    // Changing a value needs the dataset in edit or insert (or a calculation in progress);
    // strings are cut to the column's size and blank strings become null.
    void setValue(const QVariant &value);
    void setAsString(const QString &text);
    void clear() { setValue(QVariant()); }

    // Runs after the value changed through setValue (bound like the record events).
    Event<void(Field &)> onChange;

private:
    Dataset &m_dataset;
    int m_index;
    ColumnDef m_def;
    FieldRole m_role;
    QString m_label;
    bool m_visible = true;
    bool m_readOnly = false;
    LookupSpec m_lookup;
};

// Converts a value to the kind a column holds (numbers from text, "True"/"False", dd/MM/yyyy dates).
// An empty or unconvertible value becomes null.
QVariant coerceValue(FieldKind kind, int size, const QVariant &value);

} // namespace tav::store
