#include "platform/dbf/DbfTable.h"
#include "support/TestDir.h"
#include "unit/dbf/DbfTestUtil.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tav::dbf;
using testutil::plainOpen;
using testutil::readFile;

namespace {

// A small "sup"-like table with a memo, a tag, deleted records, in the given version.
Table makeTable(const std::filesystem::path &p, uint8_t version)
{
    CreateOptions co;
    co.version = version;
    co.ldid = 0x58;
    co.tags = {{"C_PED", "C_PED"}, {"X_APE1", "X_APE1"}};
    co.open = plainOpen();
    Table t = Table::create(p,
                            {{"C_PED", FieldType::Numeric, 5, 0},
                             {"C_REG", FieldType::Numeric, 3, 0},
                             {"X_APE1", FieldType::Character, 8, 0},
                             {"X_OBS", FieldType::Memo, 10, 0},
                             {"F_ALTA", FieldType::Date, 8, 0}},
                            co);
    for (int i = 1; i <= 10; ++i)
        t.append({Value(i * 10), Value(7), Value("APE" + std::to_string(i)), Value("obs " + std::to_string(i)),
                  Value(Date{2000 + i, 1, 1})});
    return t;
}

} // namespace

TEST(DbfSchema, PackKeepsLiveRecordsTheirMemosAndRebuildsTheIndex)
{
    tav::test::TestDir dir;
    Table t = makeTable(dir / "ped.dbf", 0x8B);
    for (uint32_t r : {1u, 4u, 5u, 10u})
        t.setDeleted(r, true);
    t.pack();
    ASSERT_EQ(t.recordCount(), 6u);
    std::vector<int> keys;
    for (uint32_t r = 1; r <= t.recordCount(); ++r) {
        const Record rec = t.readRecord(r);
        EXPECT_FALSE(rec.deleted());
        const int k = static_cast<int>(rec.value(0).asDouble());
        keys.push_back(k);
        EXPECT_EQ(rec.value(3).asString(), "obs " + std::to_string(k / 10)); // memo pointers stay valid
    }
    EXPECT_EQ(keys, (std::vector<int>{20, 30, 60, 70, 80, 90}));
    EXPECT_EQ(t.index("X_APE1").recnos().size(), 6u);
    t.close();
    const auto bytes = readFile(dir / "ped.dbf");
    const size_t hdrLen = bytes[8] | (bytes[9] << 8);
    const size_t recLen = bytes[10] | (bytes[11] << 8);
    EXPECT_EQ(bytes.size(), hdrLen + 6 * recLen + 1); // truncated, EOF rewritten
    EXPECT_EQ(bytes.back(), 0x1A);
    EXPECT_EQ(bytes[4], 6);
    const IndexCheck check = Table::validateProductionIndex(dir / "ped.dbf", true);
    EXPECT_TRUE(check.valid) << check.error;
}

TEST(DbfSchema, PackAndSchemaChangesNeedExclusiveUse)
{
    tav::test::TestDir dir;
    makeTable(dir / "sup.dbf", 0x8B).close();
    Table t = Table::open(dir / "sup.dbf", OpenMode::Shared, plainOpen());
    for (auto op : std::vector<std::function<void()>>{[&] { t.pack(); }, [&] { t.reindex(); },
                                                      [&] {
                                                          t.addColumn({"X", FieldType::Logical, 1, 0});
                                                      },
                                                      [&] { t.changeWidth("C_PED", 8); }}) {
        try {
            op();
            ADD_FAILURE() << "ran on a shared table";
        } catch (const DbfError &e) {
            EXPECT_EQ(e.code(), ErrorCode::NotExclusive) << e.what();
        }
    }
}

class SchemaLevels : public ::testing::TestWithParam<uint8_t>
{};

TEST_P(SchemaLevels, AddColumnAndWidenKeepDataLevelAndLanguageDriver)
{
    tav::test::TestDir dir;
    const uint8_t version = GetParam();
    {
        Table t = makeTable(dir / "SUP.DBF", version);
        t.setDeleted(3, true);
        t.addColumn({"M_MENOR", FieldType::Logical, 1, 0}, Value(false));
        t.addColumn({"X_EMAIL", FieldType::Character, 100, 0});
        t.changeWidth("C_PED", 8);
        t.changeWidth("c_reg", 4);
        t.changeWidth("X_APE1", 15);
        EXPECT_THROW(t.changeWidth("X_APE1", 3), DbfError); // "APE10" does not fit: nothing changes
        EXPECT_THROW(t.addColumn({"C_REG", FieldType::Numeric, 2, 0}), DbfError);
        t.append({Value(12345678), Value(1234), Value("NUEVO APELLIDO"), Value("memo"), Value(), Value(true)});
    }
    Table t = Table::open(dir / "sup.dbf", OpenMode::Shared, plainOpen());
    EXPECT_EQ(t.version(), version);
    EXPECT_EQ(t.ldid(), 0x58);
    ASSERT_EQ(t.fields().size(), 7u);
    EXPECT_EQ(t.fields()[0].length, 8);
    EXPECT_EQ(t.fields()[1].length, 4);
    EXPECT_EQ(t.fields()[2].length, 15);
    EXPECT_EQ(t.fields()[5].name, "M_MENOR");
    EXPECT_EQ(t.fields()[6].length, 100);
    ASSERT_EQ(t.recordCount(), 11u);
    for (uint32_t r = 1; r <= 10; ++r) {
        const Record rec = t.readRecord(r);
        EXPECT_EQ(rec.deleted(), r == 3);
        EXPECT_EQ(rec.value(0).asDouble(), r * 10.0);
        EXPECT_EQ(rec.value(1).asDouble(), 7);
        EXPECT_EQ(rec.value(2).asString(), "APE" + std::to_string(r));
        EXPECT_EQ(rec.value(3).asString(), "obs " + std::to_string(r));
        EXPECT_EQ(rec.value(4).asDate(), (Date{2000 + static_cast<int>(r), 1, 1}));
        EXPECT_EQ(rec.value(5).asBool(), false);
        EXPECT_EQ(rec.value(6).asString(), "");
    }
    EXPECT_EQ(t.readRecord(11).value(0).asDouble(), 12345678);
    EXPECT_EQ(t.readRecord(11).value(2).asString(), "NUEVO APELLIDO");
    EXPECT_EQ(t.index("X_APE1").recnos().back(), 11u);
    const IndexCheck check = Table::validateProductionIndex(dir / "sup.dbf", false);
    EXPECT_TRUE(check.valid) << check.error;
}

INSTANTIATE_TEST_SUITE_P(Levels, SchemaLevels, ::testing::Values(uint8_t{0x8B}, uint8_t{0x83}, uint8_t{0x8C}),
                         [](const auto &info) { return "v" + std::to_string(info.param); });
