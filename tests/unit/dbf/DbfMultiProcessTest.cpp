#include "platform/dbf/DbfTable.h"
#include "support/TestDir.h"
#include "unit/dbf/MultiProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

using namespace tav::dbf;
using namespace std::chrono_literals;

namespace {

const std::string kWorker = DBF_WORKER;

void makeTables(const tav::test::TestDir &dir)
{
    CreateOptions co;
    co.tags = {{"WORKER", "WORKER"}};
    Table::create(dir / "ped.dbf",
                  {{"WORKER", FieldType::Numeric, 4, 0},
                   {"SEQ", FieldType::Numeric, 6, 0},
                   {"NUM", FieldType::Numeric, 8, 0},
                   {"NOTE", FieldType::Memo, 10, 0}},
                  co);
    CreateOptions so;
    so.tags = {{"C_SEC", "C_SEC"}};
    Table sec = Table::create(dir / "sec.dbf",
                              {{"C_SEC", FieldType::Character, 10, 0}, {"N_SEC", FieldType::Numeric, 10, 0}}, so);
    sec.append({Value("org"), Value(41)});
    sec.append({Value("ped"), Value(0)});
}

} // namespace

TEST(DbfMultiProcess, ConcurrentAppendsAndSequenceDrawsLoseNothing)
{
    tav::test::TestDir dir;
    makeTables(dir);
    const int workers = 4, appends = 60, draws = 15;
    auto children = tav::test::runConcurrently(
        kWorker, workers,
        [&](int i) {
            return std::vector<std::string>{"mixed",
                                            (dir / "ped.dbf").string(),
                                            (dir / "SEC.DBF").string(),
                                            std::to_string(i + 1),
                                            std::to_string(appends),
                                            std::to_string(draws)};
        },
        60s);
    for (auto &c : children) {
        const auto code = c.wait(1ms);
        EXPECT_EQ(code, std::optional<int>(0)) << c.output();
    }

    Table t = Table::open(dir / "ped.dbf");
    ASSERT_EQ(t.recordCount(), static_cast<uint32_t>(workers * appends));
    std::set<std::pair<int, int>> seen;
    std::set<int64_t> numbers;
    for (uint32_t r = 1; r <= t.recordCount(); ++r) {
        const Record rec = t.readRecord(r);
        const int w = static_cast<int>(rec.value(0).asInt());
        const int s = static_cast<int>(rec.value(1).asInt());
        EXPECT_TRUE(seen.insert({w, s}).second) << "record written twice: " << w << "/" << s;
        EXPECT_EQ(rec.value(3).asString(), "w" + std::to_string(w) + " #" + std::to_string(s));
        if (!rec.value(2).isNull()) {
            EXPECT_TRUE(numbers.insert(rec.value(2).asInt()).second) << "number issued twice";
        }
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(workers * appends));
    ASSERT_EQ(numbers.size(), static_cast<size_t>(workers * draws));
    EXPECT_EQ(*numbers.begin(), 1);
    EXPECT_EQ(*numbers.rbegin(), workers * draws);
    EXPECT_EQ(t.index("WORKER").size(), static_cast<size_t>(workers * appends));
    t.close();

    // The last station to close rebuilt the index; the sequence table's index follows each draw.
    const IndexCheck check = Table::validateProductionIndex(dir / "ped.dbf", true);
    EXPECT_TRUE(check.valid) << check.error;
    const IndexCheck secCheck = Table::validateProductionIndex(dir / "sec.dbf", true);
    EXPECT_TRUE(secCheck.valid) << secCheck.error;
    Table sec = Table::open(dir / "sec.dbf");
    EXPECT_EQ(sec.readRecord(2).value(1).asInt(), workers * draws);
    EXPECT_EQ(sec.readRecord(1).value(1).asInt(), 41);
}

TEST(DbfMultiProcess, ExclusiveAndSharedOpensExcludeEachOther)
{
    tav::test::TestDir dir;
    makeTables(dir);
    OpenOptions noWait;
    noWait.sharedOpenWait = 0ms;
    for (const std::string holderMode : {"exclusive", "shared"}) {
        SCOPED_TRACE(holderMode);
        auto holder = tav::test::ChildProcess::start(kWorker, {"hold", (dir / "sec.dbf").string(), holderMode, "3000"});
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (holder.output().find("open") == std::string::npos && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(2ms);
        ASSERT_NE(holder.output().find("open"), std::string::npos) << holder.output();
        try {
            Table t = Table::open(dir / "SEC.dbf", OpenMode::Exclusive, noWait);
            ADD_FAILURE() << "exclusive open while another process has the table";
        } catch (const DbfError &e) {
            EXPECT_EQ(e.code(), ErrorCode::Busy);
            EXPECT_NE(std::string(e.what()).find("sec.dbf"), std::string::npos) << e.what();
        }
        if (holderMode == "exclusive")
            EXPECT_THROW(Table::open(dir / "sec.dbf", OpenMode::Shared, noWait), DbfError);
        else
            EXPECT_NO_THROW(Table::open(dir / "sec.dbf", OpenMode::Shared, noWait));
        holder.kill();
    }
    // Once the holder is gone (even killed), the table is free again.
    EXPECT_NO_THROW(Table::open(dir / "sec.dbf", OpenMode::Exclusive, noWait));
}

TEST(DbfMultiProcess, RecordLocksAreHeldPerOpenTable)
{
    tav::test::TestDir dir;
    makeTables(dir);
    Table a = Table::open(dir / "sec.dbf");
    Table b = Table::open(dir / "sec.dbf");
    EXPECT_TRUE(a.lockRecord(1));
    EXPECT_FALSE(b.lockRecord(1));
    EXPECT_TRUE(b.lockRecord(2));
    a.unlockRecord(1);
    EXPECT_TRUE(b.lockRecord(1));
}

TEST(DbfMultiProcess, AProcessKilledDuringSavesLeavesEveryCompletedSave)
{
    tav::test::TestDir dir;
    makeTables(dir);
    std::mt19937 rng(12345);
    std::map<uint32_t, int> completed; // record -> k
    for (int round = 0; round < 5; ++round) {
        auto child = tav::test::ChildProcess::start(kWorker, {"saveloop", (dir / "ped.dbf").string()});
        // Let it complete a few saves, then kill it at a random moment of the next ones.
        const size_t wanted = 2 + rng() % 4;
        const auto until = std::chrono::steady_clock::now() + 20s;
        while (std::count(child.output().begin(), child.output().end(), '\n') < static_cast<long>(wanted) &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 15000));
        child.kill();
        for (const auto &line : tav::test::outputLines(child.output())) {
            unsigned recno = 0;
            int k = 0;
            if (std::sscanf(line.c_str(), "saved %u %d", &recno, &k) == 2)
                completed[recno] = k;
        }
        Table t = Table::open(dir / "ped.dbf"); // opens: the index is sound in structure
        for (const auto &[recno, k] : completed) {
            ASSERT_LE(recno, t.recordCount());
            const Record rec = t.readRecord(recno);
            EXPECT_EQ(rec.value(1).asInt(), k);
            EXPECT_EQ(rec.value(2).asInt(), k * 2);
            EXPECT_EQ(rec.value(3).asString(), "memo " + std::to_string(k));
        }
    }
    EXPECT_GE(completed.size(), 10u);
}

// A pack killed at any moment (also between its renames) leaves the table with every record of the rounds
// that completed, and an index that describes that table or no index at all (rebuilt from the table).
TEST(DbfMultiProcess, APackKilledAtAnyMomentLosesNothingAndLeavesNoWrongIndex)
{
    tav::test::TestDir dir;
    makeTables(dir);
    std::mt19937 rng(4242);
    std::map<int64_t, size_t> expected; // a kept record -> how many completed rounds wrote it
    for (int kill = 0; kill < 6; ++kill) {
        auto child = tav::test::ChildProcess::start(kWorker, {"packloop", (dir / "ped.dbf").string()});
        const size_t wanted = 1 + rng() % 3;
        const auto until = std::chrono::steady_clock::now() + 20s;
        while (std::count(child.output().begin(), child.output().end(), '\n') < static_cast<long>(wanted) &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 20000));
        child.kill();
        int rounds = 0;
        for (const auto &line : tav::test::outputLines(child.output()))
            if (line.rfind("packed ", 0) == 0)
                rounds = std::max(rounds, std::atoi(line.c_str() + 7));
        ASSERT_GE(rounds, 1) << child.output();
        for (int round = 1; round <= rounds; ++round)
            for (int i = 1; i <= 30; i += 2)
                ++expected[round * 100 + i];

        for (const auto &d : Table::verify(dir / "ped.dbf")) {
            ASSERT_EQ(d.kind, Damage::Kind::Index) << d.detail;
            ASSERT_NE(d.detail.find("missing"), std::string::npos) << "an index describing other records: " << d.detail;
            OpenOptions o;
            o.validateIndex = false;
            Table t = Table::open(dir / "ped.dbf", OpenMode::Exclusive, o);
            t.reindex({{"WORKER", "WORKER"}});
        }
        EXPECT_TRUE(Table::verify(dir / "ped.dbf").empty());
        // The odd records of every completed round are there, once.
        Table t = Table::open(dir / "ped.dbf", OpenMode::Shared);
        std::multiset<int64_t> seqs;
        for (uint32_t r = 1; r <= t.recordCount(); ++r) {
            const Record rec = t.readRecord(r);
            if (!rec.deleted() && rec.value(0).asInt() == 9)
                seqs.insert(rec.value(1).asInt());
        }
        for (const auto &[seq, times] : expected)
            ASSERT_GE(seqs.count(seq), times) << "record " << seq << " of a completed pack is missing";
    }
}
