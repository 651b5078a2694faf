#include "store/MemorySource.h"

#include "store/Dataset.h"

#include <algorithm>

namespace tav::store {

MemorySource::MemorySource(QString name, QList<ColumnDef> columns, int keyColumn)
    : m_name(std::move(name)), m_columns(std::move(columns)), m_keyColumn(keyColumn)
{}

std::vector<KeyEntry> MemorySource::liveRecords()
{
    std::vector<KeyEntry> out;
    out.reserve(m_rows.size());
    for (const auto &[recno, row] : m_rows)
        out.push_back({m_keyColumn >= 0 ? row.value(m_keyColumn) : QVariant(), recno});
    if (m_keyColumn >= 0)
        std::stable_sort(out.begin(), out.end(),
                         [](const KeyEntry &a, const KeyEntry &b) { return compareKeys(a.key, b.key) < 0; });
    return out;
}

QVariantList MemorySource::read(RecNo recno)
{
    auto it = m_rows.find(recno);
    if (it == m_rows.end())
        throw DatasetError(QStringLiteral("%1: no existe el registro %2").arg(m_name).arg(recno).toStdString());
    return it->second;
}

RecNo MemorySource::append(const QVariantList &values)
{
    QVariantList row = values;
    row.resize(m_columns.size());
    m_rows.emplace(m_next, row);
    return m_next++;
}

void MemorySource::update(RecNo recno, const QVariantList &values, const std::vector<bool> &changed)
{
    auto it = m_rows.find(recno);
    if (it == m_rows.end())
        throw DatasetError(QStringLiteral("%1: no existe el registro %2").arg(m_name).arg(recno).toStdString());
    for (qsizetype i = 0; i < m_columns.size() && i < values.size(); ++i)
        if (static_cast<size_t>(i) >= changed.size() || changed[static_cast<size_t>(i)])
            it->second[i] = values.at(i);
}

void MemorySource::erase(RecNo recno)
{
    m_rows.erase(recno);
}

void MemorySource::clear()
{
    m_rows.clear();
}

} // namespace tav::store
