#include "platform/dbf/DbfTable.h"
#include "support/TestDir.h"
#include "unit/dbf/DbfTestUtil.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace tav::dbf;
using testutil::plainOpen;
using testutil::readFile;
using testutil::writeFile;

namespace {

uint32_t le32(const std::vector<uint8_t> &b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void putLe32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// A table with a character, a numeric and a date tag; `n` records with varied keys.
void makeTable(const std::filesystem::path &p, uint32_t n, uint8_t nameWidth = 12)
{
    CreateOptions co;
    co.tags = {{"NAME", "NAME"}, {"C_PED", "C_PED"}, {"F_PED", "F_PED", true, false}};
    co.open = plainOpen();
    co.open.syncWrites = false;
    Table t = Table::create(p,
                            {{"C_PED", FieldType::Numeric, 8, 0},
                             {"NAME", FieldType::Character, nameWidth, 0},
                             {"F_PED", FieldType::Date, 8, 0},
                             {"AMT", FieldType::Numeric, 12, 3}},
                            co);
    for (uint32_t i = 1; i <= n; ++i) {
        const uint32_t k = (i * 7919) % 10007;
        t.append({Value(static_cast<int64_t>(k) - 5000), Value("N" + std::to_string(k % 97)),
                  i % 11 == 0 ? Value() : Value(Date{1990 + static_cast<int>(k % 30), 1 + static_cast<int>(k % 12), 1}),
                  Value(static_cast<double>(k) / 8.0)});
    }
    t.setDeleted(2, true); // deleted records stay in the production index, as dBASE keeps them
    t.reindex();
}

} // namespace

TEST(DbfMdx, BulkBuiltIndexValidatesAndHasTheDBaseIVLayout)
{
    tav::test::TestDir dir;
    makeTable(dir / "ped.dbf", 3000); // several leaves and an interior level per tag
    const IndexCheck check = Table::validateProductionIndex(dir / "ped.dbf", true);
    EXPECT_TRUE(check.valid) << check.error;
    ASSERT_EQ(check.tags.size(), 3u);
    EXPECT_EQ(check.tags[2], (IndexTag{"F_PED", "F_PED", true, false}));

    const auto mdx = readFile(dir / "ped.mdx");
    EXPECT_EQ(mdx[0], 2);                       // version
    EXPECT_EQ(le32(mdx, 32) * 512, mdx.size()); // size in pages
    EXPECT_EQ(mdx[20] | (mdx[21] << 8), 2);     // pages per block
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&mdx[4])), "PED");
    EXPECT_EQ(mdx[28], 3); // tags in use
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&mdx[544 + 4])), "NAME");
    EXPECT_EQ(mdx[544 + 20], 'C');
    EXPECT_EQ(mdx[544 + 32 + 20], 'N');
    EXPECT_EQ(mdx[544 + 64 + 20], 'D');
    const uint32_t tagHeader = le32(mdx, 544 + 32);
    EXPECT_EQ(mdx[tagHeader * 512 + 12], 12); // numeric keys are 12-byte BCD
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&mdx[tagHeader * 512 + 24])), "C_PED");
}

// Every save changes its record's entries in the .MDX on disk: after any mix of appends, key changes,
// deletions and recalls (leaf and interior splits included) the index covers every record with its current
// key, without a rewrite at close. Another handle's refresh reads only what was appended, and reads the table
// again once records were deleted or re-keyed.
TEST(DbfMdx, EverySaveKeepsTheIndexOnDiskCurrent)
{
    tav::test::TestDir dir;
    makeTable(dir / "t.dbf", 300, 60); // wide names: few keys per node, so interior nodes split too
    OpenOptions o = plainOpen();
    o.syncWrites = false;
    Table t = Table::open(dir / "t.dbf", OpenMode::Shared, o);
    Table other = Table::open(dir / "t.dbf", OpenMode::Shared, o);
    std::mt19937 rng(99);
    auto randomName = [&] { return Value("K" + std::to_string(rng() % 5000)); };
    auto checkBoth = [&](const char *when, int step) {
        const IndexCheck c = Table::validateProductionIndex(dir / "t.dbf", true);
        ASSERT_TRUE(c.valid) << when << " " << step << ": " << c.error;
        Table fresh = Table::open(dir / "t.dbf", OpenMode::Shared, o);
        for (const char *tag : {"NAME", "C_PED", "F_PED"}) {
            EXPECT_EQ(t.index(tag).recnos(), fresh.index(tag).recnos()) << when << " " << step << " " << tag;
            EXPECT_EQ(other.index(tag).recnos(), fresh.index(tag).recnos()) << when << " " << step << " " << tag;
        }
    };
    for (int step = 1; step <= 2500; ++step) {
        const uint32_t n = t.recordCount();
        const uint32_t r = 1 + rng() % n;
        switch (rng() % 8) {
        case 0:
        case 1:
        case 2:
        case 3: // new records, with keys anywhere in the order
            t.append({Value(static_cast<int64_t>(rng() % 20000) - 10000), randomName(),
                      Value(Date{1950 + static_cast<int>(rng() % 70), 1 + static_cast<int>(rng() % 12), 3}),
                      Value(1.5)});
            break;
        case 4: // a key changes
            t.updateFields(r, {{1, randomName()}, {0, Value(static_cast<int64_t>(rng() % 20000))}});
            break;
        case 5: // no key changes
            t.updateFields(r, {{3, Value(2.25)}});
            break;
        case 6:
            t.setDeleted(r, true);
            break;
        default:
            t.setDeleted(r, false);
            break;
        }
        if (step % 500 == 0) {
            // Only appends since the last look: the other handle takes in the new records alone.
            const uint32_t before = t.recordCount();
            t.append({Value(1), Value("APPENDED"), Value(), Value()});
            EXPECT_TRUE(other.refresh()) << "deletions and key changes since its last look";
            t.append({Value(2), Value("APPENDED"), Value(), Value()});
            EXPECT_FALSE(other.refresh()) << "only appends: no full read";
            EXPECT_EQ(other.recordCount(), before + 2);
            checkBoth("after step", step);
        }
    }
    // The name tag's tree has grown to three levels (root, interior, leaves).
    const auto mdx = readFile(dir / "t.mdx");
    const uint32_t root = le32(mdx, le32(mdx, 544) * 512);
    const size_t firstChild = le32(mdx, root * 512 + 8) * 512;
    EXPECT_NE(le32(mdx, firstChild + 8 + le32(mdx, firstChild) * 64), 0u) << "the root's first child is a leaf";
}

TEST(DbfMdx, DamagedOrMissingIndexIsRefusedAndABackupCopyRestoresIt)
{
    tav::test::TestDir dir;
    makeTable(dir / "org.dbf", 40);
    std::filesystem::copy_file(dir / "org.mdx", dir / "org_bak.mdx");
    const auto good = readFile(dir / "org.mdx");
    const uint32_t nameHeader = le32(good, 544);
    const uint32_t nameRoot = le32(good, nameHeader * 512);

    struct Damage
    {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> apply;
        const char *expect;
    };
    const std::vector<Damage> damages = {
        {"truncated", [](auto &b) { b.resize(1000); }, "truncated"},
        {"version", [](auto &b) { b[0] = 7; }, "version"},
        {"page count", [](auto &b) { putLe32(b, 32, le32(b, 32) + 1); }, "pages"},
        {"other table", [](auto &b) { b[4] = 'X'; }, "belongs to table"},
        {"tag type", [](auto &b) { b[544 + 20] = 'N'; }, "key type"},
        {"root outside", [&](auto &b) { putLe32(b, nameHeader * 512, 99999); }, "root page"},
        {"key count", [&](auto &b) { putLe32(b, nameRoot * 512, 5000); }, "keys"},
        {"record number", [&](auto &b) { putLe32(b, nameRoot * 512 + 8, 4000); }, "record number"},
        {"key order",
         [&](auto &b) {
             // Put the last key of the first leaf in front of its first key.
             const size_t node = nameRoot * 512;
             size_t leaf = node;
             while (le32(b, leaf + 8 + le32(b, leaf) * 16) != 0) // descend to the first leaf
                 leaf = le32(b, leaf + 8) * 512;
             const uint32_t n = le32(b, leaf);
             std::swap_ranges(b.begin() + static_cast<long>(leaf + 12), b.begin() + static_cast<long>(leaf + 24),
                              b.begin() + static_cast<long>(leaf + 8 + (n - 1) * 16 + 4));
         },
         "out of order"},
        {"expression", [&](auto &b) { b[nameHeader * 512 + 24] = 'Q'; }, "names no field"},
    };
    for (const auto &dmg : damages) {
        auto bytes = good;
        dmg.apply(bytes);
        writeFile(dir / "org.mdx", bytes);
        try {
            Table t = Table::open(dir / "ORG.DBF");
            ADD_FAILURE() << dmg.what << ": opened";
        } catch (const DbfError &e) {
            EXPECT_EQ(e.code(), ErrorCode::BadIndex) << dmg.what;
            const std::string msg = e.what();
            EXPECT_NE(msg.find("org.mdx"), std::string::npos) << dmg.what << ": " << msg;
            EXPECT_NE(msg.find(dmg.expect), std::string::npos) << dmg.what << ": " << msg;
        }
        EXPECT_FALSE(Table::validateProductionIndex(dir / "org.dbf", false).valid) << dmg.what;
    }
    std::filesystem::remove(dir / "org.mdx");
    try {
        Table t = Table::open(dir / "org.dbf");
        ADD_FAILURE() << "opened without its index";
    } catch (const DbfError &e) {
        EXPECT_EQ(e.code(), ErrorCode::BadIndex);
        EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos) << e.what();
    }
    // What the start-up table check does: copy the backup over the index, then open again.
    std::filesystem::copy_file(dir / "org_bak.mdx", dir / "org.mdx");
    EXPECT_NO_THROW(Table::open(dir / "org.dbf"));
    EXPECT_EQ(readFile(dir / "org_bak.mdx"), good);
    // An exclusive reindex repairs an index whose tags can still be read.
    auto bytes = good;
    putLe32(bytes, nameRoot * 512 + 8, 4000);
    writeFile(dir / "org.mdx", bytes);
    OpenOptions noCheck;
    noCheck.validateIndex = false;
    {
        Table t = Table::open(dir / "org.dbf", OpenMode::Exclusive, noCheck);
        t.reindex();
    }
    EXPECT_TRUE(Table::validateProductionIndex(dir / "org.dbf", true).valid);
}
