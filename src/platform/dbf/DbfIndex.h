#pragma once

#include "platform/dbf/DbfTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tav::dbf {

// The in-memory ordered index of one tag: the live (not deleted) records of the table in key order, ties
// in record-number order; descending tags give the reverse key order. Deleted records are left out (the
// data module hides them), so navigating the index never meets one. Built when the table opens or is
// reloaded, and kept current by the owning Table for this process's own appends, updates, deletes and recalls.
//
// Key comparison: C keys are the stored bytes padded with blanks to the field width and compared byte by
// byte (the binary collation of language driver 0x57); a search text is padded the same way, so a shorter
// text finds the first key that starts with it. N/F keys compare as numbers (null = 0, as dBASE indexes
// blank numerics); D keys as dates with null dates after every date.
class Index
{
public:
    Index(IndexTag tag, int fieldIndex, FieldDef field);

    const IndexTag &tag() const { return m_tag; }
    int fieldIndex() const { return m_fieldIndex; }

    size_t size() const { return m_order.size(); }
    bool empty() const { return m_order.empty(); }
    // Record number at a position (0 .. size()-1) in index order.
    uint32_t recnoAt(size_t pos) const { return m_order[pos]; }
    // All record numbers in index order.
    const std::vector<uint32_t> &recnos() const { return m_order; }

    // First position whose key equals `key` exactly (C: equal after blank padding), or empty.
    std::optional<size_t> find(const Value &key) const;
    // Nearest: first position whose key is not before `key` in index order; size() when there is none.
    size_t lowerBound(const Value &key) const;
    // First position after every key equal to `key`.
    size_t upperBound(const Value &key) const;
    // First position whose C key starts with `prefix` (bytes), or empty.
    std::optional<size_t> findPrefix(const std::string &prefix) const;
    // Position of a record in index order, or empty when the record is not in the index (deleted).
    std::optional<size_t> positionOf(uint32_t recno) const;
    bool contains(uint32_t recno) const { return positionOf(recno).has_value(); }

    // --- maintenance, used by Table ---
    // The sort key of a value of this index's field (fixed length, compared with memcmp).
    std::string keyOf(const Value &value) const;
    void clear();
    // Bulk load: keys[i] belongs to recnos[i]; deleted records are simply not passed.
    void build(std::vector<std::pair<std::string, uint32_t>> entries);
    void insert(uint32_t recno, const std::string &key);
    void erase(uint32_t recno);
    // The key stored for a record in the index, or empty.
    std::optional<std::string> keyFor(uint32_t recno) const;

private:
    size_t lowerBoundKey(const std::string &k) const;
    size_t upperBoundKey(const std::string &k) const;
    bool lessAt(uint32_t recnoA, const std::string &keyB, uint32_t recnoB) const;
    const char *keyPtr(uint32_t recno) const;

    IndexTag m_tag;
    int m_fieldIndex;
    FieldDef m_field;
    size_t m_keyLen;
    std::vector<uint32_t> m_order;  // record numbers in index order
    std::string m_keys;             // keys by record number (recno-1)*m_keyLen, for records known to the index
    std::vector<uint8_t> m_present; // by recno-1: 1 when the record is in m_order
};

} // namespace tav::dbf
