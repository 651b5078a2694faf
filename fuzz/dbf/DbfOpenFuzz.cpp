// Fuzz input: [u32 dbf length][u32 dbt length][.DBF bytes][.DBT bytes][.MDX bytes (the rest)], little-endian
// lengths cut to what the input holds. The three files are written to a private folder, the table is opened
// (with index validation, and again without when the index is refused), every record is read with its memos,
// the full index check runs, and the in-memory indexes are walked. Any DbfError is an expected outcome.

#include "platform/dbf/DbfTable.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace tav::dbf;

namespace {

const std::filesystem::path &folder()
{
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("dbf-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

void put(const std::filesystem::path &p, const uint8_t *data, size_t n, bool present)
{
    std::error_code ec;
    std::filesystem::remove(p, ec);
    if (!present)
        return;
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(n));
}

uint32_t le32(const uint8_t *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void readAll(Table &t)
{
    volatile size_t sink = 0;
    for (uint32_t r = 1; r <= t.recordCount(); ++r) {
        try {
            const Record rec = t.readRecord(r);
            for (size_t i = 0; i < rec.size(); ++i)
                sink = sink + rec.rawText(i).size() + (rec.value(i).isNull() ? 0 : 1);
        } catch (const DbfError &) {
        }
    }
    for (const auto &tag : t.tags()) {
        const Index &ix = t.index(tag.name);
        for (size_t i = 0; i < ix.size(); ++i)
            sink = sink + ix.recnoAt(i);
    }
    (void)sink;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 8)
        return 0;
    const size_t dbfLen = std::min<size_t>(le32(data), size - 8);
    const size_t dbtLen = std::min<size_t>(le32(data + 4), size - 8 - dbfLen);
    const uint8_t *dbf = data + 8;
    const uint8_t *dbt = dbf + dbfLen;
    const uint8_t *mdx = dbt + dbtLen;
    const size_t mdxLen = size - 8 - dbfLen - dbtLen;
    const auto &dir = folder();
    put(dir / "F.DBF", dbf, dbfLen, true);
    put(dir / "F.DBT", dbt, dbtLen, dbtLen > 0);
    put(dir / "F.MDX", mdx, mdxLen, mdxLen > 0);

    OpenOptions o;
    o.readOnly = true;
    o.reindexOnClose = false;
    o.sharedOpenWait = std::chrono::milliseconds(0);
    try {
        Table t = Table::open(dir / "F.DBF", OpenMode::Shared, o);
        readAll(t);
    } catch (const DbfError &e) {
        if (e.code() == ErrorCode::BadIndex) {
            o.validateIndex = false;
            try {
                Table t = Table::open(dir / "F.DBF", OpenMode::Shared, o);
                readAll(t);
            } catch (const DbfError &) {
            }
        }
    }
    try {
        (void)Table::validateProductionIndex(dir / "F.DBF", true);
    } catch (const DbfError &) {
    }
    return 0;
}
