#include "platform/dbf/DbfTable.h"
#include "support/TestDir.h"
#include "unit/dbf/DbfTestUtil.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tav::dbf;
using testutil::plainOpen;
using testutil::readFile;
using testutil::writeFile;

namespace {

void putLe16(std::vector<uint8_t> &b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void putLe32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// Two fields C(5), N(4); three records.
std::vector<uint8_t> sampleTable(const tav::test::TestDir &dir)
{
    {
        Table t = Table::create(dir / "s.dbf", {{"A", FieldType::Character, 5, 0}, {"B", FieldType::Numeric, 4, 0}},
                                testutil::plainCreate());
        for (int i = 0; i < 3; ++i)
            t.append({Value("x"), Value(i)});
    }
    return readFile(dir / "s.dbf");
}

} // namespace

TEST(DbfBadInput, DamagedHeadersGiveAnErrorNamingFileAndProblem)
{
    tav::test::TestDir dir;
    const auto good = sampleTable(dir);
    struct Case
    {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> apply;
        const char *expect;
    };
    const std::vector<Case> cases = {
        {"empty file", [](auto &b) { b.clear(); }, "truncated header"},
        {"short header", [](auto &b) { b.resize(20); }, "truncated header"},
        {"header cut inside the descriptors", [](auto &b) { b.resize(50); }, "truncated header"},
        {"header length beyond the file", [](auto &b) { putLe16(b, 8, 60000); }, "truncated header"},
        {"header length too small", [](auto &b) { putLe16(b, 8, 20); }, "too small"},
        {"record length disagrees", [](auto &b) { putLe16(b, 10, 11); }, "record length 11 disagrees"},
        {"no terminator", [](auto &b) { b[32 + 64] = ' '; }, "terminator"},
        {"unknown type", [](auto &b) { b[32 + 11] = 'Z'; }, "unknown type"},
        {"zero width", [](auto &b) { b[32 + 16] = 0; }, "length 0"},
        {"date with a wrong width", [](auto &b) { b[32 + 32 + 11] = 'D'; }, "expected 8"},
        {"FoxPro version", [](auto &b) { b[0] = 0x30; }, "unsupported version"},
        {"empty field name", [](auto &b) { b[32] = 0; }, "no name"},
    };
    for (const auto &c : cases) {
        auto bytes = good;
        c.apply(bytes);
        writeFile(dir / "s.dbf", bytes);
        try {
            Table t = Table::open(dir / "s.dbf", OpenMode::Shared, plainOpen());
            ADD_FAILURE() << c.what << ": opened";
        } catch (const DbfError &e) {
            const std::string msg = e.what();
            EXPECT_EQ(e.code(), ErrorCode::BadHeader) << c.what << ": " << msg;
            EXPECT_EQ(msg.rfind("s.dbf: ", 0), 0u) << c.what << ": " << msg;
            EXPECT_NE(msg.find(c.expect), std::string::npos) << c.what << ": " << msg;
        }
    }
}

TEST(DbfBadInput, CountBeyondTheFileIsClampedToWholeRecords)
{
    tav::test::TestDir dir;
    auto bytes = sampleTable(dir);
    putLe32(bytes, 4, 1000000);
    bytes.resize(bytes.size() - 5); // the EOF byte and part of the last record are gone
    writeFile(dir / "s.dbf", bytes);
    Table t = Table::open(dir / "s.dbf", OpenMode::Shared, plainOpen());
    EXPECT_EQ(t.recordCount(), 2u);
    EXPECT_EQ(t.readRecord(2).value(1).asDouble(), 1);
    EXPECT_THROW(t.readRecord(3), DbfError);
    // The next append writes over the broken record and repairs the count.
    EXPECT_EQ(t.append({Value("y"), Value(9)}), 3u);
    t.close();
    Table again = Table::open(dir / "s.dbf", OpenMode::Shared, plainOpen());
    EXPECT_EQ(again.recordCount(), 3u);
    EXPECT_EQ(again.readRecord(3).value(0).asString(), "y");
}

TEST(DbfBadInput, MemoPointersOutsideTheMemoFileAreErrorsNotReads)
{
    tav::test::TestDir dir;
    {
        Table t = Table::create(dir / "m.dbf", {{"M", FieldType::Memo, 10, 0}}, testutil::plainCreate());
        t.append({Value("first")});
        t.append({Value("second")});
        t.append({Value("third")});
    }
    auto bytes = readFile(dir / "m.dbf");
    const size_t hdrLen = bytes[8] | (bytes[9] << 8);
    const std::string beyond = "0000009999";
    std::copy(beyond.begin(), beyond.end(), bytes.begin() + static_cast<long>(hdrLen + 1));
    const std::string junk = "00000x0002"; // nonsense pointer: no memo
    std::copy(junk.begin(), junk.end(), bytes.begin() + static_cast<long>(hdrLen + 11 + 1));
    writeFile(dir / "m.dbf", bytes);
    // The third memo claims a length far past the end of the memo file.
    auto dbt = readFile(dir / "m.dbt");
    putLe32(dbt, 3 * 512 + 4, 100000);
    writeFile(dir / "m.dbt", dbt);

    Table t = Table::open(dir / "m.dbf", OpenMode::Shared, plainOpen());
    try {
        t.readRecord(1);
        ADD_FAILURE() << "read a memo outside the file";
    } catch (const DbfError &e) {
        EXPECT_EQ(e.code(), ErrorCode::BadMemo);
        EXPECT_NE(std::string(e.what()).find("m.dbt"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("outside"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(t.readRecord(1, false).memoPending(0)); // the record itself still reads
    EXPECT_TRUE(t.readRecord(2).value(0).isNull());
    EXPECT_THROW(t.readRecord(3), DbfError);

    std::filesystem::remove(dir / "m.dbt");
    Table noMemo = Table::open(dir / "m.dbf", OpenMode::Shared, plainOpen());
    try {
        noMemo.readRecord(3);
        ADD_FAILURE() << "read a memo without memo file";
    } catch (const DbfError &e) {
        EXPECT_NE(std::string(e.what()).find("memo file missing"), std::string::npos) << e.what();
    }
}
