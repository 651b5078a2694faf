#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <vector>

namespace tav::store {

// The kinds of value a column holds once read into memory.
enum class FieldKind {
    String,   // character(n): QString, trailing blanks removed; blank reads as null
    SmallInt, // numeric(n<=4,0): int
    Float,    // numeric(n>=5) or with decimals: double
    Integer,  // 32-bit integer (in-memory tables)
    Date,     // QDate
    DateTime, // QDateTime (in-memory tables)
    Boolean,  // bool
    Blob,     // QByteArray, opaque bytes
    Memo,     // QString held in the memo file
};

struct ColumnDef
{
    QString name;
    FieldKind kind = FieldKind::String;
    int size = 0;     // characters for strings, digits for numerics
    int decimals = 0; // numerics only
};

using RecNo = std::uint32_t;

// One live record and its key in the source's order. Sources over large tables may leave the key
// unloaded (keyLoaded false); the dataset then asks keyOf() only for the records a search touches.
struct KeyEntry
{
    QVariant key;
    RecNo recno = 0;
    bool keyLoaded = true;
};

// Where a dataset's records live: a dBASE table on disk or a table in memory.
// Record numbers are stable while the source is open (a pack renumbers, and is done closed).
class RecordSource
{
public:
    virtual ~RecordSource() = default;

    virtual QString name() const = 0;
    virtual const QList<ColumnDef> &columns() const = 0;

    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Makes what other stations saved visible (liveRecords then includes their records). Opens a closed source.
    // Returns false when the live records and their order are known to be as they were.
    virtual bool refresh()
    {
        close();
        open();
        return true;
    }
    // True when the record no longer exists for this table (another station deleted it).
    virtual bool isDeleted(RecNo) { return false; }

    // Column of the index in use, or -1 for the natural (record number) order.
    virtual int keyColumn() const = 0;
    // Every live (not deleted) record with its key, in index order.
    virtual std::vector<KeyEntry> liveRecords() = 0;

    // The value of the index column of a record.
    virtual QVariant keyOf(RecNo recno) = 0;
    virtual QVariantList read(RecNo recno) = 0;
    virtual RecNo append(const QVariantList &values) = 0;
    virtual void update(RecNo recno, const QVariantList &values, const std::vector<bool> &changed) = 0;
    virtual void erase(RecNo recno) = 0;

    // A record held in edit by this station; false when another station holds it.
    virtual bool lock(RecNo recno) = 0;
    virtual void unlock(RecNo recno) = 0;
};

// Orders keys as the index does: nulls first, numbers by value, texts by their bytes, dates by day.
int compareKeys(const QVariant &a, const QVariant &b);

} // namespace tav::store
