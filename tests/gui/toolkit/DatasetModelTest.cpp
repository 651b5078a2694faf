#include "ToolkitData.h"

#include "support/TestUi.h"
#include "ui/DatasetModel.h"
#include "ui/DateEditBinder.h"

#include <QAbstractItemModelTester>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using namespace tav;
using tav::test::TestUi;
using ui::DatasetModel;

namespace {

// Collects what QAbstractItemModelTester finds wrong (it reports through the "qt.modeltest" category).
struct ModelTestFailures
{
    static QStringList &all()
    {
        static QStringList failures;
        return failures;
    }
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type != QtDebugMsg && context.category && QByteArray(context.category).startsWith("qt.modeltest"))
            all() << text;
    }
    ModelTestFailures() : previous(qInstallMessageHandler(&handler)) { all().clear(); }
    ~ModelTestFailures() { qInstallMessageHandler(previous); }
    QtMessageHandler previous;
};

QStringList rowTexts(const DatasetModel &model, int column)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r)
        out << model.index(r, column).data().toString();
    return out;
}

} // namespace

TEST(DatasetModel, PassesTheModelTesterThroughEveryDatasetChange)
{
    ModelTestFailures failures;
    TestUi ui;
    auto ds = tav::test::makeRequests();
    DatasetModel model(*ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(model.rowCount(), 0) << "closed";

    ds->open();
    EXPECT_EQ(rowTexts(model, 1), (QStringList{"GOMEZ", "ÑANDU", "PEREZ"}));
    ds->next();
    ds->edit();
    (*ds)["X_APE1"].setValue("NANDU");
    EXPECT_EQ(model.index(1, 1).data().toString(), "NANDU") << "the edited value shows at once";
    EXPECT_EQ(model.headerData(1, Qt::Vertical).toString(), "I");
    ds->post();

    ds->insert();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.insertRow(), 1);
    EXPECT_EQ(model.headerData(1, Qt::Vertical).toString(), "*");
    (*ds)["X_APE1"].setValue("NUEVO");
    EXPECT_EQ(rowTexts(model, 1), (QStringList{"GOMEZ", "NUEVO", "NANDU", "PEREZ"}))
        << "the new record takes the current record's place, which moves down";
    ds->cancel();
    EXPECT_EQ(rowTexts(model, 1), (QStringList{"GOMEZ", "NANDU", "PEREZ"}));

    ds->insert();
    (*ds)["C_PED"].setValue(25);
    (*ds)["X_APE1"].setValue("NUEVO");
    ds->post();
    EXPECT_EQ(rowTexts(model, 1), (QStringList{"GOMEZ", "NANDU", "NUEVO", "PEREZ"}));
    EXPECT_EQ(model.currentRow(), 2);

    ds->remove();
    store::Subscription dsOnFilterRecord =
        ds->onFilterRecord.subscribe([](store::Dataset &d) { return d["C_PED"].asInteger() != 10; });
    ds->setFiltered(true);
    EXPECT_EQ(rowTexts(model, 1), (QStringList{"NANDU", "PEREZ"}));
    ds->refresh();
    ds->close();
    EXPECT_EQ(model.rowCount(), 0);

    auto empty = tav::test::makeRequests(false);
    DatasetModel emptyModel(*empty);
    QAbstractItemModelTester emptyTester(&emptyModel, QAbstractItemModelTester::FailureReportingMode::Warning);
    empty->open();
    empty->insert();
    EXPECT_EQ(emptyModel.rowCount(), 1);
    empty->cancel();
    EXPECT_EQ(emptyModel.rowCount(), 0);
    EXPECT_TRUE(failures.all().isEmpty()) << failures.all().join('\n').toStdString();
}

TEST(DatasetModel, ShowsTheOfficeTextsAndChosenColumns)
{
    auto ds = tav::test::makeRequests();
    (*ds)["C_PED"].setDisplayLabel("Código");
    (*ds)["X_MARCA"].setVisible(false);
    ds->open();
    DatasetModel all(*ds);
    EXPECT_EQ(all.columnCount(), 5) << "visible fields";
    EXPECT_EQ(all.headerData(0, Qt::Horizontal).toString(), "Código");
    EXPECT_EQ(all.headerData(4, Qt::Horizontal).toString(), "M_ENVIADO");
    EXPECT_EQ(rowTexts(all, 3), (QStringList{"", "06/05/2001", "02/01/1980"}));
    EXPECT_EQ(rowTexts(all, 4), (QStringList{"False", "True", ""}));
    EXPECT_EQ(all.index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(all.index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignLeft | Qt::AlignVCenter);

    DatasetModel chosen(*ds, {{"C_PED", "Código de Pedido", Qt::AlignCenter, 8}, {"N_DOC", "Documento", {}, 0}});
    EXPECT_EQ(chosen.headerData(1, Qt::Horizontal).toString(), "Documento");
    EXPECT_EQ(rowTexts(chosen, 0), (QStringList{"10", "20", "30"}));
    EXPECT_EQ(rowTexts(chosen, 1), (QStringList{"", "", ""})) << "a field the table lacks stays empty";
    EXPECT_EQ(chosen.index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
    EXPECT_FALSE(chosen.flags(chosen.index(0, 0)) & Qt::ItemIsEditable);
}

TEST(GridLink, ViewRowAndCurrentRecordFollowEachOther)
{
    TestUi ui;
    auto ds = tav::test::makeRequests();
    ds->open();
    DatasetModel model(*ds);
    QTableView view;
    new ui::GridLink(&view, &model, ui);
    EXPECT_EQ(view.currentIndex().row(), 0);

    ds->last();
    EXPECT_EQ(view.currentIndex().row(), 2);
    view.setCurrentIndex(model.index(1, 1));
    EXPECT_EQ((*ds)["C_PED"].asInteger(), 20) << "choosing a row moves the dataset";

    ds->insert();
    EXPECT_EQ(view.currentIndex().row(), 1) << "the new record's row";
    ds->cancel();
    EXPECT_EQ(view.currentIndex().row(), 1);

    // A move that saves a refused record stays on that record.
    store::Subscription dsBeforePost = ds->beforePost.subscribe([](store::Dataset &) { throw store::Abort{}; });
    ds->edit();
    (*ds)["X_APE1"].setValue("CAMBIO");
    view.setCurrentIndex(model.index(0, 1));
    QTest::qWait(1); // the selection goes back once the refusal has been handled
    EXPECT_EQ((*ds)["C_PED"].asInteger(), 20);
    EXPECT_EQ(ds->state(), store::DatasetState::Edit);
    EXPECT_EQ(view.currentIndex().row(), 1);
    EXPECT_TRUE(ui.shownNothing());
}

TEST(DatasetModel, CellsEditedInPlace)
{
    TestUi ui;
    auto ds = tav::test::makeRequests();
    ds->open();
    DatasetModel model(*ds, {{"C_PED"}, {"C_PROV"}, {"F_NAC"}});
    model.setEditable(true, &ui);
    QTableView view;
    new ui::GridLink(&view, &model, ui);

    ASSERT_TRUE(model.flags(model.index(2, 1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.setData(model.index(2, 1), "7"));
    EXPECT_EQ(ds->state(), store::DatasetState::Edit);
    EXPECT_EQ((*ds)["C_PED"].asInteger(), 30) << "the edited row's record became current";
    EXPECT_EQ((*ds)["C_PROV"].asInteger(), 7);
    EXPECT_EQ(view.currentIndex().row(), 2);

    EXPECT_FALSE(model.setData(model.index(2, 1), "siete"));
    EXPECT_FALSE(model.setData(model.index(2, 2), "31/02/2001"));
    EXPECT_EQ((*ds)["C_PROV"].asInteger(), 7);
    EXPECT_TRUE(ui.shown({{"\"siete\" no es un valor válido para el campo C_PROV.", "Error"},
                          {ui::DateEditBinder::invalidDateMessage("31/02/2001"), "Error"}}));
    ds->post();

    // Insert from the keyboard, as in the service-address grid.
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Insert);
    ASSERT_EQ(ds->state(), store::DatasetState::Insert);
    const int newRow = model.insertRow();
    EXPECT_TRUE(model.setData(model.index(newRow, 0), "40"));
    EXPECT_TRUE(model.setData(model.index(newRow, 1), "3"));
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(ds->state(), store::DatasetState::Browse);
    EXPECT_EQ(ds->recordCount(), 3);
}

// A view asks for every cell: the model reads and completes each record once per row while it paints,
// and reads it again at the next paint (a change made through another dataset then shows).
TEST(DatasetModel, ReadsEachRecordOncePerPaint)
{
    auto ds = tav::test::makeRequests();
    ds->addCalculatedField("NOMBRE", store::FieldKind::String, 30);
    ds->addCalculatedField("CODIGO", store::FieldKind::String, 30);
    int calculations = 0;
    store::Subscription dsOnCalcFields = ds->onCalcFields.subscribe([&](store::Dataset &d) {
        ++calculations;
        d["NOMBRE"].setValue(d["X_APE1"].asString() + "!");
        d["CODIGO"].setValue("P" + d["C_PED"].asString());
    });
    ds->open();
    DatasetModel model(*ds);
    const auto paint = [&] {
        QStringList cells;
        for (int r = 0; r < model.rowCount(); ++r)
            for (int c = 0; c < model.columnCount(); ++c)
                cells << model.index(r, c).data().toString();
        return cells;
    };
    calculations = 0;
    const QStringList first = paint();
    EXPECT_EQ(calculations, 2) << "the two records that are not current, once each";
    EXPECT_TRUE(first.contains("PEREZ!") && first.contains("P30"));
    QCoreApplication::processEvents();
    calculations = 0;
    EXPECT_EQ(paint(), first);
    EXPECT_EQ(calculations, 2) << "read again at the next paint";
}
