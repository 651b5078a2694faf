#include "OfficeFixture.h"

#include "store/TableSet.h"

#include "platform/text/Cp1252Qt.h"

#include <QFile>

#include <fstream>

using namespace tav;

using StartUpTest = test::OfficeFixture;

namespace {

QByteArray readAll(const std::filesystem::path &p)
{
    QFile f(QString::fromStdString(p.string()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const std::filesystem::path &p, const QByteArray &bytes)
{
    QFile f(QString::fromStdString(p.string()));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Rewrites a table in the form an older program version left it: without the columns added later and
// with the old widths, holding `rows` records.
void makeOldTable(const std::filesystem::path &dir, const QString &file, const QString &upgradeFile,
                  const std::vector<std::pair<std::string, int>> &oldWidths, int rows)
{
    const store::TableDef *def = nullptr;
    for (const auto &t : store::tableSet())
        if (t.file.compare(file, Qt::CaseInsensitive) == 0)
            def = &t;
    ASSERT_NE(def, nullptr);
    std::vector<dbf::FieldDef> fields;
    for (auto f : def->fields) {
        bool later = false;
        for (const auto &u : store::schemaUpgrades())
            if (u.file.compare(upgradeFile, Qt::CaseInsensitive) == 0 && os::equalsNoCase(u.field.name, f.name))
                later = true;
        if (later)
            continue;
        for (const auto &[name, width] : oldWidths)
            if (os::equalsNoCase(name, f.name))
                f.length = static_cast<uint8_t>(width);
        fields.push_back(f);
    }
    dbf::CreateOptions o;
    o.tags = def->tags;
    o.version = def->version;
    o.overwrite = true;
    auto t = dbf::Table::create(os::resolveNoCase(dir / file.toStdString()), fields, o);
    for (int i = 1; i <= rows; ++i) {
        std::vector<dbf::Value> values(fields.size());
        for (size_t c = 0; c < fields.size(); ++c) {
            if (fields[c].name == "C_PED")
                values[c] = dbf::Value(static_cast<double>(i));
            else if (fields[c].name == "C_REG")
                values[c] = dbf::Value(7.0);
            else if (fields[c].name == "X_APE1")
                values[c] = dbf::Value(std::string("APELLIDO") + std::to_string(i));
            else if (fields[c].name == "N_CAUSA")
                values[c] = dbf::Value(std::string("C-") + std::to_string(i));
        }
        t.append(values);
    }
    t.close();
}

} // namespace

TEST_F(StartUpTest, AnOlderOfficeEndsWithTheCurrentSchemaAndItsData)
{
    makeOldTable(dir.path(), "PED.DBF", "ped.dbf", {{"N_CAUSA", 8}}, 3);
    makeOldTable(dir.path(), "Pedp.DBF", "pedp.dbf", {}, 2);
    makeOldTable(dir.path(), "sup.dbf", "", {{"C_PED", 5}, {"C_REG", 3}}, 2);
    makeOldTable(dir.path(), "org.DBF", "org.dbf", {}, 0);

    auto &dm = startDm();
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join(" | ").toStdString();
    for (const auto &def : store::tableSet()) {
        auto t = dbf::Table::open(file(def.file.toStdString()), dbf::OpenMode::Shared);
        for (const auto &f : def.fields) {
            const int fi = t.fieldIndex(f.name);
            ASSERT_GE(fi, 0) << def.file.toStdString() << " lacks " << f.name;
            EXPECT_EQ(t.fields()[static_cast<size_t>(fi)].length, dbf::normalizedField(f).length)
                << def.file.toStdString() << "." << f.name;
        }
    }
    ASSERT_EQ(dm.ped->recordCount(), 3);
    ASSERT_TRUE(dm.ped->findKey(2));
    EXPECT_EQ(dm.ped->field("X_APE1").asString(), "APELLIDO2");
    EXPECT_EQ(dm.ped->field("N_CAUSA").asString(), "C-2");
    EXPECT_FALSE(dm.ped->field("M_MENOR").isNull()) << "flags added later start False on existing rows";
    EXPECT_FALSE(dm.ped->field("M_MENOR").asBoolean());
    EXPECT_TRUE(dm.ped->field("C_EST").isNull());
    EXPECT_EQ(dm.pedp->recordCount(), 2);

    // Running the upgrade again finds nothing to do and changes nothing.
    dm.closeTables();
    const QByteArray before = readAll(file("PED.DBF"));
    EXPECT_EQ(dm.storage().upgradeSchema({}), 0);
    EXPECT_EQ(dm.storage().widenColumns(), 0);
    EXPECT_EQ(readAll(file("PED.DBF")), before);
}

TEST_F(StartUpTest, WideningOnlyFromTheOldWidth)
{
    makeOldTable(dir.path(), "PED.DBF", "", {{"N_CAUSA", 10}}, 1);
    makeOldTable(dir.path(), "sup.dbf", "", {{"C_PED", 5}, {"C_REG", 4}}, 1);
    store::StorageLifecycle storage(dir.path());
    EXPECT_EQ(storage.widenColumns(), 1);
    auto width = [&](const char *table, const char *field) {
        auto t = dbf::Table::open(file(table), dbf::OpenMode::Shared);
        return static_cast<int>(t.fields()[static_cast<size_t>(t.fieldIndex(field))].length);
    };
    EXPECT_EQ(width("PED.DBF", "N_CAUSA"), 10);
    EXPECT_EQ(width("sup.dbf", "C_PED"), 8);
    EXPECT_EQ(width("sup.dbf", "C_REG"), 4);
}

TEST_F(StartUpTest, DamagedIndexIsRestoredFromItsBackup)
{
    const auto index = file("Ped.mdx");
    const auto backup = file("Ped_bak.mdx");
    const QByteArray backupBytes = readAll(backup);
    QByteArray damaged = readAll(index);
    damaged.replace(0, 1, "\x07");
    damaged.truncate(damaged.size() - 100);
    writeAll(index, damaged);
    EXPECT_THROW(dbf::Table::open(file("PED.DBF")), dbf::DbfError);

    auto &dm = startDm();
    EXPECT_TRUE(ui.shownNothing());
    EXPECT_TRUE(dm.ped->isActive());
    EXPECT_EQ(readAll(backup), backupBytes) << "the backup is only read";
}

TEST_F(StartUpTest, DamagedIndexWithoutBackupIsReported)
{
    const auto index = file("org.mdx");
    writeAll(index, QByteArray(512, 'x'));
    std::filesystem::remove(file("org_bak.mdx"));
    store::StorageLifecycle storage(dir.path());
    EXPECT_EQ(storage.checkTables(),
              "ERROR: Al Chequear tabla - Msg: ERROR: Al reparar Mdx - Msg: No existe Archivo org_bak.mdx");
}

TEST_F(StartUpTest, NonIntegerReceptionFrequencyStopsTheSettings)
{
    {
        auto amb = std::make_unique<store::Tdm>(dir.path(), ui, clock);
        amb->openTables();
        ASSERT_TRUE(amb->writeSetting("frec_recep", "5a"));
        ASSERT_TRUE(amb->writeSetting("m_impauto", "N"));
        amb->writeSetting("m_domic", "");
    }
    OfficeFixture::dm = std::make_unique<store::Tdm>(dir.path(), ui, clock);
    auto &dm = *OfficeFixture::dm;
    EXPECT_EQ(dm.startUp(), store::Tdm::StartResult::Ready) << "the program goes on";
    EXPECT_TRUE(ui.shown({{"'5a' no es un valor entero válido", "Error"}}));
    EXPECT_FALSE(dm.initialized);
    EXPECT_TRUE(dm.loginRequired) << "settings not read to the end never switch the login off";
    EXPECT_TRUE(dm.automaticPrinting) << "settings after the failing one are not read";
    EXPECT_EQ(dm.readSetting("m_domic"), "") << "nor the defaults written";
}

TEST_F(StartUpTest, FirstStartWritesTheMissingDefaults)
{
    {
        store::Tdm setup(dir.path(), ui, clock);
        setup.openTables();
        setup.writeSetting("m_domic", "X");
        setup.writeSetting("m_fecpago", "");
        setup.writeSetting("dias_fpago", "-3");
        setup.writeSetting("pop3Pass", "ab");
    }
    auto &dm = startDm();
    EXPECT_EQ(dm.readSetting("m_domic"), "N");
    EXPECT_EQ(dm.readSetting("m_fecpago"), "S");
    EXPECT_EQ(dm.readSetting("dias_fpago"), "365");
    EXPECT_FALSE(dm.homeDelivery);
    EXPECT_EQ(dm.readSetting("pop3Pass"), "");
    EXPECT_EQ(text::toCp1252(dm.readSetting("pop3PwdE")), QByteArray("\x9e\x9d")) << "each byte complemented";
}

TEST_F(StartUpTest, MissingExportColumnEndsTheProgram)
{
    dbf::CreateOptions o;
    o.tags = store::findTableDef("tdoc")->tags;
    o.overwrite = true;
    dbf::Table::create(file("tdoc.DBF"),
                       {{"C_TDOC", dbf::FieldType::Character, 2, 0}, {"X_TDOC", dbf::FieldType::Character, 30, 0}}, o)
        .close();
    OfficeFixture::dm = std::make_unique<store::Tdm>(dir.path(), ui, clock);
    EXPECT_EQ(OfficeFixture::dm->startUp(), store::Tdm::StartResult::Terminate);
    ASSERT_FALSE(ui.messages().isEmpty());
    EXPECT_EQ(ui.messages().size(), 1) << ui.messageTexts().join(" | ").toStdString();
    EXPECT_TRUE(
        ui.messages().first().text.startsWith("Debe actualizar las tablas. Por favor, \rpongase en contacto con: "));
}

TEST_F(StartUpTest, PackRemovesDeletedRequestsAtStart)
{
    makeOldTable(dir.path(), "PED.DBF", "", {}, 4);
    {
        auto t = dbf::Table::open(file("PED.DBF"), dbf::OpenMode::Shared);
        t.setDeleted(2, true);
    }
    auto &dm = startDm();
    EXPECT_EQ(dm.ped->recordCount(), 3);
    auto t = dbf::Table::open(file("PED.DBF"), dbf::OpenMode::Shared);
    EXPECT_EQ(t.recordCount(), 3u);
}

// A table whose header lost records is not opened at start (nothing is written over them), the message names
// it, the other tables work, a leftover of a stopped pack is removed, and the full check reports it.
TEST_F(StartUpTest, DamagedTableIsNotOpenedAndNothingIsLost)
{
    {
        store::Tdm first(dir.path(), ui, clock);
        ASSERT_EQ(first.startUp(), store::Tdm::StartResult::Ready);
        for (int i = 1; i <= 20; ++i) {
            first.ped->insert();
            first.ped->field("C_PED").setValue(i);
            first.ped->field("C_REG").setValue(7);
            ASSERT_TRUE(first.ped->post());
        }
    }
    {
        // The header now counts 10 of the 20 records.
        std::fstream f(file("PED.DBF"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4);
        const char ten[4] = {10, 0, 0, 0};
        f.write(ten, 4);
    }
    touch(".PED.DBF.new");
    const auto before = QFile(QString::fromStdString(file("PED.DBF").string())).size();
    ui.clearRecord();
    auto &dm = startDm();
    EXPECT_FALSE(exists(".PED.DBF.new")) << "a stopped pack's file is removed at start";
    ASSERT_FALSE(ui.messages().isEmpty());
    const QString text = ui.messages().front().text;
    EXPECT_TRUE(text.startsWith("La tabla PED.DBF está dañada y no se abrirá: el encabezado dice 10 registros pero "
                                "el archivo tiene 20 registros completos."))
        << text.toStdString();
    EXPECT_FALSE(dm.ped->isActive());
    EXPECT_TRUE(dm.org->isActive());
    EXPECT_EQ(QFile(QString::fromStdString(file("PED.DBF").string())).size(), before) << "the table was not touched";

    // Recovery keeps all twenty.
    dm.closeTables();
    dbf::Table::recover(file("PED.DBF"));
    auto t = dbf::Table::open(file("PED.DBF"), dbf::OpenMode::Shared, {});
    EXPECT_EQ(t.recordCount(), 20u);
}

// A station that starts while another works skips the upkeep of the tables the other has open (no pack,
// no re-index, no schema change under it), says so once, and still opens the tables, reads the settings
// and asks for the login. The upgrade it really needs is named; a save that needs the missing column is
// refused, never cut. The menu's re-index names the table in use and touches nothing. The next start that
// finds the tables free does the upkeep.
TEST_F(StartUpTest, SecondStationStartsWhileAnotherWorks)
{
    makeOldTable(dir.path(), "PED.DBF", "ped.dbf", {{"N_CAUSA", 8}}, 3);
    {
        auto t = dbf::Table::open(file("PED.DBF"), dbf::OpenMode::Shared);
        t.setDeleted(3, true);
    }
    // Station A (an older program version, say) has every table open.
    test::TestUi uiA;
    store::Tdm a(dir.path(), uiA, clock);
    a.openTables();
    const QByteArray pedBefore = readAll(file("PED.DBF"));
    const QByteArray mdxBefore = readAll(file("Ped.mdx"));
    const QByteArray orgMdxBefore = readAll(file("org.mdx"));

    auto &b = startDm();
    EXPECT_TRUE(b.initialized);
    EXPECT_TRUE(b.loginRequired);
    EXPECT_EQ(b.readSetting("x_reg"), "OFICINA REGIONAL DEMO");
    EXPECT_TRUE(b.ped->isActive() && b.usu->isActive() && b.amb->isActive());
    ASSERT_EQ(ui.messages().size(), 1) << ui.messageTexts().join(" | ").toStdString();
    const auto &said = ui.messages().first();
    EXPECT_EQ(said.title, "Advertencia");
    EXPECT_TRUE(said.text.startsWith("La tabla PED.DBF está en uso en otra estación de trabajo y no se pudo "
                                     "actualizar (campos X_EMAIL, "))
        << said.text.toStdString();
    EXPECT_TRUE(said.text.contains("N_CAUSA"));
    EXPECT_TRUE(b.maintenanceNote.contains("PED.DBF")) << b.maintenanceNote.toStdString();
    EXPECT_EQ(readAll(file("PED.DBF")), pedBefore) << "neither packed nor changed under station A";
    EXPECT_EQ(readAll(file("Ped.mdx")), mdxBefore);
    EXPECT_EQ(b.ped->recordCount(), 2);

    // Read-safe: a value for a column the file lacks refuses the save; without one the save goes through.
    b.ped->insert();
    b.ped->field("C_PED").setValue(10);
    b.ped->field("C_REG").setValue(7);
    b.ped->field("X_EMAIL").setValue("a@b.c");
    try {
        b.ped->post();
        ADD_FAILURE() << "a value the table cannot hold was accepted";
    } catch (const store::DatasetError &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains("no tiene el campo X_EMAIL")) << e.what();
    }
    EXPECT_TRUE(b.ped->isEditing()) << "the person's input stays";
    b.ped->field("X_EMAIL").setValue(QVariant());
    EXPECT_TRUE(b.ped->post());
    EXPECT_EQ(dbf::Table::open(file("PED.DBF"), dbf::OpenMode::Shared).recordCount(), 4u);

    // The re-index asked for by a person: all or nothing.
    ui.clearRecord();
    EXPECT_EQ(b.reindex({}), store::Tdm::ReindexResult::TableInUse);
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_TRUE(ui.messages().first().text.startsWith("No se pudo hacer el ordenamiento de archivos: la tabla "))
        << ui.messages().first().text.toStdString();
    EXPECT_TRUE(ui.messages().first().text.contains("está en uso en otra estación de trabajo"));
    EXPECT_EQ(readAll(file("org.mdx")), orgMdxBefore) << "no index was touched";
    EXPECT_TRUE(b.ped->isActive()) << "the station's tables are open again";

    // Once the other station is gone, a start does the upkeep.
    a.closeTables();
    b.closeTables();
    ui.clearRecord();
    store::Tdm c(dir.path(), ui, clock);
    EXPECT_EQ(c.startUp(), store::Tdm::StartResult::Ready);
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join(" | ").toStdString();
    EXPECT_TRUE(c.maintenanceNote.isEmpty());
    auto t = dbf::Table::open(file("PED.DBF"), dbf::OpenMode::Shared);
    EXPECT_GE(t.fieldIndex("X_EMAIL"), 0);
    EXPECT_EQ(t.fields()[static_cast<size_t>(t.fieldIndex("N_CAUSA"))].length, 15);
    EXPECT_EQ(t.recordCount(), 3u) << "packed";
}

// Without its tables the program cannot work: it says so in Spanish and ends, without a login. Here another
// station keeps the users' table to itself longer than a start waits.
TEST_F(StartUpTest, TablesThatWillNotOpenEndTheProgram)
{
    auto held = dbf::Table::open(file("usu.dbf"), dbf::OpenMode::Exclusive);
    OfficeFixture::dm = std::make_unique<store::Tdm>(dir.path(), ui, clock);
    OfficeFixture::dm->openWait = std::chrono::milliseconds(0);
    EXPECT_EQ(OfficeFixture::dm->startUp(), store::Tdm::StartResult::Terminate);
    EXPECT_TRUE(OfficeFixture::dm->loginRequired);
    EXPECT_FALSE(OfficeFixture::dm->initialized);
    ASSERT_FALSE(ui.messages().isEmpty());
    const auto &last = ui.messages().last();
    EXPECT_EQ(last.title, "Error");
    EXPECT_TRUE(last.text.startsWith("No se pudieron abrir las tablas de la oficina.\r")) << last.text.toStdString();
    EXPECT_TRUE(last.text.endsWith("El programa se cerrará."));
    EXPECT_TRUE(last.text.contains("La tabla usu.dbf está en uso en otra estación de trabajo."));
    EXPECT_FALSE(OfficeFixture::dm->ped->isActive());
}
