#include "platform/dbf/DbfTable.h"

#include "platform/dbf/DbfFile.h"
#include "platform/dbf/DbfFormat.h"
#include "platform/dbf/DbtFile.h"
#include "platform/dbf/MdxFile.h"
#include "platform/os/NoCasePath.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace tav::dbf {

using detail::DbtFile;
using detail::File;
using detail::Header;

namespace {

std::string upper(std::string s)
{
    for (auto &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isMemoType(FieldType t)
{
    return t == FieldType::Memo || t == FieldType::Binary || t == FieldType::General;
}

bool isLevel7Type(FieldType t)
{
    return t == FieldType::Integer || t == FieldType::AutoInc || t == FieldType::Double || t == FieldType::Timestamp;
}

// A companion file (memo, index) beside the table: the existing one in any case, or the base name with
// an extension in the case of the table's own extension.
std::filesystem::path companion(const std::filesystem::path &dbf, const std::string &lowerExt)
{
    const std::string stem = dbf.stem().string();
    if (auto found = os::findFileNoCase(dbf.parent_path(), stem + lowerExt))
        return *found;
    const std::string ext = dbf.extension().string();
    const bool upperExt =
        ext.size() > 1 && std::all_of(ext.begin() + 1, ext.end(), [](char c) { return !(c >= 'a' && c <= 'z'); });
    return dbf.parent_path() / (stem + (upperExt ? upper(lowerExt) : lowerExt));
}

std::string ldNameFor(uint8_t ldid)
{
    switch (ldid) {
    case 0x57:
        return "DBWINUS0";
    case 0x58:
        return "DBWINWE0";
    case 0x59:
        return "DBWINES0";
    case 0x1B:
        return "DB437US0";
    default:
        return "";
    }
}

constexpr size_t kScanChunk = 1u << 20;

} // namespace

FieldDef normalizedField(const FieldDef &field)
{
    FieldDef f = field;
    switch (f.type) {
    case FieldType::Date:
    case FieldType::Double:
    case FieldType::Timestamp:
        f.length = 8;
        f.decimals = 0;
        break;
    case FieldType::Logical:
        f.length = 1;
        f.decimals = 0;
        break;
    case FieldType::Memo:
    case FieldType::Binary:
    case FieldType::General:
        f.length = 10;
        f.decimals = 0;
        break;
    case FieldType::Integer:
    case FieldType::AutoInc:
        f.length = 4;
        f.decimals = 0;
        break;
    case FieldType::Character:
        f.decimals = 0;
        break;
    default:
        break;
    }
    return f;
}

std::vector<FieldDef> parseFieldList(const std::string &spec)
{
    std::vector<FieldDef> out;
    size_t pos = 0;
    while (pos <= spec.size()) {
        size_t comma = spec.find(',', pos);
        if (comma == std::string::npos)
            comma = spec.size();
        const std::string item = spec.substr(pos, comma - pos);
        pos = comma + 1;
        if (item.empty()) {
            if (comma >= spec.size())
                break;
            continue;
        }
        std::vector<std::string> parts;
        size_t p = 0;
        for (;;) {
            const size_t c = item.find(':', p);
            parts.push_back(item.substr(p, c == std::string::npos ? std::string::npos : c - p));
            if (c == std::string::npos)
                break;
            p = c + 1;
        }
        auto bad = [&] {
            throw DbfError(ErrorCode::BadArgument,
                           "bad field \"" + item + "\": expected NAME:TYPE[:LENGTH[:DECIMALS]]");
        };
        if (parts.size() < 2 || parts[0].empty() || parts[1].size() != 1)
            bad();
        FieldDef f;
        f.name = parts[0];
        f.type = static_cast<FieldType>(std::toupper(static_cast<unsigned char>(parts[1][0])));
        auto number = [&](const std::string &s) {
            if (s.empty() || s.size() > 3 || !std::all_of(s.begin(), s.end(), ::isdigit))
                bad();
            const int v = std::stoi(s);
            if (v > 255)
                bad();
            return static_cast<uint8_t>(v);
        };
        if (parts.size() > 2)
            f.length = number(parts[2]);
        if (parts.size() > 3)
            f.decimals = number(parts[3]);
        if (parts.size() > 4)
            bad();
        out.push_back(normalizedField(f));
    }
    return out;
}

struct Table::Impl
{
    std::filesystem::path path;
    std::string name; // file name for messages
    OpenMode mode = OpenMode::Shared;
    OpenOptions opts;
    File dbf;
    Header hdr;
    std::vector<FieldDef> fields;
    uint32_t count = 0;
    std::optional<DbtFile> memo;
    std::filesystem::path memoExpected;
    std::optional<std::filesystem::path> mdxPath;
    std::vector<IndexTag> tags;
    std::vector<std::unique_ptr<Index>> indexes;
    std::set<uint32_t> recordLocks;
    bool dirty = false;
    // The production index kept current record by record: every save changes the entries of its record on
    // disk. Off (and the index rewritten at close instead) for indexes whose tags this engine cannot
    // evaluate, or after an index update failed.
    std::optional<File> mdx;
    bool mdxLive = false;
    // The index's change counter as this handle last saw it, and whether other processes changed more than
    // they appended since (then a refresh reads the table again).
    int seenSerial = -1;
    bool othersChanged = false;

    [[noreturn]] void fail(ErrorCode code, const std::string &what) const { throw DbfError(code, name + ": " + what); }

    void requireWritable() const
    {
        if (opts.readOnly)
            fail(ErrorCode::ReadOnly, "the table is open read-only");
    }
    void requireExclusive(const char *op) const
    {
        if (mode != OpenMode::Exclusive)
            fail(ErrorCode::NotExclusive, std::string("the table must be open exclusively to ") + op);
        requireWritable();
    }
    void checkRecno(uint32_t recno) const
    {
        if (recno < 1 || recno > count)
            fail(ErrorCode::BadArgument,
                 "record " + std::to_string(recno) + " does not exist (1.." + std::to_string(count) + ")");
    }
    uint64_t recordOffset(uint32_t recno) const
    {
        return hdr.headerLength + static_cast<uint64_t>(recno - 1) * hdr.recordLength;
    }

    // --- loading ---
    void readHeader()
    {
        const uint64_t size = dbf.size();
        uint8_t first[32] = {};
        const size_t got = dbf.readSome(0, first, sizeof first);
        if (got < 32)
            fail(ErrorCode::BadHeader, "truncated header (" + std::to_string(size) + " bytes)");
        const size_t need = detail::headerBytesNeeded(first);
        std::vector<uint8_t> buf(need);
        const size_t n = dbf.readSome(0, buf.data(), buf.size());
        hdr = detail::parseHeader(name, buf.data(), n, size);
        fields.clear();
        for (const auto &fl : hdr.fields)
            fields.push_back(fl.def);
        count = currentCountOnDisk();
        hdr.recordCount = count;
    }
    uint32_t clampedCount(uint32_t headerCount, uint64_t size) const
    {
        const uint64_t capacity = size > hdr.headerLength ? (size - hdr.headerLength) / hdr.recordLength : 0;
        return static_cast<uint32_t>(std::min<uint64_t>(headerCount, capacity));
    }
    // The records a writable handle works with: exactly the header's count, or a DbfError(BadHeader) when the
    // file holds fewer whole records, or more than the header counts (unless the one more is the record of an
    // append that was stopped before it counted it: byte 14 set). Writing over such a file would lose
    // records; read-only handles (inspection) take the whole records the count covers.
    uint32_t countFor(uint32_t headerCount, uint64_t size, bool appendUnderWay) const
    {
        if (opts.readOnly && mode == OpenMode::Shared)
            return clampedCount(headerCount, size);
        const detail::Extent e = detail::extentOf(hdr, headerCount, size, appendUnderWay);
        if (e.damaged())
            fail(ErrorCode::BadHeader, e.describe(headerCount));
        return headerCount;
    }
    // Bytes 4..14 of the header and the file size, read so that they belong together; returns the size.
    uint64_t stableCountBytes(uint8_t (&c)[11]) const
    {
        uint8_t again[11];
        uint64_t size = 0;
        for (int attempt = 0;; ++attempt) {
            dbf.readExact(4, c, 11, "the record count");
            size = dbf.size();
            dbf.readExact(4, again, 11, "the record count");
            if (std::memcmp(c, again, sizeof again) == 0 || attempt > 100)
                return size;
        }
    }
    uint32_t currentCountOnDisk() const
    {
        // Count, byte 14 and file size as one consistent look: another process's append changes them in
        // turn (byte 14, then the record, then count and byte 14), so the header is read before and after
        // the size until both reads agree.
        uint8_t c[11];
        const uint64_t size = stableCountBytes(c);
        const uint32_t headerCount = static_cast<uint32_t>(c[0]) | (static_cast<uint32_t>(c[1]) << 8) |
                                     (static_cast<uint32_t>(c[2]) << 16) | (static_cast<uint32_t>(c[3]) << 24);
        return countFor(headerCount, size, c[10] != 0);
    }

    // The index walk checks every entry against the record count. Another station may append and index a record
    // between our look at the count and the walk, so when the walk fails and the count has moved meanwhile, the
    // newer count is taken and the walk repeated.
    detail::MdxContents readIndexFile(const std::filesystem::path &p, bool full)
    {
        for (int attempt = 0;; ++attempt) {
            try {
                return detail::readMdx(p, path.stem().string(), fields, count, binaryCollation(), full);
            } catch (const DbfError &) {
                const uint32_t now = currentCountOnDisk();
                if (now == count || attempt >= 5)
                    throw;
                count = now;
                hdr.recordCount = now;
            }
        }
    }

    bool hasMemoFields() const
    {
        return std::any_of(fields.begin(), fields.end(), [](const FieldDef &f) { return isMemoType(f.type); });
    }

    void openMemo()
    {
        memo.reset();
        if (!hasMemoFields() && !hdr.hasMemoFile())
            return;
        memoExpected = companion(path, ".dbt");
        std::error_code ec;
        if (!std::filesystem::exists(memoExpected, ec))
            return; // reported when a memo is read or written, and by the table check
        memo = DbtFile::open(memoExpected, hdr.dBase3Memo(), !opts.readOnly);
    }

    void openIndex(bool validate)
    {
        mdxPath.reset();
        tags.clear();
        mdx.reset();
        mdxLive = false;
        seenSerial = -1;
        othersChanged = false;
        if (!hdr.productionIndex)
            return;
        const auto p = companion(path, ".mdx");
        std::error_code ec;
        if (!std::filesystem::exists(p, ec)) {
            if (validate)
                fail(ErrorCode::BadIndex, "production index " + p.filename().string() + " is missing");
            mdxPath = p;
            return;
        }
        mdxPath = p;
        std::vector<detail::MdxTag> mtags;
        if (validate) {
            mtags = readIndexFile(p, false).tags;
        } else {
            try {
                mtags = detail::readMdxTags(p, fields);
            } catch (const DbfError &) {
                return;
            }
        }
        bool maintainable = !mtags.empty();
        for (const auto &t : mtags) {
            if (t.fieldIndex >= 0)
                tags.push_back(t.tag);
            else
                maintainable = false;
            // Character keys in a collation other than the binary one are ordered by tables this engine does
            // not have: such an index is rewritten whole instead.
            if (t.keyType == 'C' && !binaryCollation())
                maintainable = false;
        }
        attachIndexFile(maintainable);
    }

    void attachIndexFile(bool maintainable)
    {
        mdx.reset();
        mdxLive = false;
        seenSerial = -1;
        othersChanged = false;
        if (!maintainable || opts.readOnly || !mdxPath)
            return;
        try {
            mdx = File::open(*mdxPath, true);
            seenSerial = detail::readMdxSerial(*mdx);
            mdxLive = true;
        } catch (const DbfError &) {
            mdx.reset();
        }
    }

    // The key of every tag in a record's bytes, for the index update.
    detail::KeySource keySourceOf(size_t fi, const uint8_t *rec, uint32_t recno) const
    {
        detail::KeySource ks;
        ks.value = fieldValue(fi, rec, &ks.raw);
        ks.recno = recno;
        return ks;
    }

    // Changes the on-disk index entries of one record: `before` null for a new record. Returns false when
    // there was nothing to change. Throws DbfError when the index could not be updated.
    void updateIndexEntries(uint32_t recno, const uint8_t *before, const uint8_t *after, uint32_t othersAppended)
    {
        if (!hdr.productionIndex)
            return;
        if (!mdxLive) {
            dirty = true;
            return;
        }
        std::vector<detail::MdxEntryChange> changes;
        for (const auto &t : tags) {
            const int fi = fieldIndexOf(t.field);
            if (fi < 0)
                continue;
            const size_t f = static_cast<size_t>(fi);
            detail::MdxEntryChange c;
            c.tagName = t.name;
            if (after)
                c.newKey = keySourceOf(f, after, recno);
            if (before) {
                c.oldKey = keySourceOf(f, before, recno);
                if (after && detail::sortKey(fields[f], c.oldKey.value) == detail::sortKey(fields[f], c.newKey.value) &&
                    c.oldKey.raw == c.newKey.raw)
                    continue;
                c.remove = true;
            }
            c.insert = after != nullptr;
            changes.push_back(std::move(c));
        }
        if (changes.empty() && before && after)
            return; // no key changed: the index stays as it is
        try {
            const int was = detail::applyMdxChanges(*mdx, fields, changes, opts.syncWrites);
            noteIndexUpdate(was, othersAppended);
        } catch (const DbfError &) {
            // The record is saved; the index is rewritten at the next close, pack or re-index.
            mdx.reset();
            mdxLive = false;
            dirty = true;
            othersChanged = true;
        }
    }

    // Our update stepped the counter from `was`; anything but our own last value plus the appends of others
    // we have already taken in means that others changed records in other ways too.
    void noteIndexUpdate(int was, uint32_t othersAppended)
    {
        if (was < 0)
            return;
        if (seenSerial < 0 || was != static_cast<int>((static_cast<uint32_t>(seenSerial) + othersAppended) & 0xFF))
            othersChanged = true;
        seenSerial = (was + 1) & 0xFF;
    }

    uint32_t catchUpAppendsIfIndexed() { return mdxLive ? catchUpAppends() : 0; }

    // Takes in the records other processes appended since this handle last looked; returns how many.
    uint32_t catchUpAppends()
    {
        const uint32_t n = currentCountOnDisk();
        if (n <= count)
            return 0;
        const uint32_t added = n - count;
        if (!indexes.empty())
            scan(count + 1, n, [&](uint32_t r, const uint8_t *data) { indexRecord(r, data); });
        count = n;
        hdr.recordCount = n;
        return added;
    }

    bool binaryCollation() const { return hdr.ldid == 0x57 || hdr.ldid == 0x00; }

    template <typename Fn> void scan(uint32_t from, uint32_t to, Fn fn) const
    {
        if (from > to || from < 1)
            return;
        const size_t perChunk = std::max<size_t>(1, kScanChunk / hdr.recordLength);
        std::vector<uint8_t> buf(perChunk * hdr.recordLength);
        for (uint32_t r = from; r <= to;) {
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(perChunk, static_cast<uint64_t>(to) - r + 1));
            const size_t bytes = static_cast<size_t>(n) * hdr.recordLength;
            const size_t got = dbf.readSome(recordOffset(r), buf.data(), bytes);
            const uint32_t whole = static_cast<uint32_t>(got / hdr.recordLength);
            for (uint32_t i = 0; i < whole; ++i)
                fn(r + i, buf.data() + static_cast<size_t>(i) * hdr.recordLength);
            if (whole < n)
                fail(ErrorCode::Io, "unexpected end of file at record " + std::to_string(r + whole));
            r += n;
        }
    }

    Value fieldValue(size_t fi, const uint8_t *rec, std::string *raw = nullptr) const
    {
        return detail::decodeField(fields[fi], rec + hdr.fields[fi].offset, raw);
    }

    void buildIndexes()
    {
        indexes.clear();
        if (!opts.loadIndexes)
            return;
        for (const auto &t : tags) {
            const int fi = fieldIndexOf(t.field);
            if (fi < 0)
                continue;
            indexes.push_back(std::make_unique<Index>(t, fi, fields[static_cast<size_t>(fi)]));
        }
        if (indexes.empty())
            return;
        std::vector<std::vector<std::pair<std::string, uint32_t>>> entries(indexes.size());
        for (auto &e : entries)
            e.reserve(count);
        scan(1, count, [&](uint32_t recno, const uint8_t *rec) {
            if (rec[0] == '*')
                return;
            for (size_t i = 0; i < indexes.size(); ++i) {
                const size_t fi = static_cast<size_t>(indexes[i]->fieldIndex());
                entries[i].emplace_back(indexes[i]->keyOf(fieldValue(fi, rec)), recno);
            }
        });
        for (size_t i = 0; i < indexes.size(); ++i)
            indexes[i]->build(std::move(entries[i]));
    }

    void indexRecord(uint32_t recno, const uint8_t *rec)
    {
        for (auto &ix : indexes) {
            if (rec[0] == '*')
                ix->erase(recno);
            else
                ix->insert(recno, ix->keyOf(fieldValue(static_cast<size_t>(ix->fieldIndex()), rec)));
        }
    }

    std::vector<uint8_t> readRaw(uint32_t recno) const
    {
        std::vector<uint8_t> rec(hdr.recordLength);
        dbf.readExact(recordOffset(recno), rec.data(), rec.size(), "a record");
        return rec;
    }

    int fieldIndexOf(const std::string &fieldName) const
    {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (os::equalsNoCase(fields[i].name, fieldName))
                return static_cast<int>(i);
        }
        return -1;
    }

    Value memoFromBlock(size_t fi, int64_t block) const
    {
        if (!memo)
            throw DbfError(ErrorCode::BadMemo,
                           memoExpected.filename().string() + ": memo file missing (needed by " + name + ")");
        Bytes data = memo->read(static_cast<uint32_t>(block));
        if (fields[fi].type == FieldType::Memo)
            return Value(std::string(data.begin(), data.end()));
        return Value(std::move(data));
    }

    // Encodes a value for writing. Memo values are appended to the memo file first.
    void encodeInto(size_t fi, const Value &v, uint8_t *rec)
    {
        const FieldDef &f = fields[fi];
        uint8_t *out = rec + hdr.fields[fi].offset;
        if (isMemoType(f.type)) {
            Bytes data;
            if (v.isString())
                data.assign(v.asString().begin(), v.asString().end());
            else if (v.isBytes())
                data = v.asBytes();
            else if (!v.isNull())
                fail(ErrorCode::BadValue, "field " + f.name + ": text or bytes expected for a memo");
            if (data.empty()) {
                std::memset(out, ' ', f.length);
                return;
            }
            if (!memo)
                throw DbfError(ErrorCode::BadMemo,
                               memoExpected.filename().string() + ": memo file missing (needed by " + name + ")");
            const uint32_t block = memo->append(data, opts.syncWrites);
            detail::encodeMemoPointer(block, out);
            return;
        }
        detail::encodeField(name, f, v, out);
    }

    void syncData()
    {
        if (opts.syncWrites)
            dbf.sync();
    }

    bool takeAppendLock()
    {
        if (mode == OpenMode::Exclusive)
            return true;
        const auto deadline = std::chrono::steady_clock::now() + opts.appendLockWait;
        int sleepMs = 1;
        for (;;) {
            if (dbf.lock(detail::kAppendLock, 1, true, false))
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
            sleepMs = std::min(sleepMs * 2, 20);
        }
    }
    void releaseAppendLock()
    {
        if (mode != OpenMode::Exclusive)
            dbf.unlock(detail::kAppendLock, 1);
    }

    // Every record's key of every tag, for the bulk index build.
    std::vector<std::vector<detail::KeySource>> collectKeys(const std::vector<IndexTag> &forTags) const
    {
        std::vector<int> fis;
        for (const auto &t : forTags) {
            const int fi = fieldIndexOf(t.field);
            if (fi < 0)
                fail(ErrorCode::BadArgument, "index tag " + t.name + " names no field " + t.field);
            fis.push_back(fi);
        }
        std::vector<std::vector<detail::KeySource>> keys(forTags.size());
        for (auto &k : keys)
            k.reserve(count);
        scan(1, count, [&](uint32_t recno, const uint8_t *rec) {
            for (size_t t = 0; t < fis.size(); ++t) {
                detail::KeySource ks;
                ks.value = fieldValue(static_cast<size_t>(fis[t]), rec, &ks.raw);
                ks.recno = recno;
                keys[t].push_back(std::move(ks));
            }
        });
        return keys;
    }

    void writeIndex(const std::vector<IndexTag> &forTags)
    {
        const auto target = mdxPath ? *mdxPath : companion(path, ".mdx");
        detail::writeMdx(target, path.stem().string(), fields, forTags, collectKeys(forTags));
        mdxPath = target;
        // The new file: the tags written are the ones this engine evaluates.
        attachIndexFile(mdxMaintainable(forTags));
    }

    // Replaces the table file by a new one, keeping locks: the new file is locked exclusively before it takes
    // the table's name. `writeBody` writes the records after the header and returns how many it wrote.
    template <typename Body>
    void replaceFile(Header newHdr, Body writeBody,
                     const std::function<bool(const std::filesystem::path &)> &beforeRename)
    {
        const auto tmp = path.parent_path() / ("." + path.filename().string() + ".new");
        File out = File::create(tmp, true);
        if (!out.lock(detail::kOpenMarker, 1, true) || !out.lock(detail::kFileLockStart, detail::kFileLockLength, true))
            fail(ErrorCode::Io, "cannot lock the rewritten table");
        uint32_t newCount = 0;
        try {
            newCount = writeBody(out, static_cast<const Header &>(newHdr));
            newHdr.recordCount = newCount;
            newHdr.fixed[14] = 0; // no append under way in the new file
            detail::stampDate(newHdr.fixed.data());
            const auto bytes = detail::serializeHeader(newHdr);
            out.writeAll(0, bytes.data(), bytes.size());
            const uint8_t eof = 0x1A;
            out.writeAll(newHdr.headerLength + static_cast<uint64_t>(newCount) * newHdr.recordLength, &eof, 1);
            out.sync();
        } catch (...) {
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            throw;
        }
        // The new file's header and fields become current before the index is written, so the index build
        // reads the new records; the old file stays under its name until the rename.
        File old = std::move(dbf);
        Header oldHdr = hdr;
        const uint32_t oldCount = count;
        auto oldFields = fields;
        dbf = std::move(out);
        hdr = newHdr;
        count = newCount;
        fields.clear();
        for (const auto &fl : hdr.fields)
            fields.push_back(fl.def);
        // The new index (when the change needs one) is written beside the old one first. The renames then
        // go: old index away, new table in, new index in. A process stopped between them leaves the old
        // table with its old index, or a table without index (which the start-up and the re-index rebuild
        // from the table); never an index that describes other records than the table holds.
        std::filesystem::path newIndex;
        const auto indexFile = mdxPath ? *mdxPath : companion(path, ".mdx");
        const auto indexTmp = indexFile.parent_path() / ("." + indexFile.filename().string() + ".new");
        try {
            if (beforeRename && beforeRename(indexTmp))
                newIndex = indexTmp;
            if (!newIndex.empty()) {
                mdx.reset();
                std::error_code gone;
                std::filesystem::remove(indexFile, gone);
                detail::syncDirectory(path.parent_path());
            }
            std::filesystem::rename(tmp, path);
        } catch (const std::exception &e) {
            dbf = std::move(old);
            hdr = oldHdr;
            count = oldCount;
            fields = oldFields;
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            if (!newIndex.empty())
                std::filesystem::remove(newIndex, ec);
            if (dynamic_cast<const DbfError *>(&e))
                throw;
            fail(ErrorCode::Io, std::string("cannot replace the table file: ") + e.what());
        }
        if (!newIndex.empty()) {
            std::error_code ec;
            std::filesystem::rename(newIndex, indexFile, ec);
            if (ec)
                fail(ErrorCode::Io, "the table was replaced but its new index could not take its name (" +
                                        ec.message() + "); run reindex");
            mdxPath = indexFile;
            attachIndexFile(mdxMaintainable(tags));
        }
        detail::syncDirectory(path.parent_path());
        old.close();
    }

    // A new index prepared at `at` for the records now current (the table file is renamed after it).
    bool prepareIndex(const std::vector<IndexTag> &forTags, const std::filesystem::path &at)
    {
        detail::writeMdx(mdxPath ? *mdxPath : companion(path, ".mdx"), path.stem().string(), fields, forTags,
                         collectKeys(forTags), at);
        return true;
    }

    bool mdxMaintainable(const std::vector<IndexTag> &forTags) const
    {
        return binaryCollation() || std::none_of(forTags.begin(), forTags.end(), [&](const IndexTag &t) {
                   const int fi = fieldIndexOf(t.field);
                   return fi >= 0 && fields[static_cast<size_t>(fi)].type == FieldType::Character;
               });
    }
};

Table::Table() = default;
Table::~Table()
{
    close();
}
Table::Table(Table &&) noexcept = default;
Table &Table::operator=(Table &&other) noexcept
{
    if (this != &other) {
        close();
        d = std::move(other.d);
    }
    return *this;
}

Table Table::open(const std::filesystem::path &path, OpenMode mode, const OpenOptions &options)
{
    const auto resolved = os::resolveNoCase(path);
    std::error_code ec;
    if (!std::filesystem::exists(resolved, ec))
        throw DbfError(ErrorCode::NotFound, path.string() + ": table not found");
    Table t;
    t.d = std::make_unique<Impl>();
    Impl &d = *t.d;
    d.path = resolved;
    d.name = resolved.filename().string();
    d.mode = mode;
    d.opts = options;
    const auto waitUntil = std::chrono::steady_clock::now() + options.sharedOpenWait;
    int sleepMs = 1;
    for (int attempt = 0;; ++attempt) {
        const bool writable = !options.readOnly || mode == OpenMode::Exclusive;
        d.dbf = File::open(resolved, writable);
        if (mode == OpenMode::Exclusive) {
            if (!d.dbf.lock(detail::kOpenMarker, 1, true) ||
                !d.dbf.lock(detail::kFileLockStart, detail::kFileLockLength, true))
                d.fail(ErrorCode::Busy, "the table is open in another process; it cannot be used exclusively");
        } else if (!d.dbf.lock(detail::kOpenMarker, 1, false)) {
            if (std::chrono::steady_clock::now() >= waitUntil)
                d.fail(ErrorCode::Busy, "the table is in exclusive use by another process");
            d.dbf.close();
            std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
            sleepMs = std::min(sleepMs * 2, 20);
            continue;
        }
        // A pack or restructure in another process may have replaced the file between our open and our lock.
        struct stat a
        {
        }, b{};
        if (::stat(resolved.c_str(), &a) == 0 && ::fstat(d.dbf.fd(), &b) == 0 && a.st_ino == b.st_ino &&
            a.st_dev == b.st_dev)
            break;
        if (attempt > 20)
            d.fail(ErrorCode::Busy, "the table file keeps being replaced");
        d.dbf.close();
    }
    d.readHeader();
    d.openMemo();
    d.openIndex(options.validateIndex);
    d.buildIndexes();
    return t;
}

Table Table::create(const std::filesystem::path &path, const std::vector<FieldDef> &fieldsIn,
                    const CreateOptions &options)
{
    const std::string fname = path.filename().string();
    auto bad = [&](const std::string &what) { throw DbfError(ErrorCode::BadArgument, fname + ": " + what); };
    if (fieldsIn.empty())
        bad("a table needs at least one field");
    const bool anyMemo =
        std::any_of(fieldsIn.begin(), fieldsIn.end(), [](const FieldDef &f) { return isMemoType(f.type); });
    uint8_t version = options.version;
    if (version == 0)
        version = anyMemo ? 0x8B : 0x03;
    if (version != 0x03 && version != 0x83 && version != 0x8B && version != 0x04 && version != 0x8C)
        bad("unsupported version byte");
    if (anyMemo && version == 0x03)
        version = 0x8B;
    if (anyMemo && version == 0x04)
        version = 0x8C;
    const bool level7 = (version & 0x07) == 0x04;
    std::vector<FieldDef> fields;
    std::set<std::string> names;
    for (const auto &in : fieldsIn) {
        FieldDef f = normalizedField(in);
        f.name = upper(f.name);
        if (f.name.empty() || f.name.size() > (level7 ? 31u : 10u))
            bad("field name \"" + f.name + "\" is empty or too long");
        for (char c : f.name) {
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
                bad("field name \"" + f.name + "\" has a character other than A-Z, 0-9 and _");
        }
        if (!names.insert(f.name).second)
            bad("field " + f.name + " is defined twice");
        if (isLevel7Type(f.type) && !level7)
            bad("field " + f.name + ": type " + std::string(1, static_cast<char>(f.type)) +
                " exists only in level 7 tables");
        switch (f.type) {
        case FieldType::Character:
            if (f.length < 1 || f.length > 254)
                bad("field " + f.name + ": character width must be 1..254");
            break;
        case FieldType::Numeric:
        case FieldType::Float:
            if (f.length < 1 || f.length > 20 || (f.decimals > 0 && f.decimals + 2 > f.length))
                bad("field " + f.name + ": numeric width must be 1..20 with room for the decimals");
            break;
        case FieldType::Date:
        case FieldType::Logical:
        case FieldType::Memo:
        case FieldType::Binary:
        case FieldType::General:
        case FieldType::Integer:
        case FieldType::AutoInc:
        case FieldType::Double:
        case FieldType::Timestamp:
            break;
        default:
            bad("field " + f.name + ": unknown type");
        }
        fields.push_back(f);
    }
    std::set<std::string> tagNames;
    for (const auto &t : options.tags) {
        if (t.name.empty() || t.name.size() > 10 || !tagNames.insert(upper(t.name)).second)
            bad("index tag name \"" + t.name + "\" is empty, too long or repeated");
        const auto it = std::find_if(fields.begin(), fields.end(),
                                     [&](const FieldDef &f) { return os::equalsNoCase(f.name, t.field); });
        if (it == fields.end())
            bad("index tag " + t.name + " names no field " + t.field);
        if (!(it->type == FieldType::Character || it->type == FieldType::Numeric || it->type == FieldType::Float ||
              it->type == FieldType::Date) ||
            (it->type == FieldType::Character && it->length > 100))
            bad("index tag " + t.name + ": field " + it->name + " cannot be a key");
    }
    if (options.memoBlockSize != 512 && options.memoBlockSize != 1024)
        bad("memo block size must be 512 or 1024");

    // An existing table in any case: refused, or replaced when asked (only when nobody has it open).
    if (auto existing = os::findFileNoCase(path.parent_path(), fname)) {
        if (!options.overwrite)
            throw DbfError(ErrorCode::Io, existing->string() + ": the table already exists");
        {
            OpenOptions probe;
            probe.validateIndex = false;
            probe.loadIndexes = false;
            probe.reindexOnClose = false;
            Table busy = Table::open(*existing, OpenMode::Exclusive, probe);
        }
        std::error_code ec;
        for (const char *ext : {".dbt", ".mdx"}) {
            if (auto c = os::findFileNoCase(path.parent_path(), path.stem().string() + ext))
                std::filesystem::remove(*c, ec);
        }
        std::filesystem::remove(*existing, ec);
    }

    std::vector<uint8_t> tail;
    if (level7)
        tail = {0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x00, 0x10, 0x00, 0x10, 0x00};
    Header h =
        detail::makeHeader(version, options.ldid, level7 ? ldNameFor(options.ldid) : std::string(), fields, tail);
    h.productionIndex = !options.tags.empty();
    if (h.productionIndex) {
        for (auto &fl : h.fields) {
            for (const auto &t : options.tags) {
                if (os::equalsNoCase(t.field, fl.def.name))
                    fl.raw[level7 ? 37 : 31] = 1;
            }
        }
    }
    h.recordCount = 0;
    {
        File f = File::create(path, false);
        auto bytes = detail::serializeHeader(h);
        bytes.push_back(0x1A);
        f.writeAll(0, bytes.data(), bytes.size());
        f.sync();
    }
    if (anyMemo || (version & 0x80)) {
        const auto memoPath = companion(path, ".dbt");
        DbtFile::create(memoPath, path.stem().string(), version == 0x83, options.memoBlockSize, true);
    }
    if (!options.tags.empty()) {
        std::vector<IndexTag> tags = options.tags;
        for (auto &t : tags) {
            t.name = upper(t.name);
            t.field = upper(t.field);
        }
        detail::writeMdx(companion(path, ".mdx"), path.stem().string(), fields, tags,
                         std::vector<std::vector<detail::KeySource>>(tags.size()));
    }
    detail::syncDirectory(path.parent_path());
    return Table::open(path, options.mode, options.open);
}

IndexCheck Table::validateProductionIndex(const std::filesystem::path &path, bool full)
{
    OpenOptions o;
    o.readOnly = true;
    o.validateIndex = false;
    o.loadIndexes = false;
    o.reindexOnClose = false;
    Table t = Table::open(path, OpenMode::Shared, o);
    Impl &d = *t.d;
    IndexCheck r;
    const auto mdx = companion(d.path, ".mdx");
    r.file = mdx;
    std::error_code ec;
    r.present = std::filesystem::exists(mdx, ec);
    if (!d.hdr.productionIndex) {
        r.valid = true;
        return r;
    }
    if (!r.present) {
        r.error = mdx.filename().string() + ": production index missing";
        return r;
    }
    try {
        auto contents = d.readIndexFile(mdx, full);
        for (const auto &mt : contents.tags) {
            IndexTag tag = mt.tag;
            if (mt.fieldIndex < 0)
                tag.field = mt.expression;
            r.tags.push_back(tag);
        }
        if (full) {
            for (size_t ti = 0; ti < contents.tags.size(); ++ti) {
                const auto &mt = contents.tags[ti];
                if (mt.fieldIndex < 0)
                    continue;
                const FieldDef &f = d.fields[static_cast<size_t>(mt.fieldIndex)];
                std::vector<std::string> expected(d.count);
                d.scan(1, d.count, [&](uint32_t recno, const uint8_t *rec) {
                    expected[recno - 1] = detail::sortKey(f, d.fieldValue(static_cast<size_t>(mt.fieldIndex), rec));
                });
                const auto &entries = contents.entries[ti];
                std::vector<uint8_t> seen(d.count, 0);
                const std::string prefix = mdx.filename().string() + ": tag " + mt.tag.name + ": ";
                for (const auto &[key, recno] : entries) {
                    if (seen[recno - 1])
                        throw DbfError(ErrorCode::BadIndex,
                                       prefix + "record " + std::to_string(recno) + " appears twice");
                    seen[recno - 1] = 1;
                    if (key != expected[recno - 1])
                        throw DbfError(ErrorCode::BadIndex, prefix + "record " + std::to_string(recno) +
                                                                " is indexed under an old key (run reindex)");
                }
                if (!mt.tag.unique) {
                    for (uint32_t i = 0; i < d.count; ++i) {
                        if (!seen[i])
                            throw DbfError(ErrorCode::BadIndex, prefix + "record " + std::to_string(i + 1) +
                                                                    " is missing from the index (run reindex)");
                    }
                } else {
                    std::set<std::string> distinct(expected.begin(), expected.end());
                    if (distinct.size() != entries.size())
                        throw DbfError(ErrorCode::BadIndex, prefix + "unique keys do not match the records "
                                                                     "(run reindex)");
                }
            }
        }
        r.valid = true;
    } catch (const DbfError &e) {
        if (e.code() != ErrorCode::BadIndex)
            throw;
        r.error = e.what();
        r.valid = false;
    }
    return r;
}

bool Table::isOpen() const
{
    return d && d->dbf.isOpen();
}

void Table::close()
{
    if (!d || !d->dbf.isOpen())
        return;
    try {
        if (d->dirty && d->opts.reindexOnClose && !d->opts.readOnly && d->hdr.productionIndex && !d->tags.empty()) {
            bool exclusive = d->mode == OpenMode::Exclusive;
            if (!exclusive) {
                // Upgrade our shared marker to an exclusive one: succeeds only when no other process has the
                // table open.
                exclusive = d->dbf.lock(detail::kOpenMarker, 1, true) &&
                            d->dbf.lock(detail::kFileLockStart, detail::kFileLockLength, true);
            }
            if (exclusive) {
                d->count = d->currentCountOnDisk();
                d->writeIndex(d->tags);
            }
        }
    } catch (...) {
        // The old index stays; it is rebuilt by the next pack or reindex.
    }
    d->memo.reset();
    d->dbf.close();
    d->indexes.clear();
    d->recordLocks.clear();
}

const std::filesystem::path &Table::path() const
{
    return d->path;
}

std::optional<std::filesystem::path> Table::memoPath() const
{
    if (d->memo)
        return d->memo->path();
    return std::nullopt;
}

std::optional<std::filesystem::path> Table::indexPath() const
{
    return d->mdxPath;
}

OpenMode Table::mode() const
{
    return d->mode;
}
uint8_t Table::version() const
{
    return d->hdr.version;
}
int Table::level() const
{
    return d->hdr.level();
}
uint8_t Table::ldid() const
{
    return d->hdr.ldid;
}
std::string Table::languageDriverName() const
{
    return d->hdr.ldName;
}
uint16_t Table::headerLength() const
{
    return d->hdr.headerLength;
}
uint16_t Table::recordLength() const
{
    return d->hdr.recordLength;
}
uint16_t Table::memoBlockSize() const
{
    return d->memo ? d->memo->blockSize() : 0;
}
bool Table::hasProductionIndexFlag() const
{
    return d->hdr.productionIndex;
}
const std::vector<FieldDef> &Table::fields() const
{
    return d->fields;
}
int Table::fieldIndex(const std::string &name) const
{
    return d->fieldIndexOf(name);
}
uint32_t Table::recordCount() const
{
    return d->count;
}

Record Table::readRecord(uint32_t recno, bool withMemos) const
{
    d->checkRecno(recno);
    const auto rec = d->readRaw(recno);
    Record r;
    r.m_recno = recno;
    r.m_deleted = rec[0] == '*';
    r.m_values.resize(d->fields.size());
    r.m_raw.resize(d->fields.size());
    r.m_pending.assign(d->fields.size(), false);
    for (size_t i = 0; i < d->fields.size(); ++i) {
        Value v = d->fieldValue(i, rec.data(), &r.m_raw[i]);
        if (isMemoType(d->fields[i].type)) {
            if (v.isNull()) {
                r.m_values[i] = Value();
            } else if (withMemos) {
                r.m_values[i] = d->memoFromBlock(i, v.asInt());
            } else {
                r.m_pending[i] = true;
            }
            continue;
        }
        r.m_values[i] = std::move(v);
    }
    return r;
}

Value Table::readValue(uint32_t recno, int field) const
{
    if (field < 0 || static_cast<size_t>(field) >= d->fields.size())
        d->fail(ErrorCode::BadArgument, "no field number " + std::to_string(field));
    d->checkRecno(recno);
    const auto rec = d->readRaw(recno);
    const size_t fi = static_cast<size_t>(field);
    Value v = d->fieldValue(fi, rec.data());
    if (isMemoType(d->fields[fi].type))
        return v.isNull() ? Value() : d->memoFromBlock(fi, v.asInt());
    return v;
}

void Table::loadMemo(Record &record, size_t field) const
{
    if (!record.memoPending(field))
        return;
    uint32_t block = 0;
    for (char c : record.m_raw.at(field))
        block = block * 10 + static_cast<uint32_t>(c - '0');
    record.m_values[field] = d->memoFromBlock(field, block);
    record.m_pending[field] = false;
}

bool Table::isDeleted(uint32_t recno) const
{
    d->checkRecno(recno);
    uint8_t flag = 0;
    d->dbf.readExact(d->recordOffset(recno), &flag, 1, "a record");
    return flag == '*';
}

uint32_t Table::deletedCount() const
{
    uint32_t deleted = 0;
    d->scan(1, d->count, [&](uint32_t, const uint8_t *rec) { deleted += rec[0] == '*'; });
    return deleted;
}

uint32_t Table::append(const std::vector<Value> &values)
{
    Impl &m = *d;
    m.requireWritable();
    if (values.size() > m.fields.size())
        m.fail(ErrorCode::BadArgument, "more values than fields");
    std::vector<uint8_t> rec(m.hdr.recordLength + 1, ' ');
    rec[0] = ' ';
    rec[m.hdr.recordLength] = 0x1A;
    std::vector<size_t> autoIncFields;
    for (size_t i = 0; i < m.fields.size(); ++i) {
        const Value v = i < values.size() ? values[i] : Value();
        if (m.fields[i].type == FieldType::AutoInc && v.isNull() && m.hdr.isLevel7()) {
            autoIncFields.push_back(i);
            continue;
        }
        m.encodeInto(i, v, rec.data());
    }
    if (!m.takeAppendLock())
        m.fail(ErrorCode::Locked, "another process holds the append lock");
    uint32_t recno = 0;
    try {
        const uint32_t n = m.currentCountOnDisk();
        for (size_t i : autoIncFields) {
            // The next autoincrement value lives in the field descriptor (bytes 42-45).
            const uint64_t at = m.hdr.fixed.size() + i * 48 + 42;
            uint8_t b[4];
            m.dbf.readExact(at, b, 4, "the autoincrement value");
            uint32_t next = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                            (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
            if (next == 0)
                next = 1;
            detail::encodeField(m.name, m.fields[i], Value(static_cast<int64_t>(next)),
                                rec.data() + m.hdr.fields[i].offset);
            const uint32_t after = next + 1;
            for (int k = 0; k < 4; ++k)
                b[k] = static_cast<uint8_t>((after >> (8 * k)) & 0xFF);
            m.dbf.writeAll(at, b, 4);
            std::memcpy(m.hdr.fields[i].raw.data() + 42, b, 4);
        }
        // Byte 14 says that an append is under way: a record past the count with it set is the record of an
        // append that was stopped before counting it, which the next append writes over. Without it, bytes
        // past the count are records the header lost, and the table is refused (countFor) instead of
        // written over. Nothing past the count is ever cut off.
        const uint8_t underWay = 1;
        m.dbf.writeAll(14, &underWay, 1);
        const uint64_t at = m.recordOffset(n + 1);
        m.dbf.writeAll(at, rec.data(), rec.size());
        m.syncData();
        // The count goes to the header only after the record and the EOF byte are written; the same write
        // clears byte 14.
        uint8_t h[14];
        {
            uint8_t full[8] = {};
            detail::stampDate(full);
            h[0] = full[1];
            h[1] = full[2];
            h[2] = full[3];
        }
        const uint32_t newCount = n + 1;
        for (int k = 0; k < 4; ++k)
            h[3 + k] = static_cast<uint8_t>((newCount >> (8 * k)) & 0xFF);
        h[7] = static_cast<uint8_t>(m.hdr.headerLength & 0xFF);
        h[8] = static_cast<uint8_t>(m.hdr.headerLength >> 8);
        h[9] = static_cast<uint8_t>(m.hdr.recordLength & 0xFF);
        h[10] = static_cast<uint8_t>(m.hdr.recordLength >> 8);
        h[11] = m.hdr.fixed.size() > 13 ? m.hdr.fixed[12] : 0;
        h[12] = m.hdr.fixed.size() > 13 ? m.hdr.fixed[13] : 0;
        h[13] = 0;
        m.dbf.writeAll(1, h, 14);
        m.syncData();
        recno = newCount;
        // Records other processes appended since our last look join our indexes too.
        const uint32_t othersAppended = n > m.count ? n - m.count : 0;
        if (othersAppended > 0 && !m.indexes.empty()) {
            m.scan(m.count + 1, n, [&](uint32_t r, const uint8_t *data) { m.indexRecord(r, data); });
        }
        m.count = newCount;
        // The index entries follow while the append lock is still held, so that appends reach the index in
        // the order of their record numbers.
        m.updateIndexEntries(recno, nullptr, rec.data(), othersAppended);
    } catch (...) {
        m.releaseAppendLock();
        throw;
    }
    m.releaseAppendLock();
    m.hdr.recordCount = m.count;
    m.indexRecord(recno, rec.data());
    return recno;
}

void Table::update(uint32_t recno, const std::vector<Value> &values)
{
    Impl &m = *d;
    m.requireWritable();
    m.checkRecno(recno);
    if (values.size() > m.fields.size())
        m.fail(ErrorCode::BadArgument, "more values than fields");
    std::vector<std::pair<int, Value>> changes;
    const Record current = readRecord(recno, false);
    for (size_t i = 0; i < m.fields.size(); ++i) {
        const Value v = i < values.size() ? values[i] : Value();
        if (isMemoType(m.fields[i].type)) {
            // Unchanged memos keep their blocks (the memo file only grows).
            Record probe = current;
            loadMemo(probe, i);
            Value now = probe.value(i);
            const bool same =
                (now.isNull() &&
                 (v.isNull() || (v.isString() && v.asString().empty()) || (v.isBytes() && v.asBytes().empty()))) ||
                (now.isString() && v.isString() && now.asString() == v.asString()) ||
                (now.isBytes() && v.isBytes() && now.asBytes() == v.asBytes()) ||
                (now.isString() && v.isBytes() && Bytes(now.asString().begin(), now.asString().end()) == v.asBytes()) ||
                (now.isBytes() && v.isString() && Bytes(v.asString().begin(), v.asString().end()) == now.asBytes());
            if (same)
                continue;
        }
        changes.emplace_back(static_cast<int>(i), v);
    }
    updateFields(recno, changes);
}

void Table::updateFields(uint32_t recno, const std::vector<std::pair<int, Value>> &changes)
{
    Impl &m = *d;
    m.requireWritable();
    m.checkRecno(recno);
    if (changes.empty())
        return;
    auto rec = m.readRaw(recno);
    const auto before = rec;
    for (const auto &[fi, v] : changes) {
        if (fi < 0 || static_cast<size_t>(fi) >= m.fields.size())
            m.fail(ErrorCode::BadArgument, "no field number " + std::to_string(fi));
    }
    // Encode everything first, so a value that does not fit changes nothing.
    for (const auto &[fi, v] : changes)
        m.encodeInto(static_cast<size_t>(fi), v, rec.data());
    uint32_t lo = m.hdr.recordLength, hi = 0;
    for (const auto &[fi, v] : changes) {
        const auto &fl = m.hdr.fields[static_cast<size_t>(fi)];
        lo = std::min(lo, fl.offset);
        hi = std::max(hi, fl.offset + fl.def.length);
    }
    m.dbf.writeAll(m.recordOffset(recno) + lo, rec.data() + lo, hi - lo);
    m.syncData();
    m.indexRecord(recno, rec.data());
    m.updateIndexEntries(recno, before.data(), rec.data(), m.catchUpAppendsIfIndexed());
}

void Table::setDeleted(uint32_t recno, bool deleted)
{
    Impl &m = *d;
    m.requireWritable();
    m.checkRecno(recno);
    const uint8_t flag = deleted ? '*' : ' ';
    m.dbf.writeAll(m.recordOffset(recno), &flag, 1);
    m.syncData();
    if (!m.indexes.empty()) {
        auto rec = m.readRaw(recno);
        m.indexRecord(recno, rec.data());
    }
    // dBASE keeps deleted records in the index; the index's change counter still moves, so that other
    // stations know that a record left (or came back).
    if (m.mdxLive) {
        try {
            const uint32_t others = m.catchUpAppendsIfIndexed();
            m.noteIndexUpdate(detail::applyMdxChanges(*m.mdx, m.fields, {}, m.opts.syncWrites), others);
        } catch (const DbfError &) {
            m.mdx.reset();
            m.mdxLive = false;
            m.othersChanged = true;
        }
    }
}

bool Table::lockRecord(uint32_t recno)
{
    Impl &m = *d;
    m.checkRecno(recno);
    if (m.mode == OpenMode::Exclusive)
        return true;
    if (m.recordLocks.count(recno))
        return true;
    // A whole-file lock in progress elsewhere shows at the lock base.
    if (m.dbf.isLockedByOther(detail::kLockBase, 1, true))
        return false;
    if (!m.dbf.lock(detail::kLockBase - recno, 1, true, false))
        return false;
    m.recordLocks.insert(recno);
    return true;
}

void Table::unlockRecord(uint32_t recno)
{
    Impl &m = *d;
    if (m.mode == OpenMode::Exclusive || !m.recordLocks.count(recno))
        return;
    m.dbf.unlock(detail::kLockBase - recno, 1);
    m.recordLocks.erase(recno);
}

void Table::reload()
{
    Impl &m = *d;
    if (m.mdxLive) {
        try {
            m.seenSerial = detail::readMdxSerial(*m.mdx);
        } catch (const DbfError &) {
            m.seenSerial = -1;
        }
    }
    m.othersChanged = false;
    m.count = m.currentCountOnDisk();
    m.hdr.recordCount = m.count;
    m.buildIndexes();
}

bool Table::refresh()
{
    Impl &m = *d;
    if (m.indexes.empty()) {
        // Nothing in memory depends on the records: the count is all there is to read.
        m.count = m.currentCountOnDisk();
        m.hdr.recordCount = m.count;
        return false;
    }
    if (!m.mdxLive || m.othersChanged) {
        reload();
        return true;
    }
    int serial = -1;
    try {
        serial = detail::readMdxSerial(*m.mdx);
    } catch (const DbfError &) {
    }
    const uint32_t disk = m.currentCountOnDisk();
    const uint32_t added = disk >= m.count ? disk - m.count : 0;
    if (serial < 0 || disk < m.count ||
        serial != static_cast<int>((static_cast<uint32_t>(m.seenSerial) + added) & 0xFF)) {
        reload();
        return true;
    }
    m.catchUpAppends();
    m.seenSerial = serial;
    return false;
}

void Table::pack()
{
    Impl &m = *d;
    m.requireExclusive("pack it");
    const uint32_t oldCount = m.count;
    auto body = [&](File &out, const Header &h) {
        std::vector<uint8_t> buf;
        buf.reserve(kScanChunk + h.recordLength);
        uint64_t pos = h.headerLength;
        // Read through the old file (still the current one while the body is written).
        uint32_t live = 0;
        m.scan(1, oldCount, [&](uint32_t, const uint8_t *rec) {
            if (rec[0] == '*')
                return;
            ++live;
            buf.insert(buf.end(), rec, rec + h.recordLength);
            if (buf.size() >= kScanChunk) {
                out.writeAll(pos, buf.data(), buf.size());
                pos += buf.size();
                buf.clear();
            }
        });
        if (!buf.empty())
            out.writeAll(pos, buf.data(), buf.size());
        return live;
    };
    m.replaceFile(m.hdr, body, [&](const std::filesystem::path &at) {
        return m.hdr.productionIndex && !m.tags.empty() && m.prepareIndex(m.tags, at);
    });
    m.hdr.recordCount = m.count;
    m.buildIndexes();
    m.dirty = false;
}

void Table::reindex()
{
    Impl &m = *d;
    m.requireExclusive("rebuild its index");
    if (m.tags.empty() && m.mdxPath) {
        // The index could not be read: take the tags it declares, if it can still tell them.
        try {
            for (const auto &t : detail::readMdxTags(*m.mdxPath, m.fields)) {
                if (t.fieldIndex >= 0)
                    m.tags.push_back(t.tag);
            }
        } catch (const DbfError &) {
        }
    }
    if (m.tags.empty())
        m.fail(ErrorCode::BadIndex, "the production index tags are unknown (index unreadable); give them");
    reindex(m.tags);
}

void Table::reindex(const std::vector<IndexTag> &tagsIn)
{
    Impl &m = *d;
    m.requireExclusive("rebuild its index");
    std::vector<IndexTag> tags = tagsIn;
    for (auto &t : tags) {
        t.name = upper(t.name);
        const int fi = m.fieldIndexOf(t.field);
        if (fi < 0)
            m.fail(ErrorCode::BadArgument, "index tag " + t.name + " names no field " + t.field);
        t.field = m.fields[static_cast<size_t>(fi)].name;
    }
    if (tags.empty()) {
        m.mdx.reset();
        m.mdxLive = false;
        if (m.mdxPath) {
            std::error_code ec;
            std::filesystem::remove(*m.mdxPath, ec);
            m.mdxPath.reset();
        }
        if (m.hdr.productionIndex) {
            const uint8_t zero = 0;
            m.dbf.writeAll(28, &zero, 1);
            m.dbf.sync();
            m.hdr.productionIndex = false;
        }
    } else {
        m.count = m.currentCountOnDisk();
        m.writeIndex(tags);
        if (!m.hdr.productionIndex) {
            const uint8_t one = 1;
            m.dbf.writeAll(28, &one, 1);
            m.dbf.sync();
            m.hdr.productionIndex = true;
        }
    }
    m.tags = tags;
    m.buildIndexes();
    m.dirty = false;
}

void Table::addColumn(const FieldDef &fieldIn, const Value &initial)
{
    Impl &m = *d;
    m.requireExclusive("change its structure");
    FieldDef f = normalizedField(fieldIn);
    f.name = upper(f.name);
    const bool level7 = m.hdr.isLevel7();
    if (f.name.empty() || f.name.size() > (level7 ? 31u : 10u))
        m.fail(ErrorCode::BadArgument, "field name \"" + f.name + "\" is empty or too long");
    if (m.fieldIndexOf(f.name) >= 0)
        m.fail(ErrorCode::BadArgument, "field " + f.name + " already exists");
    if (isLevel7Type(f.type) && !level7)
        m.fail(ErrorCode::BadArgument, "field type exists only in level 7 tables");
    if ((f.type == FieldType::Character && (f.length < 1 || f.length > 254)) ||
        ((f.type == FieldType::Numeric || f.type == FieldType::Float) &&
         (f.length < 1 || f.length > 20 || (f.decimals > 0 && f.decimals + 2 > f.length))))
        m.fail(ErrorCode::BadArgument, "field " + f.name + ": impossible width");
    Header nh = m.hdr;
    detail::FieldLayout fl;
    fl.def = f;
    nh.fields.push_back(fl);
    if (isMemoType(f.type) && !m.memo) {
        // A first memo column brings a memo file.
        if (nh.version == 0x03)
            nh.version = 0x8B;
        else if (nh.version == 0x04)
            nh.version = 0x8C;
        const auto mp = companion(m.path, ".dbt");
        m.memo = DbtFile::create(mp, m.path.stem().string(), nh.version == 0x83, 512, true);
        m.memoExpected = mp;
    }
    detail::layoutHeader(nh);
    if (nh.recordLength > 32767)
        m.fail(ErrorCode::BadArgument, "the record would be longer than 32767 bytes");
    // Encode the initial value once (a memo value is stored once and shared by the existing records).
    std::vector<uint8_t> newBytes(f.length, ' ');
    {
        Header save = m.hdr;
        auto saveFields = m.fields;
        m.hdr = nh;
        m.fields.push_back(f);
        std::vector<uint8_t> scratch(nh.recordLength, ' ');
        try {
            m.encodeInto(m.fields.size() - 1, initial, scratch.data());
        } catch (...) {
            m.hdr = save;
            m.fields = saveFields;
            throw;
        }
        std::memcpy(newBytes.data(), scratch.data() + nh.fields.back().offset, f.length);
        m.hdr = save;
        m.fields = saveFields;
    }
    const uint32_t n = m.count;
    const uint16_t oldLen = m.hdr.recordLength;
    m.replaceFile(nh,
                  [&](File &out, const Header &h) {
                      std::vector<uint8_t> buf;
                      uint64_t pos = h.headerLength;
                      m.scan(1, n, [&](uint32_t, const uint8_t *rec) {
                          buf.insert(buf.end(), rec, rec + oldLen);
                          buf.insert(buf.end(), newBytes.begin(), newBytes.end());
                          if (buf.size() >= kScanChunk) {
                              out.writeAll(pos, buf.data(), buf.size());
                              pos += buf.size();
                              buf.clear();
                          }
                      });
                      if (!buf.empty())
                          out.writeAll(pos, buf.data(), buf.size());
                      return n;
                  },
                  {});
    m.buildIndexes();
}

void Table::changeWidth(const std::string &fieldName, uint8_t newWidth)
{
    Impl &m = *d;
    m.requireExclusive("change its structure");
    const int fi = m.fieldIndexOf(fieldName);
    if (fi < 0)
        m.fail(ErrorCode::BadArgument, "no field " + fieldName);
    const size_t idx = static_cast<size_t>(fi);
    const FieldDef old = m.fields[idx];
    const bool numeric = old.type == FieldType::Numeric || old.type == FieldType::Float;
    if (old.type != FieldType::Character && !numeric)
        m.fail(ErrorCode::BadArgument, "field " + old.name + " has a fixed width");
    if (newWidth == old.length)
        return;
    if (newWidth < 1 || (old.type == FieldType::Character && newWidth > 254) ||
        (numeric && (newWidth > 20 || (old.decimals > 0 && old.decimals + 2 > newWidth))))
        m.fail(ErrorCode::BadArgument, "field " + old.name + ": impossible width " + std::to_string(newWidth));
    Header nh = m.hdr;
    nh.fields[idx].def.length = newWidth;
    detail::layoutHeader(nh);
    const uint32_t oldOff = m.hdr.fields[idx].offset;
    const uint32_t newOff = nh.fields[idx].offset;
    const uint16_t oldLen = m.hdr.recordLength;
    const uint16_t newLen = nh.recordLength;
    auto convert = [&](const uint8_t *rec, uint8_t *out, uint32_t recno) {
        std::memcpy(out, rec, oldOff);
        const uint8_t *src = rec + oldOff;
        uint8_t *dst = out + newOff;
        std::string_view text(reinterpret_cast<const char *>(src), old.length);
        if (old.type == FieldType::Character) {
            size_t e = text.size();
            while (e > 0 && (text[e - 1] == ' ' || text[e - 1] == '\0'))
                --e;
            if (e > newWidth)
                m.fail(ErrorCode::BadValue, "field " + old.name + " of record " + std::to_string(recno) + " holds " +
                                                std::to_string(e) + " characters, more than " +
                                                std::to_string(newWidth));
            std::memset(dst, ' ', newWidth);
            std::memcpy(dst, text.data(), e);
        } else {
            size_t b = 0, e = text.size();
            while (b < e && (text[b] == ' ' || text[b] == '\0'))
                ++b;
            while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\0'))
                --e;
            const auto t = text.substr(b, e - b);
            if (t.size() > newWidth)
                m.fail(ErrorCode::BadValue, "field " + old.name + " of record " + std::to_string(recno) + ": " +
                                                std::string(t) + " does not fit in " + std::to_string(newWidth));
            std::memset(dst, ' ', newWidth);
            std::memcpy(dst + (newWidth - t.size()), t.data(), t.size());
        }
        std::memcpy(dst + newWidth, rec + oldOff + old.length, oldLen - oldOff - old.length);
    };
    // Check every record first, so a value that does not fit leaves the table untouched.
    {
        std::vector<uint8_t> probe(newLen);
        m.scan(1, m.count, [&](uint32_t recno, const uint8_t *rec) { convert(rec, probe.data(), recno); });
    }
    const uint32_t n = m.count;
    bool indexed = false;
    for (const auto &t : m.tags)
        indexed = indexed || os::equalsNoCase(t.field, old.name);
    m.replaceFile(
        nh,
        [&](File &out, const Header &h) {
            std::vector<uint8_t> buf;
            std::vector<uint8_t> one(newLen);
            uint64_t pos = h.headerLength;
            m.scan(1, n, [&](uint32_t recno, const uint8_t *rec) {
                convert(rec, one.data(), recno);
                buf.insert(buf.end(), one.begin(), one.end());
                if (buf.size() >= kScanChunk) {
                    out.writeAll(pos, buf.data(), buf.size());
                    pos += buf.size();
                    buf.clear();
                }
            });
            if (!buf.empty())
                out.writeAll(pos, buf.data(), buf.size());
            return n;
        },
        [&](const std::filesystem::path &at) {
            return indexed && m.hdr.productionIndex && m.prepareIndex(m.tags, at);
        });
    m.buildIndexes();
}

const std::vector<IndexTag> &Table::tags() const
{
    return d->tags;
}

const Index &Table::index(const std::string &tagName) const
{
    for (const auto &ix : d->indexes) {
        if (os::equalsNoCase(ix->tag().name, tagName))
            return *ix;
    }
    d->fail(ErrorCode::BadArgument, "no index tag " + tagName);
}

bool Table::hasIndex(const std::string &tagName) const
{
    return std::any_of(d->indexes.begin(), d->indexes.end(),
                       [&](const auto &ix) { return os::equalsNoCase(ix->tag().name, tagName); });
}

void Table::flush()
{
    if (d && d->dbf.isOpen() && !d->opts.readOnly)
        d->dbf.sync();
}

} // namespace tav::dbf

namespace tav::dbf {

namespace {

// A stored value that is not a value of its column: the text when so, else nullopt.
std::optional<std::string> badStoredValue(const FieldDef &f, const uint8_t *bytes)
{
    switch (f.type) {
    case FieldType::Numeric:
    case FieldType::Float:
    case FieldType::Date:
    case FieldType::Memo:
    case FieldType::Binary:
    case FieldType::General:
        break;
    case FieldType::Logical: {
        const char c = static_cast<char>(bytes[0]);
        if (c == 'T' || c == 'F' || c == ' ' || c == '?' || c == 't' || c == 'f' || c == 'Y' || c == 'N' || c == 'y' ||
            c == 'n' || c == '\0')
            return std::nullopt;
        return std::string(1, c);
    }
    default:
        return std::nullopt; // any bytes are a text; binary level-7 values are any bytes too
    }
    const std::string_view sv(reinterpret_cast<const char *>(bytes), f.length);
    size_t b = 0, e = sv.size();
    while (b < e && (sv[b] == ' ' || sv[b] == '\0'))
        ++b;
    while (e > b && (sv[e - 1] == ' ' || sv[e - 1] == '\0'))
        --e;
    const std::string_view t = sv.substr(b, e - b);
    if (t.empty())
        return std::nullopt;
    switch (f.type) {
    case FieldType::Numeric:
    case FieldType::Float: {
        if (t == "." || t.find_first_not_of('*') == std::string_view::npos)
            return std::nullopt; // dBASE IV's blank decimal, or dBASE's own overflow mark
        double d = 0;
        return detail::parseNumber(t, d) ? std::nullopt : std::optional<std::string>(t);
    }
    case FieldType::Date: {
        if (t.find_first_not_of('0') == std::string_view::npos)
            return std::nullopt;
        return detail::decodeField(f, bytes, nullptr).isNull() ? std::optional<std::string>(t) : std::nullopt;
    }
    default:
        return t.size() <= 10 && t.find_first_not_of("0123456789") == std::string_view::npos
                   ? std::nullopt
                   : std::optional<std::string>(t);
    }
}

} // namespace

std::vector<Damage> Table::verify(const std::filesystem::path &path, const VerifyOptions &options)
{
    std::vector<Damage> out;
    OpenOptions o;
    o.readOnly = true;
    o.validateIndex = false;
    o.loadIndexes = false;
    o.reindexOnClose = false;
    Table t;
    try {
        t = Table::open(path, OpenMode::Shared, o);
    } catch (const DbfError &e) {
        if (e.code() != ErrorCode::BadHeader && e.code() != ErrorCode::BadMemo)
            throw;
        Damage d;
        d.kind = e.code() == ErrorCode::BadMemo ? Damage::Kind::MemoDamaged : Damage::Kind::Header;
        d.detail = e.what();
        out.push_back(d);
        return out;
    }
    Impl &m = *t.d;
    // The count against the file.
    {
        uint8_t c[11];
        const uint64_t size = m.stableCountBytes(c);
        const uint32_t headerCount = static_cast<uint32_t>(c[0]) | (static_cast<uint32_t>(c[1]) << 8) |
                                     (static_cast<uint32_t>(c[2]) << 16) | (static_cast<uint32_t>(c[3]) << 24);
        // An append under way in another process right now is not damage.
        const bool appendHeld = m.dbf.isLockedByOther(detail::kAppendLock, 1, true);
        const detail::Extent e = detail::extentOf(m.hdr, headerCount, size, c[10] != 0 || appendHeld);
        if (e.damaged()) {
            Damage d;
            d.kind = Damage::Kind::RecordCount;
            d.headerCount = headerCount;
            d.wholeRecords = e.wholeRecords;
            d.partialBytes = e.partialBytes;
            d.detail = m.name + ": " + e.describe(headerCount);
            out.push_back(d);
        }
    }
    // Every record: its flag, its values, its memo pointers.
    bool memoFields = false;
    for (const auto &f : m.fields)
        memoFields = memoFields || isMemoType(f.type);
    std::optional<std::string> memoHeader;
    if (memoFields || m.hdr.hasMemoFile()) {
        if (!m.memo) {
            if (memoFields) {
                Damage d;
                d.kind = Damage::Kind::MemoMissing;
                d.detail = m.memoExpected.filename().string() + ": memo file missing (needed by " + m.name + ")";
                out.push_back(d);
            }
        } else if (auto problem = m.memo->headerProblem(); !problem.empty()) {
            Damage d;
            d.kind = Damage::Kind::MemoDamaged;
            d.detail = problem;
            out.push_back(d);
        }
    }
    size_t recordProblems = 0, notListed = 0;
    auto note = [&](Damage d) {
        if (++recordProblems > options.maxRecords) {
            ++notListed;
            return;
        }
        out.push_back(std::move(d));
    };
    m.scan(1, m.count, [&](uint32_t recno, const uint8_t *rec) {
        if (rec[0] != ' ' && rec[0] != '*') {
            Damage d;
            d.kind = Damage::Kind::DeletionFlag;
            d.recno = recno;
            d.stored = std::string(1, static_cast<char>(rec[0]));
            d.detail = m.name + ": record " + std::to_string(recno) + " has the deletion flag 0x" + [&] {
                char b[4];
                std::snprintf(b, sizeof b, "%02X", rec[0]);
                return std::string(b);
            }() + " (neither blank nor \"*\")";
            note(d);
        }
        for (size_t i = 0; i < m.fields.size(); ++i) {
            const FieldDef &f = m.fields[i];
            const uint8_t *bytes = rec + m.hdr.fields[i].offset;
            if (auto bad = badStoredValue(f, bytes)) {
                Damage d;
                d.kind = Damage::Kind::BadValue;
                d.recno = recno;
                d.field = f.name;
                d.stored = *bad;
                d.detail = m.name + ": record " + std::to_string(recno) + ", field " + f.name + ": \"" + *bad +
                           "\" is not a value of its column";
                note(d);
                continue;
            }
            if (isMemoType(f.type) && m.memo) {
                const Value v = m.fieldValue(i, rec);
                if (v.isNull())
                    continue;
                const std::string problem = m.memo->problemAt(static_cast<uint32_t>(v.asInt()));
                if (!problem.empty()) {
                    Damage d;
                    d.kind = Damage::Kind::MemoDamaged;
                    d.recno = recno;
                    d.field = f.name;
                    d.detail = problem + " (record " + std::to_string(recno) + ", field " + f.name + ")";
                    note(d);
                }
            }
        }
    });
    if (notListed > 0) {
        Damage d;
        d.kind = Damage::Kind::BadValue;
        d.detail = m.name + ": " + std::to_string(notListed) + " more damaged records not listed";
        out.push_back(d);
    }
    t.close();
    if (options.index) {
        const IndexCheck ix = validateProductionIndex(path, options.fullIndex);
        if (!ix.valid) {
            Damage d;
            d.kind = Damage::Kind::Index;
            d.detail = ix.error;
            out.push_back(d);
        }
    }
    return out;
}

std::vector<std::string> Table::recover(const std::filesystem::path &path)
{
    std::vector<std::string> done;
    // Exclusive, without the count check (that is what is being repaired).
    OpenOptions o;
    o.readOnly = true;
    o.validateIndex = false;
    o.loadIndexes = false;
    o.reindexOnClose = false;
    Table probe = Table::open(path, OpenMode::Shared, o);
    const auto file = probe.path();
    probe.close();
    Table t;
    t.d = std::make_unique<Impl>();
    Impl &m = *t.d;
    m.path = file;
    m.name = file.filename().string();
    m.mode = OpenMode::Exclusive;
    m.opts.validateIndex = false;
    m.opts.loadIndexes = false;
    m.opts.reindexOnClose = false;
    m.dbf = File::open(file, true);
    if (!m.dbf.lock(detail::kOpenMarker, 1, true) || !m.dbf.lock(detail::kFileLockStart, detail::kFileLockLength, true))
        m.fail(ErrorCode::Busy, "the table is open in another process; close every station first");
    {
        const uint64_t size = m.dbf.size();
        uint8_t first[32] = {};
        m.dbf.readSome(0, first, sizeof first);
        std::vector<uint8_t> buf(detail::headerBytesNeeded(first));
        const size_t n = m.dbf.readSome(0, buf.data(), buf.size());
        m.hdr = detail::parseHeader(m.name, buf.data(), n, size);
        for (const auto &fl : m.hdr.fields)
            m.fields.push_back(fl.def);
        const detail::Extent e = detail::extentOf(m.hdr, m.hdr.recordCount, size, n > 14 && buf[14] != 0);
        const uint64_t whole = std::min<uint64_t>(e.wholeRecords, 0xFFFFFFFFULL);
        const uint64_t end = m.hdr.headerLength + whole * m.hdr.recordLength;
        if (e.partialBytes > 1 || (e.stoppedAppend && !e.damaged())) {
            // The bytes after the last whole record (less a final EOF byte) go beside the table.
            uint64_t tailLen = size - end;
            std::vector<uint8_t> tail(static_cast<size_t>(tailLen));
            m.dbf.readExact(end, tail.data(), tail.size(), "the end of the table");
            if (!tail.empty() && tail.back() == 0x1A)
                tail.pop_back();
            if (!tail.empty() && !e.stoppedAppend) {
                const auto resto = file.parent_path() / (file.filename().string() + ".resto");
                File r = File::create(resto, true);
                r.writeAll(0, tail.data(), tail.size());
                r.sync();
                done.push_back(std::to_string(tail.size()) + " bytes of a record cut short moved to " +
                               resto.filename().string());
            }
        }
        if (e.damaged() || e.stoppedAppend || size != end + 1) {
            const uint8_t eof = 0x1A;
            m.dbf.writeAll(end, &eof, 1);
            m.dbf.truncate(end + 1);
            uint8_t c[4];
            for (int k = 0; k < 4; ++k)
                c[k] = static_cast<uint8_t>((whole >> (8 * k)) & 0xFF);
            m.dbf.writeAll(4, c, 4);
            const uint8_t zero = 0;
            m.dbf.writeAll(14, &zero, 1);
            m.dbf.sync();
            if (whole != m.hdr.recordCount)
                done.push_back("record count " + std::to_string(m.hdr.recordCount) + " set to the " +
                               std::to_string(whole) + " whole records the file holds");
        }
        m.count = static_cast<uint32_t>(whole);
        m.hdr.recordCount = m.count;
    }
    // Impossible deletion flags: the record is kept as a live one.
    std::vector<uint32_t> flags;
    m.scan(1, m.count, [&](uint32_t recno, const uint8_t *rec) {
        if (rec[0] != ' ' && rec[0] != '*')
            flags.push_back(recno);
    });
    for (uint32_t r : flags) {
        const uint8_t live = ' ';
        m.dbf.writeAll(m.recordOffset(r), &live, 1);
        done.push_back("record " + std::to_string(r) + ": impossible deletion flag set to live");
    }
    if (!flags.empty())
        m.dbf.sync();
    m.openMemo();
    m.openIndex(false);
    if (m.hdr.productionIndex) {
        if (m.tags.empty())
            done.push_back("the index tags could not be read: run reindex with the program");
        else {
            m.writeIndex(m.tags);
            done.push_back("index written anew");
        }
    }
    return done;
}

} // namespace tav::dbf
