#pragma once

#include "platform/dbf/DbfError.h"
#include "platform/dbf/DbfIndex.h"
#include "platform/dbf/DbfTypes.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tav::dbf {

// Shared: several processes (stations) may have the table open and write to it. Exclusive: no other process
// may have it open; needed for pack, reindex and schema changes. An exclusive open fails with
// ErrorCode::Busy while another process has the table open, and a shared open fails with Busy while another
// process holds it exclusively.
enum class OpenMode { Shared, Exclusive };

struct OpenOptions
{
    bool readOnly = false;
    // Build the in-memory indexes of the production index's tags at open (and reload).
    bool loadIndexes = true;
    // Validate the production .MDX at open; a damaged or missing one (when the header's production flag
    // is set) makes the open fail with ErrorCode::BadIndex. Only the structure is checked here (header,
    // tags, tree, key order, record numbers in range); see validateProductionIndex for the full check.
    bool validateIndex = true;
    // fdatasync after every save, so that a save that returned is on disk. Switch off only for bulk loads.
    bool syncWrites = true;
    // Every save updates its record's entries in the production index (.MDX) on disk. Indexes this engine
    // cannot keep that way (tags on expressions, character keys in a non-binary collation) are instead written
    // anew on close, when this process changed the table and can take it exclusively at that moment.
    bool reindexOnClose = true;
    // How long append waits for another process's append lock before failing with ErrorCode::Locked.
    std::chrono::milliseconds appendLockWait{5000};
    // How long a Shared open keeps retrying while another process holds the table exclusively (a
    // sequence draw, or the index rebuild at another process's close, takes milliseconds) before failing
    // with ErrorCode::Busy. Exclusive opens never wait: the caller decides how long to retry.
    std::chrono::milliseconds sharedOpenWait{3000};
};

struct CreateOptions
{
    // 0: the dBASE IV/5 form (0x03, or 0x8B when a memo field exists). Otherwise one of 0x03, 0x83
    // (dBASE III+ with 0x1A-terminated memo text), 0x8B, 0x04, 0x8C (level 7).
    uint8_t version = 0;
    uint8_t ldid = 0x57;                 // language driver: 0x57 = Windows-1252 (DBWINUS0)
    uint16_t memoBlockSize = 512;        // 512 or 1024
    std::vector<IndexTag> tags;          // production index tags; the .MDX is written when there is at least one
    bool overwrite = false;              // replace an existing table (any case) instead of failing
    OpenMode mode = OpenMode::Exclusive; // how the created table is left open
    OpenOptions open;
};

// One record as read. Values of memo and binary fields are loaded only when asked (see Table::readRecord).
class Record
{
public:
    uint32_t recno() const { return m_recno; }
    bool deleted() const { return m_deleted; }
    size_t size() const { return m_values.size(); }
    const Value &value(size_t field) const { return m_values.at(field); }
    const std::vector<Value> &values() const { return m_values; }
    // The stored text of a field with leading and trailing blanks removed (N/F: "12.50", D: "20240131",
    // L: "T", M/B/G: the block pointer). Binary level-7 fields (I, +, O, @) give "".
    const std::string &rawText(size_t field) const { return m_raw.at(field); }
    // True when a memo/binary field's bytes were not loaded (readRecord without memos); its value is then
    // null even when the .DBT holds data. Table::loadMemo fetches it.
    bool memoPending(size_t field) const { return field < m_pending.size() && m_pending[field]; }

private:
    friend class Table;
    uint32_t m_recno = 0;
    bool m_deleted = false;
    std::vector<Value> m_values;
    std::vector<std::string> m_raw;
    std::vector<bool> m_pending;
};

// The result of checking a production index against its table.
struct IndexCheck
{
    bool present = false;       // the .MDX file exists
    bool valid = false;         // sound (and, for the full check, covering every record with its key)
    std::string error;          // why not, naming the file
    std::filesystem::path file; // the .MDX found or expected
    std::vector<IndexTag> tags; // tags read from the file (when readable)
};

// One problem the table check found. `detail` is the English description naming the file; the other
// members let a caller word it in its own language.
struct Damage
{
    enum class Kind {
        Header,       // the header or field descriptors cannot be read (detail says why)
        RecordCount,  // the header's count disagrees with the records the file holds
        DeletionFlag, // a record's first byte is neither blank nor "*"
        BadValue,     // a stored value that is not a value of its column ("2O" in a numeric column)
        MemoMissing,  // the table has memo columns and no memo file
        MemoDamaged,  // the memo file's header, its next free block, or a memo pointer or length
        Index         // the production index (detail says what)
    };
    Kind kind = Kind::Header;
    uint32_t recno = 0;        // DeletionFlag, BadValue, MemoDamaged (a pointer)
    std::string field;         // BadValue, MemoDamaged (a pointer)
    std::string stored;        // the stored text (BadValue, DeletionFlag)
    uint32_t headerCount = 0;  // RecordCount
    uint64_t wholeRecords = 0; // RecordCount
    uint64_t partialBytes = 0; // RecordCount: bytes of a record cut short at the end
    std::string detail;
};

struct VerifyOptions
{
    bool index = true;      // check the production index too
    bool fullIndex = true;  // ... that every record is in it with its current key (else its structure only)
    size_t maxRecords = 20; // record-level problems reported before the rest are only counted
};

class Table
{
public:
    // Opens `path` (matched without regard to case). Memo file and production index are found beside it
    // the same way. Throws DbfError: NotFound, Busy, BadHeader, BadMemo, BadIndex, Io.
    static Table open(const std::filesystem::path &path, OpenMode mode = OpenMode::Shared,
                      const OpenOptions &options = {});
    // Creates a new empty table with the name as given (and "<base>.dbt", "<base>.mdx" when needed) and
    // leaves it open. Fails with BadArgument on bad definitions and Io when the file exists and
    // options.overwrite is false.
    static Table create(const std::filesystem::path &path, const std::vector<FieldDef> &fields,
                        const CreateOptions &options = {});

    // Checks the production index of the table at `path`. With `full`, also that every live record
    // appears in every tag with its current key (what dbftool check asks); without, only the structure,
    // as open does. Never throws for a damaged index; throws DbfError only when the table itself cannot
    // be read.
    static IndexCheck validateProductionIndex(const std::filesystem::path &path, bool full = true);

    // Checks a table file as a whole, without changing it: header, record count against the file size,
    // every record's deletion flag and stored values, the memo file (header, next free block, every memo
    // pointer and length) and, when asked, the production index. Returns every problem found (an empty list
    // for a sound table; beyond `maxRecords` record-level problems only the count is reported). Throws
    // DbfError(NotFound/Io) only when the file cannot be read at all.
    static std::vector<Damage> verify(const std::filesystem::path &path, const VerifyOptions &options = {});

    // Puts a damaged table right keeping every whole record: the header counts every whole record the file
    // holds, bytes of a record cut short at the end are moved to "<table>.resto" beside it (not lost), records
    // with an impossible deletion flag become live records, and the index is written anew. Needs the table
    // to itself. Returns what it did, one line per change (English). Values that are not values of their
    // column are reported, not changed (only a person can tell what they were meant to be).
    static std::vector<std::string> recover(const std::filesystem::path &path);

    Table();
    ~Table();
    Table(Table &&) noexcept;
    Table &operator=(Table &&) noexcept;
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    bool isOpen() const;
    // Releases locks and files (and rebuilds the production index when reindexOnClose applies). Never
    // throws; a failed index rebuild leaves the old index as it was.
    void close();

    const std::filesystem::path &path() const; // the .DBF as found on disk
    std::optional<std::filesystem::path> memoPath() const;
    std::optional<std::filesystem::path> indexPath() const; // production .MDX, when the table has one
    OpenMode mode() const;

    uint8_t version() const;                // byte 0 of the header
    int level() const;                      // 3 (dBASE III+), 4 (dBASE IV/5 form), 7
    uint8_t ldid() const;                   // language driver byte
    std::string languageDriverName() const; // level 7 only, else ""
    uint16_t headerLength() const;
    uint16_t recordLength() const;
    uint16_t memoBlockSize() const; // 0 without memo file
    bool hasProductionIndexFlag() const;

    const std::vector<FieldDef> &fields() const;
    // Index of a field by name without regard to case, or -1.
    int fieldIndex(const std::string &name) const;

    // Records known to this handle: the header's count as last read (clamped to what the file holds) plus
    // this handle's own appends. reload() sees other processes' appends.
    uint32_t recordCount() const;

    // Record numbers are 1-based. withMemos = false leaves M/B/G values unloaded (Record::memoPending).
    Record readRecord(uint32_t recno, bool withMemos = true) const;
    Value readValue(uint32_t recno, int field) const;
    // Loads the memo/binary value of a record read without memos.
    void loadMemo(Record &record, size_t field) const;
    bool isDeleted(uint32_t recno) const;
    // Records marked as deleted, read in large chunks (what decides whether a pack has work to do).
    uint32_t deletedCount() const;

    // Appends a live record; `values` in field order, missing trailing values are null. Returns its number.
    // Safe against appends of other processes (append lock). Autoincrement fields given null get the next
    // number.
    uint32_t append(const std::vector<Value> &values);
    // Rewrites a record in place with all its values.
    void update(uint32_t recno, const std::vector<Value> &values);
    // Rewrites only the given fields (field index, new value); the other bytes of the record stay as they are.
    void updateFields(uint32_t recno, const std::vector<std::pair<int, Value>> &changes);
    void setDeleted(uint32_t recno, bool deleted);

    // Non-blocking record lock at the offsets dBASE-compatible engines use; false when another process
    // (or another handle) holds it. Locks are released by unlockRecord or close.
    bool lockRecord(uint32_t recno);
    void unlockRecord(uint32_t recno);

    // Re-reads the header and rebuilds the in-memory indexes, so that other processes' appends, updates
    // and deletions become visible. Cost grows with the table (a full scan of the index fields).
    void reload();
    // What reload does, at the cost of what changed: records other processes appended are read and join
    // the in-memory indexes; only when the index's change counter shows that they also deleted, recalled or
    // re-keyed records (or the index is not kept record by record) is the table read again. Returns true
    // when it read the whole table.
    bool refresh();

    // --- exclusive operations (NotExclusive otherwise) ---
    // Removes deleted records physically, rewrites the count and EOF, and writes the production index anew.
    // Memo pointers stay valid (the .DBT is not compacted).
    void pack();
    // Writes the production index anew from the records (tags as the .MDX has them, or as given).
    void reindex();
    void reindex(const std::vector<IndexTag> &tags);
    // Adds a column at the end with `initial` in every existing record. Level and language driver are kept.
    void addColumn(const FieldDef &field, const Value &initial = Value());
    // Changes the width of one C/N/F column keeping its name, type, decimals and every other column; data is
    // kept (C cut or padded, N/F re-formatted; a number that no longer fits fails with BadValue and nothing
    // is changed).
    void changeWidth(const std::string &fieldName, uint8_t newWidth);

    // Production index tags (as read from the .MDX, or given at create/reindex).
    const std::vector<IndexTag> &tags() const;
    // The in-memory index of a tag (name without regard to case); throws BadArgument when absent.
    const Index &index(const std::string &tagName) const;
    bool hasIndex(const std::string &tagName) const;

    // Writes buffered header changes and syncs (saves already sync when syncWrites is on).
    void flush();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The field definition with implied lengths filled in (D 8, L 1, M/B/G 10, I/+ 4, O/@ 8).
FieldDef normalizedField(const FieldDef &field);
// Parses "NAME:C:10,N_X:N:8:0,F:D" (type letter, length, decimals) into definitions; throws BadArgument.
std::vector<FieldDef> parseFieldList(const std::string &spec);

} // namespace tav::dbf
