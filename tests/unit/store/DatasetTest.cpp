#include "store/Dataset.h"
#include "store/MemorySource.h"

#include <gtest/gtest.h>

using namespace tav::store;

namespace {

std::unique_ptr<MemorySource> people(int keyColumn = 0)
{
    auto src = std::make_unique<MemorySource>("people",
                                              QList<ColumnDef>{{"C_PED", FieldKind::Float, 8, 0},
                                                               {"X_APE1", FieldKind::String, 15, 0},
                                                               {"C_PROV", FieldKind::SmallInt, 4, 0},
                                                               {"F_NAC", FieldKind::Date, 8, 0}},
                                              keyColumn);
    src->open();
    src->append({30.0, "PEREZ", 2, QDate(1980, 1, 2)});
    src->append({10.0, "GOMEZ", 1, QVariant()});
    src->append({20.0, "ÑANDU", 9, QDate(2001, 5, 6)});
    return src;
}

QStringList surnames(Dataset &ds)
{
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds["X_APE1"].asString();
    return out;
}

} // namespace

TEST(Dataset, NavigatesInIndexOrderAndFindsKeys)
{
    Dataset ds("ped", people());
    ds.open();
    EXPECT_EQ(surnames(ds), (QStringList{"GOMEZ", "ÑANDU", "PEREZ"}));
    EXPECT_TRUE(ds.findKey(20));
    EXPECT_EQ(ds["X_APE1"].asString(), "ÑANDU");
    EXPECT_FALSE(ds.findKey(25));
    EXPECT_EQ(ds["X_APE1"].asString(), "ÑANDU") << "a failed search keeps the current record";
    ds.last();
    EXPECT_TRUE(ds.eof());
    ds.prior();
    EXPECT_FALSE(ds.eof());
    EXPECT_EQ(ds["C_PED"].asInteger(), 20);
    EXPECT_TRUE(ds.locate("X_APE1", "gomez", LocateCaseInsensitive));
    EXPECT_EQ(ds["C_PED"].asInteger(), 10);
    EXPECT_FALSE(ds.locate("X_APE1", "gomez"));
    EXPECT_TRUE(ds.locate("X_APE1", "PER", LocatePartialKey));
    EXPECT_FALSE(ds.locate("X_APE1", "PER"));
    EXPECT_TRUE(ds["F_NAC"].isNull() == false);
}

// Stepping past either end stays on the record, raises the flag and tells the bound controls once.
TEST(Dataset, SteppingPastAnEndIsAnnouncedOnce)
{
    Dataset ds("ped", people());
    ds.open();
    int scrolls = 0, changes = 0;
    Subscription dsAfterScroll = ds.afterScroll.subscribe([&](Dataset &) { ++scrolls; });
    QObject::connect(&ds, &Dataset::currentChanged, [&] { ++changes; });
    ds.last();
    ds.prior();
    ds.next();
    ASSERT_FALSE(ds.eof());
    scrolls = changes = 0;
    ds.next();
    EXPECT_TRUE(ds.eof());
    EXPECT_EQ(ds["C_PED"].asInteger(), 30);
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(changes, 1);
    ds.next();
    EXPECT_EQ(scrolls, 1) << "already at the end: nothing happens";
    ds.first();
    scrolls = changes = 0;
    ds.prior();
    ds.prior();
    EXPECT_TRUE(ds.bof());
    EXPECT_EQ(ds["C_PED"].asInteger(), 10);
    EXPECT_EQ(scrolls, 0) << "first() already raised the flag";
    ds.next();
    ds.prior();
    ds.prior();
    EXPECT_TRUE(ds.bof());
    EXPECT_EQ(scrolls, 3);
    EXPECT_EQ(changes, 3);
}

TEST(Dataset, TypedFieldsConvertAndPadAsStored)
{
    Dataset ds("ped", people());
    ds.open();
    ds.findKey(10);
    EXPECT_TRUE(ds["F_NAC"].isNull());
    EXPECT_EQ(ds["F_NAC"].asString(), "");
    ds.edit();
    ds["X_APE1"].setValue("GARCIA        ");
    EXPECT_EQ(ds["X_APE1"].value().toString(), "GARCIA") << "trailing blanks are not part of a value";
    ds["X_APE1"].setValue("   ");
    EXPECT_TRUE(ds["X_APE1"].isNull()) << "a blank string is null";
    ds["X_APE1"].setValue("ABCDEFGHIJKLMNO   ");
    EXPECT_EQ(ds["X_APE1"].asString(), "ABCDEFGHIJKLMNO") << "as wide as the column, once blanks are gone";
    EXPECT_THROW(ds["X_APE1"].setValue("ABCDEFGHIJKLMNOP"), DatasetError) << "too long: refused, not cut";
    EXPECT_EQ(ds["X_APE1"].asString(), "ABCDEFGHIJKLMNO") << "the refused value changed nothing";
    ds["F_NAC"].setAsString("31/12/1999");
    EXPECT_EQ(ds["F_NAC"].asDate(), QDate(1999, 12, 31));
    ds["C_PROV"].setAsString("x");
    EXPECT_TRUE(ds["C_PROV"].isNull());
    ds["C_PED"].setValue(10);
    EXPECT_EQ(ds["C_PED"].asString(), "10");
    ds.cancel();
    EXPECT_EQ(ds["X_APE1"].asString(), "GOMEZ");
    EXPECT_THROW(ds["X_APE1"].setValue("X"), DatasetError) << "values change only in edit or insert";
}

TEST(Dataset, EventsRunInOrderAndAbortKeepsTheUsersInput)
{
    Dataset ds("ped", people());
    QStringList log;
    bool refuse = true;
    Subscription dsBeforeInsert = ds.beforeInsert.subscribe([&](Dataset &) { log << "beforeInsert"; });
    Subscription dsOnNewRecord = ds.onNewRecord.subscribe([&](Dataset &d) {
        log << "onNewRecord:" + QString::number(static_cast<int>(d.state()));
        d["C_PROV"].setValue(7);
    });
    Subscription dsBeforeEdit = ds.beforeEdit.subscribe(
        [&](Dataset &d) { log << "beforeEdit:" + QString::number(static_cast<int>(d.state())); });
    Subscription dsAfterEdit =
        ds.afterEdit.subscribe([&](Dataset &d) { log << "afterEdit:" + QString::number(static_cast<int>(d.state())); });
    Subscription dsBeforePost = ds.beforePost.subscribe([&](Dataset &) {
        log << "beforePost";
        if (refuse)
            throw Abort{};
    });
    Subscription dsAfterPost = ds.afterPost.subscribe([&](Dataset &) { log << "afterPost"; });
    ds.open();

    ds.insert();
    EXPECT_EQ(ds["C_PROV"].asInteger(), 7);
    EXPECT_FALSE(ds.isModified()) << "defaults of a new record do not count as changes";
    ds["C_PED"].setValue(40);
    ds["X_APE1"].setValue("LOPEZ");
    EXPECT_FALSE(ds.post());
    EXPECT_EQ(ds.state(), DatasetState::Insert);
    EXPECT_EQ(ds["X_APE1"].asString(), "LOPEZ");
    EXPECT_EQ(ds.recordCount(), 3);
    EXPECT_THROW(ds.next(), Abort) << "leaving a refused record is refused too";
    refuse = false;
    EXPECT_TRUE(ds.post());
    EXPECT_EQ(ds.state(), DatasetState::Browse);
    EXPECT_EQ(ds.recordCount(), 4);
    EXPECT_EQ(ds["C_PED"].asInteger(), 40) << "the saved record stays current";
    ds.edit();
    EXPECT_EQ(log, (QStringList{"beforeInsert", "onNewRecord:3", "beforePost", "beforePost", "beforePost", "afterPost",
                                "beforeEdit:1", "afterEdit:2"}));
}

TEST(Dataset, DeleteAskedAndRefused)
{
    Dataset ds("ped", people());
    bool allow = false;
    Subscription dsBeforeDelete = ds.beforeDelete.subscribe([&](Dataset &) {
        if (!allow)
            throw Abort{};
    });
    ds.open();
    ds.findKey(20);
    EXPECT_FALSE(ds.remove());
    EXPECT_EQ(ds.recordCount(), 3);
    allow = true;
    EXPECT_TRUE(ds.remove());
    EXPECT_EQ(surnames(ds), (QStringList{"GOMEZ", "PEREZ"}));
}

TEST(Dataset, DetailFollowsMasterAndTakesItsKey)
{
    Dataset ped("ped", people());
    auto supSrc = std::make_unique<MemorySource>(
        "sup", QList<ColumnDef>{{"C_PED", FieldKind::Float, 8, 0}, {"X_APE1", FieldKind::String, 15, 0}}, 0);
    supSrc->open();
    supSrc->append({10.0, "ALIAS A"});
    supSrc->append({20.0, "ALIAS B"});
    supSrc->append({10.0, "ALIAS C"});
    Dataset sup("sup", std::move(supSrc));
    sup.setMaster(&ped, "C_PED", "C_PED");
    ped.open();
    sup.open();
    ped.findKey(10);
    EXPECT_EQ(surnames(sup), (QStringList{"ALIAS A", "ALIAS C"}));
    ped.findKey(30);
    EXPECT_TRUE(sup.isEmpty());
    sup.insert();
    EXPECT_EQ(sup["C_PED"].asInteger(), 30);
    sup["X_APE1"].setValue("ALIAS D");
    ASSERT_TRUE(sup.post());
    ped.findKey(20);
    EXPECT_EQ(surnames(sup), (QStringList{"ALIAS B"}));
    ped.findKey(30);
    EXPECT_EQ(surnames(sup), (QStringList{"ALIAS D"}));
    ped.insert();
    EXPECT_TRUE(sup.isEmpty()) << "a request being entered has no aliases yet";
}

TEST(Dataset, FilterLookupAndCalculatedFields)
{
    auto provSrc = std::make_unique<MemorySource>(
        "prov", QList<ColumnDef>{{"C_PROV", FieldKind::SmallInt, 2, 0}, {"X_PROV", FieldKind::String, 30, 0}}, 0);
    provSrc->open();
    provSrc->append({1, "CAPITAL"});
    provSrc->append({2, "BUENOS AIRES"});
    Dataset prov("prov", std::move(provSrc));
    prov.open();

    Dataset ds("ped", people());
    ds.addLookupField("X_PROV", 30, {&prov, "C_PROV", "C_PROV", "X_PROV"});
    ds.addCalculatedField("c_pedido", FieldKind::String, 20);
    Subscription dsOnCalcFields =
        ds.onCalcFields.subscribe([](Dataset &d) { d["c_pedido"].setValue("W" + d["C_PED"].asString()); });
    QString filterText = "Z";
    Subscription dsOnFilterRecord =
        ds.onFilterRecord.subscribe([&](Dataset &d) { return d["X_APE1"].asString().contains(filterText); });
    ds.open();
    ds.findKey(30);
    EXPECT_EQ(ds["X_PROV"].asString(), "BUENOS AIRES");
    EXPECT_EQ(ds["c_pedido"].asString(), "W30");
    ds.findKey(20);
    EXPECT_TRUE(ds["X_PROV"].isNull()) << "a code the code table does not hold looks up empty";
    ds.edit();
    ds["C_PROV"].setValue(1);
    EXPECT_EQ(ds["X_PROV"].asString(), "CAPITAL") << "lookups follow the edit";
    ds.cancel();
    EXPECT_EQ(ds.valueAt(0, ds["c_pedido"].index()).toString(), "W10");

    ds.setFiltered(true);
    EXPECT_EQ(surnames(ds), (QStringList{"GOMEZ", "PEREZ"}));
    filterText = "ÑAN";
    ds.refilter();
    EXPECT_EQ(surnames(ds), (QStringList{"ÑANDU"}));
    ds.setFiltered(false);
    EXPECT_EQ(ds.recordCount(), 3);
}

TEST(Dataset, FieldChangeHandlerSeesTheNewValue)
{
    Dataset ds("ped", people());
    ds.open();
    QString seen;
    Subscription pROVOnChange = ds["C_PROV"].onChange.subscribe([&](Field &f) {
        seen = f.asString();
        f.dataset()["X_APE1"].setValue("CAMBIADO");
    });
    ds.edit();
    ds["C_PROV"].setValue(5);
    EXPECT_EQ(seen, "5");
    EXPECT_EQ(ds["X_APE1"].asString(), "CAMBIADO");
}

TEST(Dataset, LeavingAnUntouchedNewRecordDropsIt)
{
    Dataset ds("ped", people());
    int saves = 0;
    Subscription dsBeforePost = ds.beforePost.subscribe([&](Dataset &) { ++saves; });
    Subscription dsOnNewRecord = ds.onNewRecord.subscribe([](Dataset &d) { d["C_PROV"].setValue(7); });
    ds.open();
    ds.findKey(20);
    ds.insert();
    EXPECT_EQ(ds.valueAt(ds.position(), ds["X_APE1"].index()).toString(), "ÑANDU")
        << "the record under the new one can still be read";
    ds.next();
    EXPECT_EQ(ds.state(), DatasetState::Browse);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(ds.recordCount(), 3);
}

// Several owners bind the same table's events (the data module, the rules, the exchange): each handler runs
// in the order bound, one that refuses stops the ones after it, and each goes with its own subscription —
// also while the event runs — while the others stay bound.
TEST(Dataset, EventsHaveSeveralSubscribersEachUnboundWithItsOwner)
{
    auto ds = std::make_unique<Dataset>("ped", people());
    QStringList log;
    bool refuse = false;
    Subscription first = ds->beforePost.subscribe([&](Dataset &) {
        log << "first";
        if (refuse)
            throw Abort{};
    });
    Subscription second = ds->beforePost.subscribe([&](Dataset &) { log << "second"; });
    Subscription third;
    third = ds->beforePost.subscribe([&](Dataset &) {
        log << "third";
        second.reset(); // a handler that unbinds another: the other is not called again
    });
    ds->open();
    auto save = [&] {
        log.clear();
        ds->edit();
        (*ds)["C_PROV"].setValue(5);
        return ds->post();
    };
    EXPECT_TRUE(save());
    EXPECT_EQ(log, (QStringList{"first", "second", "third"}));
    EXPECT_TRUE(save());
    EXPECT_EQ(log, (QStringList{"first", "third"}));
    refuse = true;
    EXPECT_FALSE(save());
    EXPECT_EQ(log, QStringList{"first"}) << "a refusal stops the handlers after it";
    ds->cancel();
    {
        const auto quiet = ds->beforePost.suspend();
        EXPECT_TRUE(save()) << "suspended handlers do not run";
    }
    first.reset();
    EXPECT_TRUE(save());
    EXPECT_EQ(log, QStringList{"third"});

    // Record filters: a record is visible when every bound condition accepts it.
    Subscription noTen = ds->onFilterRecord.subscribe([](Dataset &d) { return d["C_PED"].asInteger() != 10; });
    ds->setFiltered(true);
    EXPECT_EQ(surnames(*ds), (QStringList{"ÑANDU", "PEREZ"}));
    {
        Subscription noThirty = ds->onFilterRecord.subscribe([](Dataset &d) { return d["C_PED"].asInteger() != 30; });
        ds->refilter();
        EXPECT_EQ(surnames(*ds), QStringList{"ÑANDU"});
    }
    ds->refilter();
    EXPECT_EQ(surnames(*ds), (QStringList{"ÑANDU", "PEREZ"})) << "the inner condition went with its owner";

    ds.reset();
    third.reset(); // the event went first: unbinding is harmless
    EXPECT_FALSE(third.isBound());
}

// Leaving an edit as a table component does: changes are saved, an untouched record is dropped, a refused
// save keeps the person's input.
TEST(Dataset, LeavingAnEditSavesChangesAndDropsAnUntouchedRecord)
{
    Dataset ds("ped", people());
    bool refuse = false;
    Subscription rule = ds.beforePost.subscribe([&](Dataset &) {
        if (refuse)
            throw Abort{};
    });
    ds.open();
    EXPECT_TRUE(ds.leaveEdit()) << "nothing to leave";
    ds.insert();
    EXPECT_TRUE(ds.leaveEdit());
    EXPECT_EQ(ds.recordCount(), 3) << "an untouched new record is dropped";
    ds.findKey(20);
    ds.edit();
    ds["X_APE1"].setValue("NANDU");
    refuse = true;
    EXPECT_FALSE(ds.leaveEdit());
    EXPECT_EQ(ds.state(), DatasetState::Edit);
    EXPECT_EQ(ds["X_APE1"].asString(), "NANDU");
    refuse = false;
    EXPECT_TRUE(ds.leaveEdit());
    EXPECT_EQ(ds.state(), DatasetState::Browse);
    EXPECT_EQ(ds["X_APE1"].asString(), "NANDU");
}
