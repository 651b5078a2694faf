#include "OfficeFixture.h"

#include "queries/Purge.h"

using namespace tav;

using PurgeTest = test::OfficeFixture;

namespace {

void addRequest(store::Dataset &t, int cPed, const QVariant &fCon, const QVariant &answered, const QString &state)
{
    t.insert();
    t.field("C_PED").setValue(cPed);
    t.field("C_REG").setValue(7);
    t.field("F_CON").setValue(fCon);
    if (t.hasField("M_CONTESTA"))
        t.field("M_CONTESTA").setValue(answered);
    t.field("C_EST").setValue(state);
    ASSERT_TRUE(t.post());
}

} // namespace

TEST_F(PurgeTest, AnswersOlderThanTheKeepPeriodGoWithTheirFiles)
{
    auto &dm = startDm();
    ASSERT_TRUE(dm.writeSetting("dur_guarda", "30"));
    const QDate today = clock.today();
    addRequest(*dm.ped, 1, today.addDays(-31), true, "C");  // purged
    addRequest(*dm.ped, 2, today.addDays(-30), true, "C");  // on the cut-off day: stays
    addRequest(*dm.ped, 3, today.addDays(-90), false, "C"); // not answered: stays
    addRequest(*dm.ped, 4, QVariant(), true, "C");          // no answer date: stays
    addRequest(*dm.pedp, 1, today.addDays(-31), {}, "C");   // purged
    addRequest(*dm.pedp, 2, today.addDays(-31), {}, "R");   // rejected: stays
    for (const char *f : {"h1.7", "z1.7", "c1.7", "h2.7", "hp1.7", "zp1.7", "cp1.7", "dp1.7", "hp2.7"})
        touch(f);

    queries::Purge purge(dm);
    EXPECT_EQ(purge.cutoff(), today.addDays(-30));
    std::vector<int> progress;
    const auto result = purge.run([&](int p) { progress.push_back(p); });
    EXPECT_EQ(result.official, 1);
    EXPECT_EQ(result.personal, 1);
    EXPECT_EQ(progress.back(), 100);
    for (const char *gone : {"h1.7", "z1.7", "c1.7", "hp1.7", "zp1.7", "cp1.7", "dp1.7"})
        EXPECT_FALSE(exists(gone)) << gone;
    for (const char *kept : {"h2.7", "hp2.7"})
        EXPECT_TRUE(exists(kept)) << kept;

    auto ped = dbf::Table::open(file("PED.DBF"));
    EXPECT_EQ(ped.recordCount(), 3u) << "the table was packed";
    auto pedp = dbf::Table::open(file("Pedp.DBF"));
    EXPECT_EQ(pedp.recordCount(), 1u);
}

TEST_F(PurgeTest, KeepPeriodDefaultsToFifteenDaysAndNothingFoundPacksNothing)
{
    auto &dm = startDm();
    ASSERT_TRUE(dm.writeSetting("dur_guarda", ""));
    queries::Purge purge(dm);
    EXPECT_EQ(purge.keepDays(), 15);
    // Zero or less would purge today's answers: treated like a value that is not a number.
    for (const char *value : {"quince", "0", "-3"}) {
        ASSERT_TRUE(dm.writeSetting("dur_guarda", value));
        EXPECT_EQ(purge.keepDays(), 15) << value;
    }
    ASSERT_TRUE(dm.writeSetting("dur_guarda", "1"));
    EXPECT_EQ(purge.keepDays(), 1);
    ASSERT_TRUE(dm.writeSetting("dur_guarda", "0"));

    addRequest(*dm.ped, 1, clock.today().addDays(-15), true, "C");
    {
        // A deleted row the purge must not pack away: a purge that finds nothing leaves the table alone.
        auto t = dbf::Table::open(file("PED.DBF"));
        const auto n = t.append({dbf::Value(9.0)});
        t.setDeleted(n, true);
    }
    const auto result = purge.run();
    EXPECT_EQ(result.official, 0);
    auto t = dbf::Table::open(file("PED.DBF"));
    EXPECT_EQ(t.recordCount(), 2u);
}
