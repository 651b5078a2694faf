#include "ToolkitData.h"

#include "support/TestUi.h"
#include "ui/DateEditBinder.h"
#include "ui/Navigator.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace tav;
using tav::test::TestUi;
using ui::Navigator;

namespace {

// One character per button, first .. refresh; '-' where the button is disabled.
QString enabledButtons(const Navigator &nav)
{
    const QString letters = QStringLiteral("FPNLIDESCR");
    QString out;
    for (int i = 0; i < Navigator::ActionCount; ++i)
        out += nav.button(static_cast<Navigator::Action>(i))->isEnabled() ? letters.at(i) : u'-';
    return out;
}

} // namespace

TEST(Navigator, EnablesButtonsForStateAndPosition)
{
    struct Case
    {
        const char *name;
        bool rows;
        std::function<void(store::Dataset &)> setUp;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"closed", true, [](store::Dataset &ds) { ds.close(); }, "----------"},
        {"at the first record", true, [](store::Dataset &) {}, "--NLIDE--R"},
        {"in the middle", true, [](store::Dataset &ds) { ds.next(); }, "FPNLIDE--R"},
        {"at the last record", true, [](store::Dataset &ds) { ds.last(); }, "FP--IDE--R"},
        {"editing", true, [](store::Dataset &ds) { ds.next(), ds.edit(); }, "FPNLID-SCR"},
        {"inserting", true, [](store::Dataset &ds) { ds.next(), ds.insert(); }, "FPNLID-SCR"},
        {"empty", false, [](store::Dataset &) {}, "----I-E--R"},
        {"inserting into an empty table", false, [](store::Dataset &ds) { ds.insert(); }, "----I--SCR"},
    };
    for (const Case &c : cases) {
        TestUi ui;
        auto ds = tav::test::makeRequests(c.rows);
        ds->open();
        Navigator nav(ds.get(), ui);
        c.setUp(*ds);
        EXPECT_EQ(enabledButtons(nav), QString::fromLatin1(c.expected)) << c.name;
    }
    TestUi ui;
    auto ds = tav::test::makeRequests();
    ds->open();
    Navigator nav(ds.get(), ui);
    nav.button(Navigator::Next)->click();
    nav.button(Navigator::Next)->click();
    EXPECT_EQ(enabledButtons(nav), "FPNLIDE--R") << "on the last record, not yet past it";
    nav.button(Navigator::Next)->click();
    EXPECT_EQ(enabledButtons(nav), "FP--IDE--R") << "next at the last record reaches the end";
    Navigator unbound(ui);
    EXPECT_EQ(enabledButtons(unbound), "----------") << "no dataset";
}

TEST(Navigator, ButtonsRunTheirActionsAndReportThem)
{
    TestUi ui;
    auto ds = tav::test::makeRequests();
    ds->open();
    Navigator nav(ds.get(), ui);
    QSignalSpy clicked(&nav, &Navigator::clicked);

    nav.button(Navigator::Last)->click();
    EXPECT_EQ((*ds)["C_PED"].asInteger(), 30);
    nav.button(Navigator::Prior)->click();
    EXPECT_EQ((*ds)["C_PED"].asInteger(), 20);
    nav.button(Navigator::Edit)->click();
    EXPECT_EQ(ds->state(), store::DatasetState::Edit);
    (*ds)["X_APE1"].setValue("NANDU");
    nav.button(Navigator::Post)->click();
    EXPECT_EQ(ds->state(), store::DatasetState::Browse);
    EXPECT_EQ((*ds)["X_APE1"].asString(), "NANDU");
    nav.button(Navigator::Insert)->click();
    EXPECT_EQ(ds->state(), store::DatasetState::Insert);
    nav.button(Navigator::Cancel)->click();
    nav.button(Navigator::Delete)->click();
    EXPECT_EQ(ds->recordCount(), 2) << "no confirmation of its own: the delete rules ask";
    ASSERT_EQ(clicked.count(), 7);
    EXPECT_EQ(clicked.at(6).at(0).value<Navigator::Action>(), Navigator::Delete);
    EXPECT_TRUE(ui.shownNothing());
}

TEST(Navigator, BeforeActionCanRefuseAndSeesTheSaveFirst)
{
    TestUi ui;
    auto ds = tav::test::makeRequests();
    ds->open();
    Navigator nav(ds.get(), ui);
    QSignalSpy clicked(&nav, &Navigator::clicked);

    // The window's rules: refuse inserts while busy; confirm the save right before it runs.
    bool busy = true;
    bool postConfirmed = false;
    QList<Navigator::Action> asked;
    nav.beforeAction = [&](Navigator::Action a) {
        asked << a;
        if (a == Navigator::Insert && busy) {
            ui.warning("Advertencia: Se están recibiendo mensajes. \rVuelva a intentar en unos instantes.");
            return false;
        }
        postConfirmed = a == Navigator::Post;
        return true;
    };
    bool confirmedAtSave = false;
    store::Subscription dsBeforePost = ds->beforePost.subscribe([&](store::Dataset &) {
        confirmedAtSave = postConfirmed;
        postConfirmed = false;
        if (!confirmedAtSave)
            throw store::Abort{};
    });

    nav.button(Navigator::Insert)->click();
    EXPECT_EQ(ds->state(), store::DatasetState::Browse) << "the hook cancelled the insert";
    EXPECT_EQ(clicked.count(), 0);
    busy = false;
    nav.button(Navigator::Insert)->click();
    (*ds)["C_PED"].setValue(40);
    nav.button(Navigator::Last)->click(); // leaving the record is not a confirmed save
    EXPECT_EQ(ds->state(), store::DatasetState::Insert);
    EXPECT_FALSE(confirmedAtSave);
    nav.button(Navigator::Post)->click();
    EXPECT_TRUE(confirmedAtSave);
    EXPECT_EQ(ds->state(), store::DatasetState::Browse);
    EXPECT_EQ(ds->recordCount(), 4);
    EXPECT_EQ(asked,
              (QList<Navigator::Action>{Navigator::Insert, Navigator::Insert, Navigator::Last, Navigator::Post}));
    EXPECT_EQ(clicked.count(), 2) << "insert and post ran; the refused move did not";
    EXPECT_TRUE(ui.shown(
        {{"Advertencia: Se están recibiendo mensajes. \rVuelva a intentar en unos instantes.", "Advertencia"}}));
}

TEST(Navigator, AbortIsSilentAndErrorsAreShown)
{
    TestUi ui;
    auto ds = tav::test::makeRequests();
    ds->open();
    Navigator nav(ds.get(), ui);
    QSignalSpy clicked(&nav, &Navigator::clicked);

    store::Subscription dsBeforeDelete = ds->beforeDelete.subscribe([](store::Dataset &) { throw store::Abort{}; });
    nav.button(Navigator::Delete)->click();
    EXPECT_EQ(ds->recordCount(), 3);
    EXPECT_TRUE(ui.shownNothing());

    dsBeforeDelete = ds->beforeDelete.subscribe(
        [](store::Dataset &) { throw store::DatasetError("No se puede borrar el organismo."); });
    nav.button(Navigator::Delete)->click();
    store::Subscription dsBeforeEdit =
        ds->beforeEdit.subscribe([](store::Dataset &) { throw std::runtime_error("Disco lleno"); });
    nav.button(Navigator::Edit)->click();
    EXPECT_EQ(ds->state(), store::DatasetState::Browse);
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_TRUE(ui.shown({{"No se puede borrar el organismo.", "Error"}, {"Disco lleno", "Error"}}));
    EXPECT_EQ(enabledButtons(nav), "--NLIDE--R") << "buttons still follow the dataset after a failure";
}

TEST(Navigator, RefreshSavesTypedChangesInsteadOfDroppingThem)
{
    TestUi ui;
    auto ds = tav::test::makeRequests();
    ds->open();
    Navigator nav(ds.get(), ui);
    nav.button(Navigator::Edit)->click();
    (*ds)["X_APE1"].setValue("GOMEZ DIAZ");
    nav.button(Navigator::Refresh)->click();
    EXPECT_EQ(ds->state(), store::DatasetState::Browse);
    EXPECT_EQ((*ds)["X_APE1"].asString(), "GOMEZ DIAZ");

    store::Subscription dsBeforePost = ds->beforePost.subscribe([](store::Dataset &) { throw store::Abort{}; });
    nav.button(Navigator::Edit)->click();
    (*ds)["X_APE1"].setValue("OTRO");
    nav.button(Navigator::Refresh)->click();
    EXPECT_EQ(ds->state(), store::DatasetState::Edit) << "a refused save keeps the record and what was typed";
    EXPECT_EQ((*ds)["X_APE1"].asString(), "OTRO");
}

TEST(Navigator, InvalidTypedDateStopsTheSaveBeforeTheHook)
{
    TestUi ui;
    auto ds = tav::test::makeRequests();
    ds->open();
    QLineEdit date;
    new ui::DateEditBinder(&date, (*ds)["F_NAC"], ui);
    Navigator nav(ds.get(), ui);
    int hookCalls = 0;
    nav.beforeAction = [&](Navigator::Action) { return ++hookCalls, true; };

    date.setFocus();
    date.setCursorPosition(0);
    QTest::keyClicks(&date, "31022020");
    ASSERT_EQ(ds->state(), store::DatasetState::Edit) << "the first key starts the edit";
    nav.button(Navigator::Post)->click();
    EXPECT_EQ(ds->state(), store::DatasetState::Edit);
    EXPECT_EQ(hookCalls, 0);
    EXPECT_EQ(date.displayText(), "31/02/2020") << "what was typed stays to be corrected";
    EXPECT_TRUE(ui.shown({{ui::DateEditBinder::invalidDateMessage("31/02/2020"), "Error"}}));

    nav.button(Navigator::Cancel)->click();
    EXPECT_EQ(ds->state(), store::DatasetState::Browse) << "cancel needs no valid input";
    EXPECT_EQ(date.displayText(), "__/__/____");
}

TEST(Navigator, VisibleButtonsAndHintsAreSettable)
{
    TestUi ui;
    Navigator nav(ui);
    EXPECT_EQ(nav.hint(Navigator::First), "Primer registro");
    EXPECT_EQ(nav.hint(Navigator::Post), "Grabar cambios");
    nav.setVisibleButtons(Navigator::moveButtons() | Navigator::RefreshButton);
    nav.setHints({"Primer Trámite", "Trámite anterior", "Trámite siguiente", "Último Trámite"});
    nav.setHint(Navigator::Refresh, "Actualizar");
    QStringList shown;
    for (int i = 0; i < Navigator::ActionCount; ++i) {
        const auto *b = nav.button(static_cast<Navigator::Action>(i));
        if (b->isVisibleTo(&nav))
            shown << b->toolTip();
    }
    EXPECT_EQ(shown,
              (QStringList{"Primer Trámite", "Trámite anterior", "Trámite siguiente", "Último Trámite", "Actualizar"}));
}
