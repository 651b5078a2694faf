#include "ToolkitData.h"

#include "support/TestUi.h"
#include "ui/DataSource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace tav;
using tav::test::TestUi;
using ui::DataSource;
using ui::LineEditBinder;

namespace {

struct Form
{
    TestUi ui;
    std::unique_ptr<store::Dataset> provinces = tav::test::makeProvinces();
    std::unique_ptr<store::Dataset> ds = tav::test::makeRequests();
    DataSource source{*ds, ui};
    Form() { ds->open(); }
    store::Field &field(const char *name) { return (*ds)[name]; }
};

} // namespace

TEST(LineEditBinder, UpperCasesLimitsLengthAndWritesAsTyped)
{
    Form f;
    QLineEdit edit;
    f.source.bindLineEdit(&edit, "X_APE1", {.upperCase = true});
    EXPECT_EQ(edit.text(), "GOMEZ");
    EXPECT_EQ(edit.maxLength(), 15) << "the field's size";
    int changes = 0;
    store::Subscription surnameChange = f.field("X_APE1").onChange.subscribe([&](store::Field &) { ++changes; });

    edit.setCursorPosition(5);
    tav::test::typeText(&edit, " díaz");
    EXPECT_EQ(edit.text(), "GOMEZ DÍAZ");
    EXPECT_EQ(f.field("X_APE1").asString(), "GOMEZ DÍAZ");
    EXPECT_EQ(f.ds->state(), store::DatasetState::Edit) << "auto-edit: the first key starts the edit";
    EXPECT_EQ(changes, 5) << "one write per key, none echoed back";

    QTest::keyClicks(&edit, " de la sierra");
    EXPECT_EQ(edit.text(), "GOMEZ DÍAZ DE L") << "cut at 15 characters";
    f.ds->cancel();
    EXPECT_EQ(edit.text(), "GOMEZ");
    f.ds->next();
    EXPECT_EQ(edit.text(), "ÑANDU") << "follows the current record";
    EXPECT_TRUE(f.ui.shownNothing());
}

TEST(LineEditBinder, KeepsTrailingBlankWhileTypingAndShowsRuleChanges)
{
    Form f;
    QLineEdit ape, marca;
    f.source.bindLineEdit(&ape, "X_APE1");
    f.source.bindLineEdit(&marca, "X_MARCA");
    // A rule that reacts to the surname: the other control shows its change at once.
    store::Subscription surnameChange =
        f.field("X_APE1").onChange.subscribe([&](store::Field &) { f.field("X_MARCA").setValue("X"); });
    ape.clear();
    QTest::keyClicks(&ape, "DE ");
    EXPECT_EQ(ape.text(), "DE ") << "the blank the person just typed stays on screen";
    EXPECT_EQ(f.field("X_APE1").asString(), "DE");
    EXPECT_EQ(marca.text(), "X");
    QTest::keyClicks(&ape, "LA");
    EXPECT_EQ(f.field("X_APE1").asString(), "DE LA");
}

TEST(LineEditBinder, NoAutoEditStaysReadOnlyUntilTheRecordIsInEdit)
{
    Form f;
    QLineEdit edit, code, doc;
    f.source.setAutoEdit(false);
    f.source.bindLineEdit(&edit, "X_APE1");
    f.source.bindLineEdit(&code, "C_PED", {.readOnly = true});
    f.source.bindLineEdit(&doc, "C_PROV", {.digitsOnly = true, .maxLength = 3});
    EXPECT_TRUE(edit.isReadOnly());
    QTest::keyClicks(&edit, "X");
    EXPECT_EQ(f.ds->state(), store::DatasetState::Browse);
    EXPECT_EQ(edit.text(), "GOMEZ");

    f.ds->edit();
    EXPECT_FALSE(edit.isReadOnly());
    EXPECT_TRUE(code.isReadOnly()) << "the binder's own read-only option";
    doc.clear();
    QTest::keyClicks(&doc, "1a2-34");
    EXPECT_EQ(doc.text(), "123");
    EXPECT_EQ(f.field("C_PROV").asInteger(), 123);
    f.ds->cancel();
    EXPECT_TRUE(edit.isReadOnly());

    f.field("X_APE1").setReadOnly(true);
    f.source.setAutoEdit(true);
    f.ds->edit();
    EXPECT_TRUE(edit.isReadOnly()) << "a read-only field";
}

TEST(LineEditBinder, RefusedEditIsShownAndTheValueComesBack)
{
    Form f;
    QLineEdit edit;
    f.source.bindLineEdit(&edit, "X_APE1");
    store::Subscription dsBeforeEdit = f.ds->beforeEdit.subscribe([](store::Dataset &) {
        throw store::DatasetError("El registro está siendo modificado en otra estación de trabajo.");
    });
    QTest::keyClicks(&edit, "Z");
    EXPECT_EQ(edit.text(), "GOMEZ");
    EXPECT_EQ(f.ds->state(), store::DatasetState::Browse);
    EXPECT_TRUE(f.ui.shown({{"El registro está siendo modificado en otra estación de trabajo.", "Error"}}));
}

TEST(ComboBinder, ShowsCodeTextsAndWritesTheChosenCode)
{
    Form f;
    QComboBox combo;
    auto &binder = f.source.bindComboBox(&combo, "C_PROV", *f.provinces, "C_PROV", "X_PROV");
    auto *clear = ui::ComboBinder::createClearButton(&combo);
    binder.setClearButton(clear);

    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << combo.itemText(i);
    EXPECT_EQ(items, (QStringList{"CAPITAL", "BUENOS AIRES", "MENDOZA"})) << "in the code table's order";
    EXPECT_EQ(combo.currentText(), "CAPITAL");

    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(f.field("C_PROV").asInteger(), 2);
    EXPECT_EQ(f.ds->state(), store::DatasetState::Edit);
    clear->click();
    EXPECT_TRUE(f.field("C_PROV").isNull());
    EXPECT_EQ(combo.currentIndex(), -1);

    f.ds->cancel();
    f.ds->last();
    EXPECT_EQ(combo.currentText(), "BUENOS AIRES");
    f.ds->edit();
    f.field("C_PROV").setValue(77);
    EXPECT_EQ(combo.currentIndex(), -1) << "a code the table does not hold shows nothing";
    EXPECT_TRUE(f.ui.shownNothing());
}

TEST(ComboBinder, LookupFieldWritesItsSourceAndReadOnlyBlocksInput)
{
    Form f;
    f.ds->close();
    f.ds->addLookupField("x_prov", 40, {f.provinces.get(), "C_PROV", "C_PROV", "X_PROV"});
    f.ds->open();
    f.source.setAutoEdit(false);
    QComboBox combo;
    auto &binder = f.source.bindLookupComboBox(&combo, "x_prov");
    auto *clear = ui::ComboBinder::createClearButton(&combo);
    binder.setClearButton(clear);
    EXPECT_EQ(combo.currentText(), "CAPITAL");
    EXPECT_FALSE(clear->isEnabled());
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(combo.currentText(), "CAPITAL") << "no auto-edit: nothing changes while browsing";
    EXPECT_EQ(f.ds->state(), store::DatasetState::Browse);

    f.ds->edit();
    EXPECT_TRUE(clear->isEnabled());
    QTest::keyClick(&combo, Qt::Key_End);
    EXPECT_EQ(f.field("C_PROV").asInteger(), 9);
    EXPECT_EQ(f.field("x_prov").asString(), "MENDOZA");

    // The code table gains a row: the list follows.
    f.provinces->insert();
    (*f.provinces)["C_PROV"].setValue(5);
    (*f.provinces)["X_PROV"].setValue("CORDOBA");
    f.provinces->post();
    EXPECT_EQ(combo.count(), 4);
    EXPECT_EQ(combo.itemText(2), "CORDOBA");
    EXPECT_EQ(combo.currentText(), "MENDOZA");
}

TEST(CheckBoxBinder, BooleanAndTextFields)
{
    Form f;
    QCheckBox sent, mark;
    f.source.bindCheckBox(&sent, "M_ENVIADO");
    auto &markBinder = f.source.bindCheckBox(&mark, "X_MARCA");
    EXPECT_FALSE(sent.isChecked());
    EXPECT_TRUE(mark.isChecked()) << "\"S\"";

    sent.click();
    EXPECT_EQ(f.field("M_ENVIADO").asString(), "True");
    sent.click();
    EXPECT_EQ(f.field("M_ENVIADO").asString(), "False");
    mark.click();
    EXPECT_EQ(f.field("X_MARCA").asString(), "N");
    f.ds->post();

    f.ds->next();
    EXPECT_TRUE(sent.isChecked());
    EXPECT_FALSE(mark.isChecked());
    f.ds->next();
    EXPECT_FALSE(sent.isChecked()) << "null shows unchecked";
    markBinder.setTextValues("T", "F");
    mark.click();
    EXPECT_EQ(f.field("X_MARCA").asString(), "T");

    markBinder.setReadOnly(true);
    QTest::mouseClick(&mark, Qt::LeftButton);
    QTest::keyClick(&mark, Qt::Key_Space);
    EXPECT_TRUE(mark.isChecked()) << "read-only: mouse and keys change nothing";
    EXPECT_EQ(f.field("X_MARCA").asString(), "T");
}

TEST(DateEditBinder, ShowsWritesClearsAndRefusesDates)
{
    Form f;
    QLineEdit edit;
    f.source.bindDateEdit(&edit, "F_NAC");
    f.ds->last();
    EXPECT_EQ(edit.displayText(), "02/01/1980");

    edit.selectAll();
    QTest::keyClicks(&edit, "29021984");
    EXPECT_EQ(f.field("F_NAC").asDate(), QDate(1984, 2, 29)) << "a complete date is written as typed";

    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.displayText(), "__/__/____");
    EXPECT_TRUE(f.field("F_NAC").isNull()) << "a blank edit empties the field";

    struct Bad
    {
        const char *keys;
        const char *shown;
    };
    for (const Bad &bad : {Bad{"31042020", "31/04/2020"}, Bad{"1205", "12/05/____"}, Bad{"00000000", "00/00/0000"}}) {
        f.ui.clearRecord();
        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_Delete);
        edit.setCursorPosition(0);
        QTest::keyClicks(&edit, bad.keys);
        QTest::keyClick(&edit, Qt::Key_Return);
        EXPECT_TRUE(f.ui.shown({{ui::DateEditBinder::invalidDateMessage(bad.shown), "Error"}})) << bad.shown;
        EXPECT_EQ(edit.displayText(), bad.shown) << "the text stays to be corrected";
        EXPECT_TRUE(f.field("F_NAC").isNull());
    }
    QTest::keyClick(&edit, Qt::Key_Escape);
    EXPECT_EQ(edit.displayText(), "__/__/____") << "Escape brings back the field's value";
    EXPECT_TRUE(f.source.commit()) << "nothing pending after Escape";
    EXPECT_EQ(ui::DateEditBinder::invalidDateMessage("31/04/2020"),
              "\"31/04/2020\" no es una fecha válida.\rIngrese la fecha como día/mes/año (dd/mm/aaaa) o deje el "
              "campo en blanco.");
}

TEST(FieldBinder, WidgetsOutliveTheirDatasetSafely)
{
    TestUi ui;
    QLineEdit edit;
    QCheckBox box;
    QComboBox combo;
    auto provinces = tav::test::makeProvinces();
    {
        auto ds = tav::test::makeRequests();
        ds->open();
        new ui::LineEditBinder(&edit, (*ds)["X_APE1"], ui);
        new ui::CheckBoxBinder(&box, (*ds)["M_ENVIADO"], ui);
        new ui::ComboBinder(&combo, (*ds)["C_PROV"], *provinces, "C_PROV", "X_PROV", ui);
    }
    tav::test::typeText(&edit, "X");
    box.click();
    QTest::keyClick(&combo, Qt::Key_Down);
    provinces->close();
    EXPECT_EQ(combo.count(), 0);
    EXPECT_TRUE(ui.shownNothing());
}
