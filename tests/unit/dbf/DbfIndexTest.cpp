#include "platform/dbf/DbfTable.h"
#include "support/TestDir.h"
#include "unit/dbf/DbfTestUtil.h"

#include <gtest/gtest.h>

using namespace tav::dbf;

namespace {

std::vector<uint32_t> order(const Index &ix)
{
    return ix.recnos();
}

} // namespace

TEST(DbfIndex, OrdersSeeksAndFollowsOwnChanges)
{
    tav::test::TestDir dir;
    CreateOptions co;
    co.tags = {{"NUM", "N"}, {"NAME", "S"}, {"WHEN", "D"}, {"NUMDESC", "N", true, false}};
    co.open = testutil::plainOpen();
    Table t = Table::create(
        dir / "i.dbf",
        {{"N", FieldType::Numeric, 8, 2}, {"S", FieldType::Character, 6, 0}, {"D", FieldType::Date, 8, 0}}, co);
    t.append({Value(10.5), Value("PEREZ"), Value(Date{2020, 5, 1})});  // 1
    t.append({Value(-3), Value("ACOSTA"), Value()});                   // 2
    t.append({Value(10.5), Value("PEREYR"), Value(Date{1999, 1, 1})}); // 3
    t.append({Value(), Value("BAEZ"), Value(Date{2020, 5, 1})});       // 4: blank number indexes as 0

    const Index &num = t.index("num"); // tag names without regard to case
    EXPECT_EQ(order(num), (std::vector<uint32_t>{2, 4, 1, 3}));
    EXPECT_EQ(order(t.index("NUMDESC")), (std::vector<uint32_t>{1, 3, 4, 2})); // ties stay in record order
    EXPECT_EQ(order(t.index("NAME")), (std::vector<uint32_t>{2, 4, 3, 1}));    // PEREYR before PEREZ
    EXPECT_EQ(order(t.index("WHEN")), (std::vector<uint32_t>{3, 1, 4, 2}));    // blank dates last

    EXPECT_EQ(num.find(Value(10.5)), std::optional<size_t>(2));
    EXPECT_FALSE(num.find(Value(7)).has_value());
    EXPECT_EQ(num.lowerBound(Value(7)), 2u); // nearest: the first key after 7
    EXPECT_EQ(num.upperBound(Value(10.5)), 4u);
    EXPECT_EQ(num.lowerBound(Value(99)), num.size());
    const Index &name = t.index("NAME");
    EXPECT_EQ(name.find(Value("PEREZ")), std::optional<size_t>(3)); // padded with blanks to the width
    EXPECT_FALSE(name.find(Value("PEREZ X")).has_value());          // longer than the field: never cut to fit
    EXPECT_EQ(name.findPrefix("PERE"), std::optional<size_t>(2));
    EXPECT_FALSE(name.findPrefix("Z").has_value());
    EXPECT_EQ(t.index("NUMDESC").lowerBound(Value(5)), 2u); // nearest in descending order: first key <= 5

    // Own updates, deletions and recalls keep the in-memory order current; deleted records leave it.
    t.updateFields(2, {{0, Value(50)}});
    EXPECT_EQ(order(num), (std::vector<uint32_t>{4, 1, 3, 2}));
    t.setDeleted(1, true);
    EXPECT_EQ(order(num), (std::vector<uint32_t>{4, 3, 2}));
    EXPECT_FALSE(num.positionOf(1).has_value());
    t.setDeleted(1, false);
    EXPECT_EQ(num.positionOf(1), std::optional<size_t>(1));
    EXPECT_EQ(t.append({Value(size_t{0}), Value("A")}), 5u); // any integer type makes a number
    EXPECT_EQ(order(num), (std::vector<uint32_t>{4, 5, 1, 3, 2}));
    EXPECT_EQ(order(t.index("NAME")).front(), 5u);
    EXPECT_THROW(t.index("NOPE"), DbfError);

    // Reopening builds the same order from the file.
    t.close();
    Table again = Table::open(dir / "i.dbf");
    EXPECT_EQ(order(again.index("NUM")), (std::vector<uint32_t>{4, 5, 1, 3, 2}));
}

TEST(DbfIndex, ReloadShowsAnotherHandlesAppendsAndDeletes)
{
    tav::test::TestDir dir;
    CreateOptions co;
    co.tags = {{"K", "K"}};
    co.mode = OpenMode::Shared;
    co.open = testutil::plainOpen();
    Table a = Table::create(dir / "r.dbf", {{"K", FieldType::Numeric, 5, 0}}, co);
    Table b = Table::open(dir / "r.dbf", OpenMode::Shared, testutil::plainOpen());
    a.append({Value(3)});
    a.append({Value(1)});
    EXPECT_EQ(b.recordCount(), 0u);
    b.reload();
    EXPECT_EQ(b.recordCount(), 2u);
    EXPECT_EQ(b.index("K").recnos(), (std::vector<uint32_t>{2, 1}));
    // b's own append also picks up what a added before it.
    a.append({Value(2)});
    EXPECT_EQ(b.append({Value(0)}), 4u);
    EXPECT_EQ(b.index("K").recnos(), (std::vector<uint32_t>{4, 2, 3, 1}));
    a.setDeleted(2, true);
    b.reload();
    EXPECT_EQ(b.index("K").recnos(), (std::vector<uint32_t>{4, 3, 1}));
}
