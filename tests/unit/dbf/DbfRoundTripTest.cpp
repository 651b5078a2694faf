#include "platform/dbf/DbfTable.h"
#include "platform/os/NoCasePath.h"
#include "support/TestDir.h"
#include "unit/dbf/DbfTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tav::dbf;
using tav::dbf::testutil::plainOpen;
using tav::dbf::testutil::readFile;
using tav::dbf::testutil::writeFile;

namespace {

struct LevelCase
{
    uint8_t version;
    int level;
    bool binaryMemo; // B fields and bytes with 0x1A are possible
    bool level7Types;
};

class RoundTrip : public ::testing::TestWithParam<LevelCase>
{};

Bytes someBytes(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>((i * 37 + 11) & 0xFF); // includes 0x00 and 0x1A
    return b;
}

} // namespace

TEST_P(RoundTrip, EveryTypeAndNullFormSurvivesCloseAndReopen)
{
    const auto c = GetParam();
    tav::test::TestDir dir;
    std::vector<FieldDef> fields = {{"NAME", FieldType::Character, 20, 0}, {"CODE", FieldType::Numeric, 4, 0},
                                    {"AMOUNT", FieldType::Numeric, 10, 2}, {"RATIO", FieldType::Float, 12, 4},
                                    {"BORN", FieldType::Date, 8, 0},       {"SENT", FieldType::Logical, 1, 0},
                                    {"NOTES", FieldType::Memo, 10, 0}};
    if (c.binaryMemo)
        fields.push_back({"PICTURE", FieldType::Binary, 10, 0});
    if (c.level7Types) {
        fields.push_back({"COUNT", FieldType::Integer, 4, 0});
        fields.push_back({"ID", FieldType::AutoInc, 4, 0});
        fields.push_back({"PRICE", FieldType::Double, 8, 0});
        fields.push_back({"STAMP", FieldType::Timestamp, 8, 0});
    }
    CreateOptions co;
    co.version = c.version;
    co.open = plainOpen();
    const std::string longMemo(1500, 'x'); // spans several 512-byte blocks
    std::vector<Value> full = {Value("Ñandú  con blancos"), Value(42),   Value(-1234.5), Value(0.0625),
                               Value(Date{1999, 12, 31}),   Value(true), Value(longMemo)};
    std::vector<Value> nulls(fields.size());
    if (c.binaryMemo)
        full.push_back(Value(someBytes(700)));
    if (c.level7Types) {
        full.push_back(Value(int64_t{-7}));
        full.push_back(Value());
        full.push_back(Value(-2.75));
        full.push_back(Value(DateTime{{2024, 2, 29}, 45296789}));
    }
    {
        Table t = Table::create(dir / "T.DBF", fields, co);
        EXPECT_EQ(t.append(full), 1u);
        EXPECT_EQ(t.append(nulls), 2u);
        EXPECT_EQ(t.append({Value(""), Value(0), Value(0.0), Value(-0.0), Value(), Value(false), Value("")}), 3u);
    }
    Table t = Table::open(dir / "t.dbf", OpenMode::Shared, plainOpen());
    EXPECT_EQ(t.version(), c.version);
    EXPECT_EQ(t.level(), c.level);
    EXPECT_EQ(t.ldid(), 0x57);
    ASSERT_EQ(t.recordCount(), 3u);

    const Record r1 = t.readRecord(1);
    EXPECT_FALSE(r1.deleted());
    EXPECT_EQ(r1.value(0).asString(), "Ñandú  con blancos");
    EXPECT_EQ(r1.value(1).asDouble(), 42);
    EXPECT_EQ(r1.value(2).asDouble(), -1234.5);
    EXPECT_EQ(r1.rawText(2), "-1234.50");
    EXPECT_EQ(r1.value(3).asDouble(), 0.0625);
    EXPECT_EQ(r1.value(4).asDate(), (Date{1999, 12, 31}));
    EXPECT_EQ(r1.value(5).asBool(), true);
    EXPECT_EQ(r1.value(6).asString(), longMemo);
    size_t i = 7;
    if (c.binaryMemo) {
        EXPECT_EQ(r1.value(i++).asBytes(), someBytes(700));
    }
    if (c.level7Types) {
        EXPECT_EQ(r1.value(i++).asInt(), -7);
        EXPECT_EQ(r1.value(i++).asInt(), 1); // autoincrement drawn on append
        EXPECT_EQ(r1.value(i++).asDouble(), -2.75);
        EXPECT_EQ(r1.value(i++).asDateTime(), (DateTime{{2024, 2, 29}, 45296789}));
    }

    const Record r2 = t.readRecord(2);
    for (size_t f = 0; f < fields.size(); ++f) {
        if (fields[f].type == FieldType::Character)
            EXPECT_EQ(r2.value(f).asString(), "") << fields[f].name;
        else if (fields[f].type == FieldType::AutoInc)
            EXPECT_EQ(r2.value(f).asInt(), 2);
        else
            EXPECT_TRUE(r2.value(f).isNull()) << fields[f].name;
    }
    const Record r3 = t.readRecord(3);
    EXPECT_EQ(r3.value(1).asDouble(), 0);
    EXPECT_EQ(r3.rawText(3), "0.0000"); // negative zero is written without its sign
    EXPECT_FALSE(r3.value(5).asBool());
    EXPECT_TRUE(r3.value(6).isNull()); // an empty memo takes no block
}

INSTANTIATE_TEST_SUITE_P(Levels, RoundTrip,
                         ::testing::Values(LevelCase{0x8B, 4, true, false}, LevelCase{0x83, 3, false, false},
                                           LevelCase{0x8C, 7, true, true}),
                         [](const auto &info) { return "v" + std::to_string(info.param.version); });

TEST(DbfRecords, NewTablesTakeTheDBaseIVForm)
{
    tav::test::TestDir dir;
    {
        Table plain = Table::create(dir / "a.dbf", {{"X", FieldType::Character, 5, 0}});
        EXPECT_EQ(plain.version(), 0x03);
        Table memo =
            Table::create(dir / "b.dbf", {{"M", FieldType::Memo, 0, 0}}, testutil::plainCreate({}, OpenMode::Shared));
        EXPECT_EQ(memo.version(), 0x8B);
        EXPECT_EQ(memo.memoBlockSize(), 512);
        Table indexed =
            Table::create(dir / "c.dbf", {{"K", FieldType::Numeric, 8, 0}}, testutil::plainCreate({{"K", "K"}}));
        EXPECT_TRUE(indexed.hasProductionIndexFlag());
    }
    const auto bytes = readFile(dir / "c.dbf");
    EXPECT_EQ(bytes[28], 1);    // production index flag
    EXPECT_EQ(bytes[29], 0x57); // Windows-1252 language driver
    EXPECT_EQ(bytes.back(), 0x1A);
    EXPECT_TRUE(std::filesystem::exists(dir / "c.mdx"));
    EXPECT_TRUE(std::filesystem::exists(dir / "b.dbt"));
}

TEST(DbfRecords, BlankAndNonsenseStoredValuesReadAsNull)
{
    tav::test::TestDir dir;
    {
        Table t = Table::create(dir / "n.dbf",
                                {{"N", FieldType::Numeric, 6, 2},
                                 {"D", FieldType::Date, 8, 0},
                                 {"L", FieldType::Logical, 1, 0},
                                 {"F", FieldType::Float, 6, 0}},
                                testutil::plainCreate());
        for (int i = 0; i < 8; ++i)
            t.append({Value(1.0), Value(Date{2020, 1, 1}), Value(true), Value(2.0)});
    }
    // Stored forms other writers leave behind, written straight into the records.
    auto row = [](std::string n, std::string d, std::string l, std::string f) {
        EXPECT_EQ(n.size() + d.size() + l.size() + f.size(), 21u);
        return n + d + l + f;
    };
    const std::vector<std::string> stored = {
        row("   .  ", "00000000", "?", "      "), // dBASE IV blank decimal, zero date, '?', blank
        row("      ", "20240231", " ", "******"), // blank, impossible date, blank logical, overflow stars
        row("12a.4 ", "2024AB01", "X", "  1e+3"), // nonsense digits and date, unknown letter, exponent
        row("  -.5 ", "19000101", "y", "   -0 "), // leading point, lower-case yes, minus zero
    };
    auto bytes = readFile(dir / "n.dbf");
    const size_t hdrLen = bytes[8] | (bytes[9] << 8);
    for (size_t r = 0; r < stored.size(); ++r)
        std::copy(stored[r].begin(), stored[r].end(), bytes.begin() + static_cast<long>(hdrLen + r * 22 + 1));
    writeFile(dir / "n.dbf", bytes);

    Table t = Table::open(dir / "n.dbf", OpenMode::Shared, plainOpen());
    auto rec = [&](uint32_t n) { return t.readRecord(n); };
    EXPECT_TRUE(rec(1).value(0).isNull());
    EXPECT_TRUE(rec(1).value(1).isNull());
    EXPECT_TRUE(rec(1).value(2).isNull());
    EXPECT_TRUE(rec(1).value(3).isNull());
    EXPECT_TRUE(rec(2).value(0).isNull());
    EXPECT_TRUE(rec(2).value(1).isNull());
    EXPECT_TRUE(rec(2).value(2).isNull());
    EXPECT_TRUE(rec(2).value(3).isNull());
    EXPECT_EQ(rec(2).rawText(3), "******");
    EXPECT_TRUE(rec(3).value(0).isNull());
    EXPECT_TRUE(rec(3).value(1).isNull());
    EXPECT_TRUE(rec(3).value(2).isNull());
    EXPECT_EQ(rec(3).value(3).asDouble(), 1000.0);
    EXPECT_EQ(rec(4).value(0).asDouble(), -0.5);
    EXPECT_EQ(rec(4).value(1).asDate(), (Date{1900, 1, 1}));
    EXPECT_TRUE(rec(4).value(2).asBool());
    EXPECT_EQ(rec(4).value(3).asDouble(), 0.0);
}

TEST(DbfRecords, TextIsPaddedAndTooLongValuesAreRefusedWithoutWriting)
{
    tav::test::TestDir dir;
    Table t = Table::create(dir / "c.dbf", {{"S", FieldType::Character, 5, 0}, {"N", FieldType::Numeric, 3, 0}},
                            testutil::plainCreate());
    t.append({Value("  ab "), Value(7)});
    EXPECT_EQ(t.readRecord(1).value(0).asString(), "  ab");
    EXPECT_EQ(t.readRecord(1).rawText(0), "ab");
    try {
        t.append({Value("abcdef"), Value(1)});
        FAIL() << "no error";
    } catch (const DbfError &e) {
        EXPECT_EQ(e.code(), ErrorCode::BadValue);
        EXPECT_NE(std::string(e.what()).find("c.dbf"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("S (C,5,0)"), std::string::npos) << e.what();
    }
    EXPECT_THROW(t.updateFields(1, {{0, Value("x")}, {1, Value(1000)}}), DbfError);
    EXPECT_EQ(t.recordCount(), 1u);
    EXPECT_EQ(t.readRecord(1).value(0).asString(), "  ab"); // the refused update changed nothing
    EXPECT_EQ(t.readRecord(1).value(1).asDouble(), 7);
    EXPECT_THROW(t.readRecord(2), DbfError);
    EXPECT_THROW(t.readRecord(0), DbfError);
}

TEST(DbfRecords, UpdateRewritesOnlyTheGivenFieldsAndDeleteFlagToggles)
{
    tav::test::TestDir dir;
    Table t = Table::create(
        dir / "u.dbf",
        {{"A", FieldType::Character, 4, 0}, {"B", FieldType::Character, 4, 0}, {"M", FieldType::Memo, 10, 0}},
        testutil::plainCreate());
    t.append({Value("aaaa"), Value("bbbb"), Value("memo one")});
    t.append({Value("cccc"), Value("dddd")});
    // Another program's bytes in field B (lower-case, unusual) must stay as they are.
    auto raw = readFile(dir / "u.dbf");
    const size_t hdrLen = raw[8] | (raw[9] << 8);
    raw[hdrLen + 5] = 'z';
    writeFile(dir / "u.dbf", raw);
    t.updateFields(1, {{0, Value("AA")}});
    Record r = t.readRecord(1);
    EXPECT_EQ(r.value(0).asString(), "AA");
    EXPECT_EQ(r.value(1).asString(), "zbbb");
    EXPECT_EQ(r.value(2).asString(), "memo one");
    const auto dbtSize = std::filesystem::file_size(dir / "u.dbt");
    t.update(1, {Value("AA"), Value("zbbb"), Value("memo one")}); // unchanged memo keeps its block
    EXPECT_EQ(std::filesystem::file_size(dir / "u.dbt"), dbtSize);
    t.update(1, {Value("AA"), Value("zbbb"), Value("memo two")});
    EXPECT_EQ(t.readRecord(1).value(2).asString(), "memo two");

    t.setDeleted(2, true);
    EXPECT_TRUE(t.isDeleted(2));
    EXPECT_TRUE(t.readRecord(2).deleted());
    EXPECT_EQ(t.recordCount(), 2u);
    t.setDeleted(2, false);
    EXPECT_FALSE(t.readRecord(2).deleted());
}

TEST(DbfRecords, MemosAreLoadedOnlyWhenAskedAndPointersMayBeSpacePadded)
{
    tav::test::TestDir dir;
    CreateOptions co;
    co.memoBlockSize = 1024;
    co.open = plainOpen();
    {
        Table t = Table::create(dir / "m.dbf", {{"M", FieldType::Memo, 10, 0}, {"B", FieldType::Binary, 10, 0}}, co);
        t.append({Value(std::string(1024 - 8, 'q')), Value(Bytes{0x1A, 0x00, 0xFF})});
    }
    auto raw = readFile(dir / "m.dbf");
    const size_t hdrLen = raw[8] | (raw[9] << 8);
    EXPECT_EQ(std::string(raw.begin() + static_cast<long>(hdrLen + 1), raw.begin() + static_cast<long>(hdrLen + 11)),
              "0000000001");
    // The Borland engine right-justifies the pointer with spaces.
    const std::string spaced = "         1";
    std::copy(spaced.begin(), spaced.end(), raw.begin() + static_cast<long>(hdrLen + 1));
    writeFile(dir / "m.dbf", raw);
    const auto dbt = readFile(dir / "m.dbt");
    EXPECT_EQ(dbt[20] | (dbt[21] << 8), 1024);
    // Header, one full block, one block for the binary: the next free block is 3. The file runs on in zeros
    // written ahead (saves then overwrite blocks the file already has).
    EXPECT_EQ(dbt[0] | (dbt[1] << 8), 3);
    ASSERT_GE(dbt.size(), 3u * 1024u);
    EXPECT_TRUE(std::all_of(dbt.begin() + 3 * 1024, dbt.end(), [](uint8_t b) { return b == 0; }));

    Table t = Table::open(dir / "M.DBF", OpenMode::Shared, plainOpen());
    EXPECT_EQ(t.memoBlockSize(), 1024);
    Record r = t.readRecord(1, false);
    EXPECT_TRUE(r.memoPending(0));
    EXPECT_TRUE(r.value(0).isNull());
    t.loadMemo(r, 0);
    t.loadMemo(r, 1);
    EXPECT_EQ(r.value(0).asString(), std::string(1016, 'q'));
    EXPECT_EQ(r.value(1).asBytes(), (Bytes{0x1A, 0x00, 0xFF}));
}

TEST(DbfFileNames, TablesAndCompanionsAreFoundWhateverTheirCase)
{
    tav::test::TestDir dir;
    {
        Table t = Table::create(dir / "PED.DBF", {{"C_PED", FieldType::Numeric, 8, 0}, {"X", FieldType::Memo, 10, 0}},
                                testutil::plainCreate({{"C_PED", "C_PED"}}));
        t.append({Value(5), Value("hola")});
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "PED.DBT"));
    EXPECT_TRUE(std::filesystem::exists(dir / "PED.MDX"));
    std::filesystem::rename(dir / "PED.DBT", dir / "Ped.dbt");
    std::filesystem::rename(dir / "PED.MDX", dir / "pEd.Mdx");
    Table t = Table::open(dir / "ped.dbf");
    EXPECT_EQ(t.path().filename(), "PED.DBF");
    EXPECT_EQ(t.readRecord(1).value(1).asString(), "hola");
    EXPECT_EQ(t.indexPath()->filename(), "pEd.Mdx");
    EXPECT_EQ(t.memoPath()->filename(), "Ped.dbt");

    EXPECT_EQ(tav::os::resolveNoCase(dir / "Ped.Dbf"), dir / "PED.DBF");
    EXPECT_EQ(tav::os::resolveNoCase(dir / "nuevo.dbf"), dir / "nuevo.dbf"); // new files keep the caller's case
    EXPECT_FALSE(tav::os::findFileNoCase(dir.path(), "otro.dbf"));
    EXPECT_THROW(Table::create(dir / "ped.DBF", {{"A", FieldType::Character, 1, 0}}), DbfError);
}
