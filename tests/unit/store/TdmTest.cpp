#include "OfficeFixture.h"

#include <fstream>

using namespace tav;
using tav::store::Dataset;
using tav::ui::Ui;

using TdmTest = test::OfficeFixture;

TEST_F(TdmTest, NewOfficeStartsWithItsInstallationData)
{
    auto &dm = startDm();
    EXPECT_TRUE(ui.shownNothing());
    EXPECT_TRUE(dm.initialized);
    EXPECT_EQ(dm.readSetting("x_reg"), "OFICINA REGIONAL DEMO");
    EXPECT_EQ(dm.timerIntervalMs, 5 * 60000);
    EXPECT_TRUE(dm.loginRequired);
    EXPECT_TRUE(dm.prov->findKey(2));
    EXPECT_EQ(dm.prov->field("X_PROV").asString(), "BUENOS AIRES");
    EXPECT_TRUE(dm.tdoc->locate("C_TDOC", "DU"));
    EXPECT_EQ(dm.tdoc->field("C_EXPORT").asInteger(), 1);
    EXPECT_TRUE(dm.usu->findKey("admin"));
    EXPECT_TRUE(dm.usu->field("C_CLAVE").isNull());
    EXPECT_TRUE(dm.ped->isEmpty());
    for (const char *f : {"PED.DBF", "Ped_bak.mdx", "Pedp.DBF", "sec.dbf", "sexo.DBF"})
        EXPECT_TRUE(exists(f)) << f;
    EXPECT_FALSE(exists("sexo.mdx")) << "tables in natural order have no index";
}

TEST_F(TdmTest, SettingsAreReadByExactKeyAndWrittenAsInsertOrUpdate)
{
    auto &dm = startDm();
    EXPECT_EQ(dm.readSetting("C_REG"), "") << "keys are case-sensitive";
    EXPECT_EQ(dm.readSetting("nada", "def"), "def");
    EXPECT_EQ(dm.readSetting("c_reg", "def"), "7");
    EXPECT_TRUE(dm.writeSetting("c_reg", "12"));
    EXPECT_TRUE(dm.writeSetting("nueva", "valor con Ñ"));
    EXPECT_TRUE(dm.writeSetting("vacia", ""));
    EXPECT_EQ(dm.readSetting("vacia", "def"), "def");

    store::Tdm other(dir.path(), ui, clock);
    other.openTables();
    EXPECT_EQ(other.readSetting("c_reg"), "12");
    EXPECT_EQ(other.readSetting("nueva"), "valor con Ñ") << "written in Windows-1252 and read back";
}

TEST_F(TdmTest, NumbersAreDrawnFromTheSequenceTable)
{
    auto &dm = startDm();
    {
        auto sec = dbf::Table::open(file("sec.dbf"), dbf::OpenMode::Shared);
        sec.updateFields(1, {{sec.fieldIndex("N_SEC"), dbf::Value(41.0)}});
    }
    EXPECT_EQ(dm.drawNumber("ped"), 42);
    EXPECT_EQ(dm.drawNumber("ped"), 43);
    EXPECT_EQ(dm.drawNumber("org"), 1);
    EXPECT_EQ(ui.busyCount(), 3);
    EXPECT_TRUE(ui.shownNothing());

    EXPECT_EQ(dm.drawNumber("PED"), 0) << "sequence names are exact";
    EXPECT_TRUE(ui.shown({{"No se puedo obtener el número de secuencia del objeto \"PED\"", "Advertencia"}}));

    // Another station holding the sequence table: the draw gives up after a bounded wait.
    auto held = dbf::Table::open(file("sec.dbf"), dbf::OpenMode::Exclusive);
    dm.sequenceWait = std::chrono::milliseconds(200);
    EXPECT_THROW(dm.drawNumber("ped"), store::DatasetError);
    held.close();
    EXPECT_EQ(dm.drawNumber("ped"), 44) << "nothing was drawn while it was held";
}

TEST_F(TdmTest, RequestFileNamesNeedTheWholeKey)
{
    auto &dm = startDm();
    dm.postConfirmed = true;
    dm.ped->insert();
    EXPECT_EQ(dm.pedFingerprintFile(), "") << "no number yet";
    dm.ped->field("C_PED").setValue(1234);
    EXPECT_EQ(dm.pedFingerprintFile(), "") << "no office yet";
    dm.ped->field("C_REG").setValue(7);
    EXPECT_EQ(dm.pedFingerprintFile(), "h1234.7");
    EXPECT_EQ(dm.pedCardFile(), "z1234.7");
    EXPECT_EQ(dm.pedDocumentFile(), "d1234.7");
    EXPECT_EQ(dm.pedAnswerFile(), "c1234.7");
    dm.ped->cancel();
    touch("h.");
    dm.deleteFile(dm.pedFingerprintFile());
    EXPECT_TRUE(exists("h.")) << "an empty name deletes nothing";
}

TEST_F(TdmTest, NameChecksAndNormalisation)
{
    auto &dm = startDm();
    struct Case
    {
        QVariant value;
        bool valid;
    };
    const Case cases[] = {{QVariant(), true},   {"PEÑA", true},  {"O'HIGGINS", true},
                          {"DE LA CRUZ", true}, {"JOSÉ", false}, {"peña", false},
                          {"PE\u00F1A", false}, {"ANA2", false}, {"ANA-MARIA", false}};
    for (const auto &c : cases) {
        ui.clearRecord();
        EXPECT_EQ(dm.validNameCharacters(c.value), c.valid) << c.value.toString().toStdString();
        if (!c.valid)
            EXPECT_TRUE(ui.shown({{c.value.toString() + " contiene caracteres que no son válidos\rSólo se acepta A "
                                                        ".. Z y el apostrofe",
                                   "Advertencia"}}));
        else
            EXPECT_TRUE(ui.shownNothing());
    }
    EXPECT_EQ(store::Tdm::normalizedName("  JUAN   CARLOS  DE  LA  PAZ "), "JUAN CARLOS DE LA PAZ");
    EXPECT_TRUE(store::Tdm::normalizedName(QVariant()).isNull());

    ui.clearRecord();
    EXPECT_TRUE(dm.isMissing(QVariant(), "Apellido"));
    EXPECT_TRUE(dm.isMissing(QString(), "Apellido"));
    EXPECT_FALSE(dm.isMissing(QString("X"), "Apellido"));
    EXPECT_TRUE(ui.shown({{"Debe completar el campo \"Apellido\"", "Advertencia", Ui::Buttons::Ok},
                          {"Debe completar el campo \"Apellido\"", "Advertencia", Ui::Buttons::Ok}}));
}

TEST_F(TdmTest, SaveWithoutTheNavigatorIsRefusedAndTheRecordStaysInEdit)
{
    auto &dm = startDm();
    store::Subscription orgBeforePost = dm.org->beforePost.subscribe([&](Dataset &) {
        if (!dm.checkPostConfirmed())
            throw store::Abort{};
    });
    dm.org->insert();
    dm.org->field("C_ORG").setValue(1);
    dm.org->field("X_ORG").setValue("JUZGADO FEDERAL 1");
    EXPECT_THROW(dm.org->first(), store::Abort) << "leaving the record tries to save it";
    EXPECT_EQ(dm.org->state(), store::DatasetState::Insert);
    EXPECT_EQ(dm.org->field("X_ORG").asString(), "JUZGADO FEDERAL 1");
    EXPECT_TRUE(ui.shown({{"Se han modificado los datos de este registro.\rPresione en el navegador el tilde para "
                           "grabar\ro la equis para cancelar.",
                           "Advertencia"}}));
    dm.postConfirmed = true;
    EXPECT_TRUE(dm.org->post());
    EXPECT_FALSE(dm.postConfirmed) << "the flag is used up by the save";
    EXPECT_EQ(dm.org->recordCount(), 1);
}

TEST_F(TdmTest, EditingClearsScratchFilesAndSavesAreSeenByOtherStations)
{
    auto &dm = startDm();
    for (const char *f : {"edit.tif", "EDIT.ZIP", "docu.tif"})
        touch(f);
    dm.ped->insert();
    for (const char *f : {"edit.tif", "edit.zip", "docu.tif"})
        EXPECT_FALSE(exists(f)) << f;
    dm.ped->field("C_PED").setValue(5);
    dm.ped->field("C_REG").setValue(7);
    dm.ped->field("X_APE1").setValue("GOMEZ");
    ASSERT_TRUE(dm.ped->post());

    test::TestUi otherUi;
    store::Tdm other(dir.path(), otherUi, clock);
    other.openTables();
    ASSERT_TRUE(other.ped->findKey(5));
    other.ped->edit();
    EXPECT_THROW(dm.ped->edit(), store::DatasetError) << "a record in edit at another station is locked";
    other.ped->field("X_APE1").setValue("GOMEZ PAZ");
    ASSERT_TRUE(other.ped->post());

    EXPECT_EQ(dm.ped->field("X_APE1").asString(), "GOMEZ");
    dm.ped->refresh();
    EXPECT_EQ(dm.ped->field("X_APE1").asString(), "GOMEZ PAZ");
    dm.ped->edit();
    EXPECT_EQ(dm.ped->state(), store::DatasetState::Edit);
    dm.ped->cancel();

    // Aliases follow the current request.
    dm.sup->insert();
    EXPECT_EQ(dm.sup->field("C_PED").asInteger(), 5);
    dm.sup->field("X_APE1").setValue("ALIAS");
    ASSERT_TRUE(dm.sup->post());
    dm.ped->insert();
    EXPECT_TRUE(dm.sup->isEmpty());
    dm.ped->cancel();
    dm.ped->findKey(5);
    EXPECT_EQ(dm.sup->recordCount(), 1);
}

TEST_F(TdmTest, LookupsAndCalculatedFields)
{
    auto &dm = startDm();
    dm.ped->insert();
    dm.ped->field("C_PROVCI").setValue(4);
    EXPECT_EQ(dm.ped->field("X_EXPP").asString(), "CORDOBA");
    dm.ped->field("C_PROVCI").setValue(77);
    EXPECT_EQ(dm.ped->field("X_EXPP").asString(), "") << "an unknown province looks up empty";
    dm.ped->cancel();
    dm.pedp->insert();
    dm.pedp->field("N_EXPE").setValue(123456);
    dm.pedp->field("C_TRAM").setValue("6");
    EXPECT_EQ(dm.pedp->field("c_pedido").asString(), "W123456");
    EXPECT_EQ(dm.pedp->field("X_TRAM").asString(), "EXENTO");
    dm.pedp->cancel();
}

// A change the table cannot store is refused, never reported as stored: a setting longer than its column, an
// edit of a record another station deleted meanwhile, a number drawn from a damaged sequence row.
TEST_F(TdmTest, ChangesThatCannotBeStoredAreRefused)
{
    auto &dm = startDm();
    const QString longest(150, QLatin1Char('x'));
    EXPECT_TRUE(dm.writeSetting("largo", longest));
    EXPECT_FALSE(dm.writeSetting("largo", longest + QLatin1Char('y'))) << "151 characters in a 150 column";
    EXPECT_EQ(dm.readSetting("largo"), longest) << "the refused value changed nothing";
    EXPECT_FALSE(dm.amb->isEditing());

    dm.ped->insert();
    dm.ped->field("C_PED").setValue(5);
    dm.ped->field("C_REG").setValue(7);
    dm.ped->field("X_APE1").setValue("GOMEZ");
    ASSERT_TRUE(dm.ped->post());
    test::TestUi otherUi;
    store::Tdm other(dir.path(), otherUi, clock);
    other.openTables();
    ASSERT_TRUE(other.ped->findKey(5));
    ASSERT_TRUE(dm.ped->findKey(5));
    ASSERT_TRUE(dm.ped->remove());
    other.ped->edit();
    other.ped->field("X_APE1").setValue("GOMEZ PAZ");
    EXPECT_FALSE(other.ped->post()) << "the record was deleted by the other station";
    EXPECT_EQ(other.ped->state(), store::DatasetState::Browse);
    EXPECT_TRUE(other.ped->isEmpty());
    EXPECT_TRUE(otherUi.shown({{"El registro fue borrado en otra estación de trabajo.\rLos cambios no se pudieron "
                                "grabar.",
                                "Advertencia"}}));
    {
        auto t = dbf::Table::open(file("PED.DBF"), dbf::OpenMode::Shared, {});
        ASSERT_EQ(t.recordCount(), 1u);
        EXPECT_TRUE(t.isDeleted(1)) << "the record stays deleted";
        EXPECT_EQ(t.readValue(1, t.fieldIndex("X_APE1")).asString(), "GOMEZ");
    }

    // "2O" where the last request number should be: no number, a message, and the row left as it was.
    ui.clearRecord();
    {
        auto sec = dbf::Table::open(file("sec.dbf"), dbf::OpenMode::Shared);
        ASSERT_EQ(sec.readRecord(1).value(0).asString(), "ped");
        const auto at = sec.headerLength() + 1 + 10 + 8; // record 1, N_SEC (N 10): its last two digits
        sec.close();
        std::fstream f(file("sec.dbf"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(at);
        f.write("2O", 2);
    }
    EXPECT_EQ(dm.drawNumber("ped"), 0);
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_TRUE(ui.messages()[0].text.startsWith("El último número del objeto \"ped\" en la tabla de secuencias "
                                                 "está dañado (N_SEC = \"2O\")"))
        << ui.messages()[0].text.toStdString();
    EXPECT_EQ(dm.drawNumber("pedp"), 1) << "the other sequences still work";
}

// When the re-read after a save fails (here another program left an extra record past the header's count),
// the save is still reported done, the user is told, and the table is closed rather than browsed stale.
TEST_F(TdmTest, AFailedReReadAfterASaveClosesTheTableAndKeepsTheSave)
{
    auto &dm = startDm();
    // Bound after the data module's own re-read: the file is damaged, then the table is re-read again.
    store::Subscription damageThenFlush = dm.org->afterPost.subscribe([&](Dataset &d) {
        const auto path = file("org.DBF");
        const auto size = std::filesystem::file_size(path);
        auto t = dbf::Table::open(path, dbf::OpenMode::Shared, {});
        const auto len = t.recordLength();
        t.close();
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(size - 1));
        f.write(std::string(len, ' ').c_str(), len); // a whole record the header does not count
        f.close();
        dm.FlushBuffers(d);
    });
    dm.org->insert();
    dm.org->field("C_ORG").setValue(900);
    dm.org->field("X_ORG").setValue("JUZGADO");
    EXPECT_TRUE(dm.org->post()) << "the save itself succeeded";
    EXPECT_EQ(dm.org->state(), store::DatasetState::Inactive);
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_TRUE(
        ui.messages()[0].text.startsWith("Los datos se grabaron, pero no se pudo volver a leer la tabla \"org\"."))
        << ui.messages()[0].text.toStdString();
    auto t = dbf::Table::open(file("org.DBF"), dbf::OpenMode::Shared, {.readOnly = true});
    EXPECT_EQ(t.readValue(1, t.fieldIndex("X_ORG")).asString(), "JUZGADO");
}

// A job that walks a table does it on a dataset of its own: the record a person's window shows does not
// move, the data module's rules do not run for it, and what it saves shows at the window's next re-read.
TEST_F(TdmTest, AJobsOwnDatasetLeavesTheWindowsRecordWhereItIs)
{
    auto &dm = startDm();
    for (int n : {1, 2, 3}) {
        dm.ped->insert();
        dm.ped->field("C_PED").setValue(n);
        dm.ped->field("C_REG").setValue(7);
        ASSERT_TRUE(dm.ped->post());
    }
    ASSERT_TRUE(dm.ped->findKey(2));
    int ruleRuns = 0;
    store::Subscription rule = dm.ped->beforePost.subscribe([&](Dataset &) { ++ruleRuns; });

    auto job = dm.ownDataset("ped");
    job->open();
    int walked = 0;
    for (job->first(); !job->eof(); job->next()) {
        ++walked;
        job->edit();
        job->field("C_EST").setValue("T");
        ASSERT_TRUE(job->post());
    }
    EXPECT_EQ(walked, 3);
    EXPECT_EQ(ruleRuns, 0) << "the window's rules are not the job's";
    EXPECT_EQ(dm.ped->field("C_PED").asInteger(), 2) << "the window's record did not move";
    dm.ped->refresh();
    EXPECT_EQ(dm.ped->field("C_PED").asInteger(), 2);
    EXPECT_EQ(dm.ped->field("C_EST").asString(), "T");
    EXPECT_THROW(dm.ownDataset("nada"), store::DatasetError);
}
