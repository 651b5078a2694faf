#pragma once

#include "store/RecordSource.h"

#include <map>

namespace tav::store {

// A table that lives only in memory (the payment-slip buffer, mail headers, report buffers),
// in insertion order or ordered by one column.
class MemorySource : public RecordSource
{
public:
    explicit MemorySource(QString name, QList<ColumnDef> columns, int keyColumn = -1);

    QString name() const override { return m_name; }
    const QList<ColumnDef> &columns() const override { return m_columns; }
    void open() override { m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    int keyColumn() const override { return m_keyColumn; }
    std::vector<KeyEntry> liveRecords() override;
    QVariant keyOf(RecNo recno) override { return m_keyColumn >= 0 ? read(recno).value(m_keyColumn) : QVariant(); }
    QVariantList read(RecNo recno) override;
    RecNo append(const QVariantList &values) override;
    void update(RecNo recno, const QVariantList &values, const std::vector<bool> &changed) override;
    void erase(RecNo recno) override;
    bool lock(RecNo) override { return true; }
    void unlock(RecNo) override {}

    // Empties the table (the buffer is filled anew for each look-up).
    void clear();

private:
    QString m_name;
    QList<ColumnDef> m_columns;
    int m_keyColumn;
    bool m_open = false;
    RecNo m_next = 1;
    std::map<RecNo, QVariantList> m_rows;
};

} // namespace tav::store
