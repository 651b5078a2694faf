#include "OfficeFixture.h"

#include "unit/dbf/MultiProcess.h"

#include "store/TableSet.h"

#include <algorithm>
#include <random>
#include <set>
#include <sstream>
#include <thread>

using namespace tav;

using StationsTest = test::OfficeFixture;

// Several stations on one directory saving organisations and drawing request numbers at the same time:
// every number is issued once and every organisation is kept.
TEST_F(StationsTest, NumbersAreUniqueAcrossStations)
{
    constexpr int kStations = 3, kRounds = 12;
    std::vector<test::ChildProcess> stations;
    for (int i = 0; i < kStations; ++i)
        stations.push_back(test::ChildProcess::start(STATION_WORKER, {dir.path().string(), std::to_string(kRounds)}));
    std::multiset<int> orgs, peds;
    for (auto &s : stations) {
        ASSERT_TRUE(s.started());
        const auto code = s.wait(std::chrono::seconds(120));
        ASSERT_EQ(code, std::optional<int>(0)) << s.output();
        std::istringstream lines(s.output());
        std::string kind;
        int n = 0;
        while (lines >> kind >> n)
            (kind == "org" ? orgs : peds).insert(n);
    }
    ASSERT_EQ(orgs.size(), size_t(kStations * kRounds));
    ASSERT_EQ(peds.size(), size_t(kStations * kRounds));
    EXPECT_EQ(std::set<int>(orgs.begin(), orgs.end()).size(), orgs.size()) << "an organisation number was issued twice";
    EXPECT_EQ(std::set<int>(peds.begin(), peds.end()).size(), peds.size()) << "a request number was issued twice";
    EXPECT_EQ(*orgs.rbegin(), kStations * kRounds);

    auto &dm = startDm();
    EXPECT_EQ(dm.org->recordCount(), kStations * kRounds);
    const auto check = dbf::Table::validateProductionIndex(file("org.DBF"), true);
    EXPECT_TRUE(check.valid) << check.error;
}

// Two stations killed again and again in the middle of their saves, then a third station's whole start:
// every save a station reported is there, no number was issued twice, and every table checks clean.
TEST_F(StationsTest, StationsKilledMidSaveLoseNoCommittedSave)
{
    std::mt19937 rng(2026);
    std::multiset<int> orgs;
    for (int round = 0; round < 3; ++round) {
        std::vector<test::ChildProcess> stations;
        for (int i = 0; i < 2; ++i)
            stations.push_back(test::ChildProcess::start(STATION_WORKER, {dir.path().string(), "100000"}));
        for (auto &s : stations) {
            const size_t wanted = 3 + rng() % 4;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (std::count(s.output().begin(), s.output().end(), '\n') < static_cast<long>(wanted) &&
                   std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 20000));
        for (auto &s : stations) {
            s.kill();
            // Only whole lines: the killed station's last line may have been cut short.
            const std::string out = s.output();
            std::istringstream lines(out.substr(0, out.rfind('\n') + 1));
            std::string kind;
            int n = 0;
            while (lines >> kind >> n)
                if (kind == "org")
                    orgs.insert(n);
        }
    }
    ASSERT_GE(orgs.size(), 6u);
    EXPECT_EQ(std::set<int>(orgs.begin(), orgs.end()).size(), orgs.size()) << "an organisation number was issued twice";

    auto &dm = startDm();
    EXPECT_TRUE(dm.org->isActive());
    for (const int n : orgs)
        EXPECT_TRUE(dm.org->findKey(n)) << "organisation " << n << " was reported saved and is missing";
    dm.closeTables();
    for (const auto &def : store::tableSet()) {
        if (!exists(def.file.toStdString()))
            continue;
        for (const auto &d : dbf::Table::verify(file(def.file.toStdString())))
            ADD_FAILURE() << def.file.toStdString() << ": " << d.detail;
    }
}
