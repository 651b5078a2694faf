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

// Damaged files never cost committed data: each damage is found by the table check, a writable open refuses
// the tables whose count disagrees with the file (so nothing is written over records the header lost), and
// recovery keeps every whole record.
TEST(DbfBadInput, DamagedFilesAreReportedRefusedAndRecoveredWithoutLosingRecords)
{
    tav::test::TestDir dir;
    // Twenty records: C(5) "xNN", N(4) NN, and a memo "memo NN".
    std::vector<uint8_t> good, goodMemo;
    {
        Table t = Table::create(
            dir / "s.dbf",
            {{"A", FieldType::Character, 5, 0}, {"B", FieldType::Numeric, 4, 0}, {"M", FieldType::Memo, 10, 0}},
            testutil::plainCreate({{"B", "B", false, false}}));
        for (int i = 1; i <= 20; ++i)
            t.append({Value("x" + std::to_string(i)), Value(i), Value("memo " + std::to_string(i))});
    }
    good = readFile(dir / "s.dbf");
    goodMemo = readFile(dir / "s.dbt");
    const size_t hdrLen = good[8] | (good[9] << 8), recLen = good[10] | (good[11] << 8);
    auto record = [&](int r) { return hdrLen + static_cast<size_t>(r - 1) * recLen; };
    struct Case
    {
        const char *what;
        std::function<void(std::vector<uint8_t> &, std::vector<uint8_t> &)> apply;
        Damage::Kind kind;
        bool openRefused;   // a writable open is refused
        uint32_t recovered; // records after recovery
    };
    const std::vector<Case> cases = {
        {"count lower than the records", [](auto &b, auto &) { putLe32(b, 4, 10); }, Damage::Kind::RecordCount, true,
         20},
        {"count larger than the file", [](auto &b, auto &) { putLe32(b, 4, 25); }, Damage::Kind::RecordCount, true, 20},
        {"cut inside a record", [&](auto &b, auto &) { b.resize(record(20) + 7); }, Damage::Kind::RecordCount, true,
         19},
        {"numeric \"2O\"", [&](auto &b, auto &) { b[record(3) + 1 + 5 + 2] = '2', b[record(3) + 1 + 5 + 3] = 'O'; },
         Damage::Kind::BadValue, false, 20},
        {"deletion flag", [&](auto &b, auto &) { b[record(4)] = 'X'; }, Damage::Kind::DeletionFlag, false, 20},
        {"memo next free block past the end", [](auto &, auto &m) { putLe32(m, 0, 999); }, Damage::Kind::MemoDamaged,
         false, 20},
        {"memo file cut short", [](auto &, auto &m) { m.resize(512 + 512 * 5 + 3); }, Damage::Kind::MemoDamaged, false,
         20},
        {"memo file missing", [](auto &, auto &m) { m.clear(); }, Damage::Kind::MemoMissing, false, 20},
    };
    for (const auto &c : cases) {
        auto bytes = good, memo = goodMemo;
        c.apply(bytes, memo);
        writeFile(dir / "s.dbf", bytes);
        std::filesystem::remove(dir / "s.dbt");
        if (!memo.empty())
            writeFile(dir / "s.dbt", memo);
        std::filesystem::remove(dir / "s.dbf.resto");
        const auto found = Table::verify(dir / "s.dbf");
        ASSERT_FALSE(found.empty()) << c.what << ": reported sound";
        EXPECT_EQ(found.front().kind, c.kind) << c.what << ": " << found.front().detail;
        EXPECT_EQ(found.front().detail.rfind("s.d", 0), 0u) << c.what << ": names the file: " << found.front().detail;
        if (c.openRefused) {
            try {
                Table t = Table::open(dir / "s.dbf", OpenMode::Shared, plainOpen());
                t.append({Value("new"), Value(99)});
                ADD_FAILURE() << c.what << ": appended to a table whose count disagrees with the file";
            } catch (const DbfError &e) {
                EXPECT_EQ(e.code(), ErrorCode::BadHeader) << c.what << ": " << e.what();
                EXPECT_NE(std::string(e.what()).find("whole records"), std::string::npos) << e.what();
            }
            EXPECT_EQ(readFile(dir / "s.dbf"), bytes) << c.what << ": the refused table was changed";
            const auto steps = Table::recover(dir / "s.dbf");
            EXPECT_FALSE(steps.empty()) << c.what;
            Table t = Table::open(dir / "s.dbf", OpenMode::Shared, plainOpen());
            EXPECT_EQ(t.recordCount(), c.recovered) << c.what;
            for (uint32_t r = 1; r <= t.recordCount(); ++r)
                EXPECT_EQ(t.readRecord(r).value(1).asDouble(), r) << c.what << ": record " << r;
            EXPECT_TRUE(Table::verify(dir / "s.dbf").empty()) << c.what << ": still damaged after recovery";
        } else {
            EXPECT_NO_THROW(Table::open(dir / "s.dbf", OpenMode::Shared, plainOpen())) << c.what;
        }
        if (std::string(c.what) == "cut inside a record") {
            EXPECT_EQ(std::filesystem::file_size(dir / "s.dbf.resto"), 7u) << "the partial record is kept beside";
        }
    }
    // A record an append left past the count before it was stopped (byte 14 set) is not damage: the next
    // append writes over it.
    auto bytes = good;
    std::vector<uint8_t> extra(bytes.begin() + static_cast<long>(record(20)),
                               bytes.begin() + static_cast<long>(record(21)));
    putLe32(bytes, 4, 19);
    bytes[14] = 1;
    writeFile(dir / "s.dbf", bytes);
    writeFile(dir / "s.dbt", goodMemo);
    EXPECT_TRUE(Table::verify(dir / "s.dbf", {false, false, 20}).empty());
    {
        Table t = Table::open(dir / "s.dbf", OpenMode::Shared, plainOpen());
        EXPECT_EQ(t.recordCount(), 19u);
        EXPECT_EQ(t.append({Value("y"), Value(20)}), 20u);
    }
    EXPECT_TRUE(Table::verify(dir / "s.dbf", {false, false, 20}).empty());
    EXPECT_EQ(readFile(dir / "s.dbf")[14], 0) << "the append cleared the flag";
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
