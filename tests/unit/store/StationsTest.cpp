#include "OfficeFixture.h"

#include "unit/dbf/MultiProcess.h"

#include <set>
#include <sstream>

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
