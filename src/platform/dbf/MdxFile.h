#pragma once

// Internal: the production index (.MDX) in the dBASE IV layout: structural check, reading its keys, and the
// bulk build that writes it anew.

#include "platform/dbf/DbfTypes.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tav::dbf::detail {

struct MdxTag
{
    IndexTag tag;
    std::string expression;
    char keyType = 'C';
    int fieldIndex = -1; // -1 when the key expression is not a single field of the table
};

// One tag's key entries in index order: (sortable key as sortKey() gives it, record number).
using MdxEntries = std::vector<std::pair<std::string, uint32_t>>;

struct MdxContents
{
    std::vector<MdxTag> tags;
    std::vector<MdxEntries> entries; // filled when asked, one per tag (empty for tags not understood)
};

// Reads and checks an index file against its table. Throws DbfError(BadIndex) naming the file and the damage.
// `binaryCollation` says whether character keys are compared byte by byte (language driver 0x57 or none); the
// order of character keys is not checked otherwise.
MdxContents readMdx(const std::filesystem::path &path, const std::string &dbfBaseName,
                    const std::vector<FieldDef> &fields, uint32_t recordCount, bool binaryCollation, bool wantEntries);

// The key value of one record for the bulk build.
struct KeySource
{
    Value value;
    std::string raw; // stored text (for exact numeric keys)
    uint32_t recno = 0;
};

// Writes a new index file (through a temporary file renamed over `path`). `keys[i]` are the keys of tags[i]
// for every record (deleted ones included, as dBASE indexes them), in record order.
void writeMdx(const std::filesystem::path &path, const std::string &dbfBaseName, const std::vector<FieldDef> &fields,
              const std::vector<IndexTag> &tags, std::vector<std::vector<KeySource>> keys);

// Reads only the tag definitions (name, field, flags) of an index, without checks beyond what is needed to
// read them; throws BadIndex when unreadable.
std::vector<MdxTag> readMdxTags(const std::filesystem::path &path, const std::vector<FieldDef> &fields);

} // namespace tav::dbf::detail
