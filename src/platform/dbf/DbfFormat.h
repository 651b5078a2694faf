#pragma once

// Internal: the .DBF header and the encoding of field values in a record.

#include "platform/dbf/DbfTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tav::dbf::detail {

struct FieldLayout
{
    FieldDef def;
    uint32_t offset = 0;      // within the record (the deletion flag is byte 0)
    std::vector<uint8_t> raw; // the descriptor as read (kept when rewriting), 32 or 48 bytes
};

struct Header
{
    uint8_t version = 0x03;
    uint32_t recordCount = 0;
    uint16_t headerLength = 0;
    uint16_t recordLength = 0;
    bool productionIndex = false;
    uint8_t ldid = 0;
    std::string ldName;         // level 7
    std::vector<uint8_t> fixed; // the bytes before the first descriptor (32 or 68)
    std::vector<uint8_t> tail;  // the bytes after the descriptor terminator up to headerLength
    std::vector<FieldLayout> fields;

    bool isLevel7() const { return (version & 0x07) == 0x04; }
    int level() const;
    bool hasMemoFile() const { return (version & 0x80) != 0 || (version & 0x08) != 0; }
    bool dBase3Memo() const { return version == 0x83; }
    size_t descriptorSize() const { return isLevel7() ? 48 : 32; }
};

// Parses the header from the first bytes of a file (as many as the file has, up to the header length).
// `fileSize` is the whole file's size. Throws DbfError(BadHeader) naming `fileName`.
Header parseHeader(const std::string &fileName, const uint8_t *data, size_t available, uint64_t fileSize);
// The number of header bytes needed to parse (at least 32, then the header length from bytes 8-9).
size_t headerBytesNeeded(const uint8_t *first32);

// Builds a header for new fields (fresh descriptors), keeping version, LDID and level-7 extras of `base`.
Header makeHeader(uint8_t version, uint8_t ldid, const std::string &ldName, const std::vector<FieldDef> &fields,
                  const std::vector<uint8_t> &tail);
// Recomputes offsets, lengths and descriptors after fields changed (keeps raw descriptor bytes when present).
void layoutHeader(Header &h);
std::vector<uint8_t> serializeHeader(const Header &h);
// Writes today's date into bytes 1-3 of a fixed header part.
void stampDate(uint8_t *hdr);

// What a table file holds after its header, against the header's record count.
struct Extent
{
    uint64_t wholeRecords = 0; // whole records the file holds after the header
    uint64_t partialBytes = 0; // bytes of a record cut short at the end (the EOF byte not counted)
    uint32_t headerCount = 0;
    bool appendUnderWay = false; // byte 14: a record past the count is a stopped append's
    bool stoppedAppend = false;  // that record, whole or part written, is there
    bool damaged() const;
    // "the header counts 20 records but the file holds 10 whole records and 37 bytes of another"
    std::string describe(uint32_t count) const;
};
Extent extentOf(const Header &h, uint32_t headerCount, uint64_t fileSize, bool appendUnderWay);

// Decoding: the value of a field from its bytes; `raw` receives the trimmed stored text.
// For M/B/G the value is the block number (int64_t) or null; the caller loads the memo.
Value decodeField(const FieldDef &f, const uint8_t *bytes, std::string *raw);
// Encoding a value into the field's bytes (memo fields: `value` must be the block number or null).
// Throws DbfError(BadValue) naming `fileName` when the value does not fit.
void encodeField(const std::string &fileName, const FieldDef &f, const Value &value, uint8_t *out);

// Number parsing shared by decoding and index keys: strict ASCII decimal (with optional exponent for F).
bool parseNumber(std::string_view text, double &out);

// Sortable fixed-length key of a value (memcmp order = key order), as the in-memory index uses.
std::string sortKey(const FieldDef &f, const Value &value);

// Memo pointer text: a block number in 10 ASCII digits, zero-padded as dBASE IV writes it.
void encodeMemoPointer(uint32_t block, uint8_t *out);

} // namespace tav::dbf::detail
