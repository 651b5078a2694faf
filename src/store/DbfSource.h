#pragma once

#include "store/RecordSource.h"

#include "platform/dbf/DbfTable.h"

#include <filesystem>
#include <optional>

namespace tav::store {

// A dBASE table as a dataset's record source. The columns are the ones the program declares for the
// table (the file may hold more, which stay untouched; a declared column the file lacks reads as null, and a
// save that gives it a value is refused).
// Text is Windows-1252 on disk and QString in memory.
class DbfSource : public RecordSource
{
public:
    // `indexField` empty: natural order; otherwise the order of the production index's tag on that field. `columns`
    // empty: every column of the file, as found at open.
    DbfSource(std::filesystem::path path, QString indexField = {}, QList<ColumnDef> columns = {},
              dbf::OpenMode mode = dbf::OpenMode::Shared);

    QString name() const override;
    const QList<ColumnDef> &columns() const override { return m_columns; }
    void open() override;
    void close() override;
    bool isOpen() const override { return m_table.isOpen(); }
    bool refresh() override;
    bool isDeleted(RecNo recno) override;
    int keyColumn() const override { return m_keyColumn; }
    std::vector<KeyEntry> liveRecords() override;
    QVariant keyOf(RecNo recno) override;
    QVariantList read(RecNo recno) override;
    RecNo append(const QVariantList &values) override;
    void update(RecNo recno, const QVariantList &values, const std::vector<bool> &changed) override;
    void erase(RecNo recno) override;
    bool lock(RecNo recno) override;
    void unlock(RecNo recno) override;

    const std::filesystem::path &path() const { return m_path; }
    // Engine options for the next open (bulk loads switch off the sync after every save).
    void setOpenOptions(const dbf::OpenOptions &options) { m_options = options; }
    dbf::Table &table() { return m_table; }

    // The kind a dBASE column is read as: numeric(n<=4,0) smallint, other numerics float, and so on.
    static ColumnDef columnOf(const dbf::FieldDef &field);
    static QVariant toVariant(const dbf::Value &value, FieldKind kind);
    static dbf::Value toValue(const QVariant &value, FieldKind kind);

private:
    void refuseMissingColumns(const QVariantList &values, const std::vector<bool> *changed) const;

    std::filesystem::path m_path;
    QString m_tag; // key field of the index in use
    std::string m_tagName;
    dbf::OpenMode m_mode;
    dbf::OpenOptions m_options;
    QList<ColumnDef> m_columns;
    bool m_declared;
    std::vector<int> m_fileIndex; // file field of each column
    int m_keyColumn = -1;
    dbf::Table m_table;
};

} // namespace tav::store
