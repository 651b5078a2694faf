#pragma once

// Internal: the production index (.MDX) in the dBASE IV layout: structural check, reading its keys, and the
// bulk build that writes it anew.

#include "platform/dbf/DbfFile.h"
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
// for every record (deleted ones included, as dBASE indexes them), in record order. With `preparedAt`, the
// new index is only written (and synced) there, for the caller to rename once its table is in place.
void writeMdx(const std::filesystem::path &path, const std::string &dbfBaseName, const std::vector<FieldDef> &fields,
              const std::vector<IndexTag> &tags, std::vector<std::vector<KeySource>> keys,
              const std::filesystem::path &preparedAt = {});

// Reads only the tag definitions (name, field, flags) of an index, without checks beyond what is needed to
// read them; throws BadIndex when unreadable.
std::vector<MdxTag> readMdxTags(const std::filesystem::path &path, const std::vector<FieldDef> &fields);

// --- incremental maintenance of one record's entries (what every save does) ---

// One tag's change for one record: the entry (old key, recno) leaves, the entry (new key, recno) joins.
struct MdxEntryChange
{
    std::string tagName;
    bool remove = false;
    KeySource oldKey;
    bool insert = false;
    KeySource newKey;
};

// Reads the change counter of an index (byte 20 of the first tag's header, which dBASE-compatible engines
// step on every update so that other users can tell that their view is stale); -1 when it has no tag.
// Takes the index file's shared lock while reading.
int readMdxSerial(File &file);

// Applies the changes to the index tree under the index file's lock and steps the change counter of every
// tag once. Nodes that split are written to new pages first and linked in by one final write of a single
// block (a parent node or the tag header), so a process stopped at any moment leaves a sound tree. Returns
// the counter of the first tag as it was before this update (-1 without tags). Throws DbfError(BadIndex)
// when the tree cannot be read or a tag is unknown.
int applyMdxChanges(File &file, const std::vector<FieldDef> &fields, const std::vector<MdxEntryChange> &changes,
                    bool sync);

} // namespace tav::dbf::detail
