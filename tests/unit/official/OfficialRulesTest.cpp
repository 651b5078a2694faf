#include "unit/official/CourtOfficeFixture.h"

#include "platform/imaging/ImageFile.h"
#include "unit/imaging/TestImages.h"

#include <algorithm>

using namespace tav;
using store::Dataset;
using ui::Ui;

namespace {

class OfficialRulesTest : public test::CourtOfficeFixture
{
protected:
    void SetUp() override
    {
        CourtOfficeFixture::SetUp();
        ui.clearRecord();
    }

    // A new request with every required field, ready to save.
    Dataset &newRequest()
    {
        Dataset &ped = *dm->ped;
        ped.insert();
        ped["C_ORG"].setValue(1);
        ped["C_NAC"].setValue(1);
        ped["C_SEXO"].setValue("M");
        ped["X_APE1"].setValue("GOMEZ");
        ped["X_NOM1"].setValue("JUAN");
        ped["C_PRIOR"].setValue(1);
        ped["C_TDEL"].setValue(101);
        return ped;
    }

    bool save()
    {
        dm->postConfirmed = true;
        ui.clearRecord();
        return dm->ped->post();
    }

    void writeCard(const std::string &name, int width, int height)
    {
        imaging::Page page = test::grayPage(width, height);
        page.xResolution = page.yResolution = 300;
        QString error;
        ASSERT_TRUE(imaging::ImageFile::save(page, QString::fromStdString((dir / name).string()),
                                             imaging::Encoding::tiffGrayJpegMedium(), &error))
            << error.toStdString();
    }
};

} // namespace

TEST_F(OfficialRulesTest, NewRequestDefaultsAndTheOrganisationsAddress)
{
    Dataset &ped = *dm->ped;
    ped.insert();
    EXPECT_EQ(ped["F_PED"].asDate(), clock.today());
    EXPECT_EQ(ped["C_REG"].asInteger(), 7);
    EXPECT_EQ(ped["C_EST"].asString(), "I");
    EXPECT_EQ(ped["C_CARPED"].asString(), "C");
    EXPECT_EQ(ped["C_CLASDER"].asString(), "_____");
    EXPECT_EQ(ped["C_CLASIZQ"].asString(), "_____");
    for (const char *flag : {"M_ENVIADO", "M_CONTESTA", "M_EXCART51", "M_ESPECIAL", "M_TOMA_VAZ", "M_MENOR"})
        EXPECT_TRUE(!ped[flag].isNull() && !ped[flag].asBoolean()) << flag;
    EXPECT_TRUE(ped["C_PED"].isNull());

    ped["C_ORG"].setValue(1);
    EXPECT_EQ(ped["X_DOM"].asString(), "AV. SIEMPREVIVA 742");
    EXPECT_EQ(ped["X_LOC"].asString(), "CORDOBA");
    EXPECT_EQ(ped["C_PROV"].asInteger(), 4);
    EXPECT_EQ(ped["C_CODPOS"].asInteger(), 5000);
    ped["C_ORG"].setValue(99);
    EXPECT_TRUE(ped["X_DOM"].isNull()) << "an unknown organisation copies nulls";
}

TEST_F(OfficialRulesTest, RequiredFieldsInTheirOrder)
{
    Dataset &ped = *dm->ped;
    ped.insert();
    ped["F_PED"].clear();
    struct Step
    {
        const char *label;
        const char *field;
        QVariant value;
    };
    // Choosing the organisation fills its address, so the address labels are never asked for here.
    const Step steps[] = {{"Fuero, Competencia y Nro", "C_ORG", 1},
                          {"Nacionalidad", "C_NAC", 1},
                          {"Sexo", "C_SEXO", "F"},
                          {"Fecha", "F_PED", QDate(2026, 12, 1)},
                          {"Apellido", "X_APE1", "PAZ"},
                          {"Nombre", "X_NOM1", "ANA"},
                          {"Prioridad", "C_PRIOR", 2},
                          {"Delito", "C_TDEL", 101}};
    for (const auto &step : steps) {
        EXPECT_FALSE(save());
        EXPECT_TRUE(ui.shown(
            {{QStringLiteral("Debe completar el campo \"%1\"").arg(QString::fromUtf8(step.label)), "Advertencia"}}));
        EXPECT_EQ(ped.state(), store::DatasetState::Insert);
        ped[step.field].setValue(step.value);
    }
    EXPECT_TRUE(save()) << ui.messageTexts().join(" | ").toStdString();
    ped.edit();
    ped["X_LOC"].clear();
    EXPECT_FALSE(save());
    EXPECT_TRUE(ui.shown({{"Debe completar el campo \"Localidad\"", "Advertencia"}}));
}

TEST_F(OfficialRulesTest, BirthDateAndPresumedAge)
{
    // Today is 10/12/2026.
    struct Case
    {
        QVariant birth;
        QVariant presumedAge;
        bool minor;
        QString message; // empty: accepted
    };
    const QString byDate = "El causante debe tener entre 16 y 99 años de edad.\rVerifique la fecha de nacimiento.";
    const QString byAge = "El causante debe tener entre 16 y 99 años de edad.\rVerifique la edad presunta.";
    const Case cases[] = {
        {QDate(1899, 1, 1), {}, false, "La Fecha de Nacimiento debe ser mayor a 1900"},
        {QDate(1899, 1, 1), 40, true, "La Fecha de Nacimiento debe ser mayor a 1900"},
        // 16 birthdays away minus one day per 29 February in between (4 of them) already count as 16.
        {QDate(2010, 12, 14), {}, false, {}},
        {QDate(2010, 12, 15), {}, false, byDate},
        {QDate(2010, 12, 15), {}, true, {}},
        // Near the hundredth birthday the subject counts as 100 about 24 days early.
        {QDate(1927, 1, 2), {}, false, byDate},
        {QDate(1927, 1, 5), {}, false, {}},
        {{}, {}, false, {}},
        {{}, 15, false, byAge},
        {{}, 15, true, {}},
        {{}, 100, true, byAge},
        {{}, 99, false, {}},
        // A date still to come is refused, also for a minor (it would count as a newborn).
        {QDate(2026, 12, 11), {}, true, official::OfficialRules::futureBirthMessage()},
        {QDate(2030, 1, 1), {}, false, official::OfficialRules::futureBirthMessage()},
        {QDate(2026, 12, 10), {}, true, {}},
    };
    for (const auto &c : cases) {
        Dataset &ped = newRequest();
        ped["F_NAC"].setValue(c.birth);
        ped["N_EDAD"].setValue(c.presumedAge);
        ped["M_MENOR"].setValue(c.minor);
        const bool saved = save();
        const std::string label = c.birth.toDate().toString("dd/MM/yyyy").toStdString() + " edad " +
                                  c.presumedAge.toString().toStdString() + (c.minor ? " menor" : "");
        EXPECT_EQ(saved, c.message.isEmpty()) << label;
        if (!c.message.isEmpty()) {
            EXPECT_TRUE(ui.shown({{c.message, "Advertencia"}})) << label;
            ped.cancel();
        }
    }
    EXPECT_EQ(official::OfficialRules::ageInYears(QDate(2010, 12, 14), QDate(2026, 12, 10)), 16);
}

TEST_F(OfficialRulesTest, NamesAreTrimmedThenChecked)
{
    struct Case
    {
        const char *typed;
        const char *stored; // nullptr: refused
    };
    const Case cases[] = {
        {"  DE  LA   PEÑA ", "DE LA PEÑA"}, {"O'CONNOR", "O'CONNOR"}, {"PÉREZ", nullptr}, {"peña", nullptr}};
    for (const auto &c : cases) {
        Dataset &ped = newRequest();
        ped["X_APEMADR2"].setValue(c.typed);
        const bool saved = save();
        EXPECT_EQ(saved, c.stored != nullptr) << c.typed;
        if (saved)
            EXPECT_EQ(ped["X_APEMADR2"].asString(), c.stored);
        else {
            ASSERT_EQ(ui.messages().size(), 1);
            EXPECT_TRUE(ui.messages()[0].text.endsWith("contiene caracteres que no son válidos\rSólo se acepta A .. Z "
                                                       "y el apostrofe"));
            ped.cancel();
        }
    }
}

TEST_F(OfficialRulesTest, NumberingAndTheOffenceOfNewRequestsOnly)
{
    {
        auto sec = dbf::Table::open(file("sec.dbf"));
        sec.updateFields(1, {{sec.fieldIndex("N_SEC"), dbf::Value(41.0)}});
    }
    Dataset &ped = newRequest();
    ASSERT_TRUE(save());
    EXPECT_EQ(ped["C_PED"].asInteger(), 42);
    EXPECT_EQ(ped["C_VERSION"].asString(), "2.32");
    ped.edit();
    ped["C_TDEL"].clear();
    ped["X_OBS"].setValue("SEGUNDA GRABACION");
    ASSERT_TRUE(save()) << "an existing request saves without an offence";
    EXPECT_EQ(ped["C_PED"].asInteger(), 42) << "the number stays";
    auto sec = dbf::Table::open(file("sec.dbf"));
    EXPECT_EQ(sec.readValue(1, sec.fieldIndex("N_SEC")).asDouble(), 42.0);
}

TEST_F(OfficialRulesTest, ScratchFilesMoveIntoTheRequestsFiles)
{
    Dataset &ped = newRequest();
    ASSERT_TRUE(save());
    const int n = ped["C_PED"].asInteger();
    const std::string suffix = std::to_string(n) + ".7";

    // A refused card keeps its scratch file and the record stays in edit.
    ped.edit();
    writeCard("edit.tif", 2480, 599);
    touch("docu.tif");
    EXPECT_FALSE(save());
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].title, "Error");
    EXPECT_TRUE(exists("edit.tif"));
    EXPECT_TRUE(exists("docu.tif"));
    EXPECT_FALSE(exists("h" + suffix));
    EXPECT_EQ(ped.state(), store::DatasetState::Edit);

    writeCard("edit.tif", 2480, 1299);
    touch("edit.zip");
    ASSERT_TRUE(save()) << ui.messageTexts().join(" | ").toStdString();
    for (const char *prefix : {"h", "z", "d"})
        EXPECT_TRUE(exists(prefix + suffix)) << prefix;
    for (const char *scratch : {"edit.tif", "edit.zip", "docu.tif"})
        EXPECT_FALSE(exists(scratch)) << scratch;

    // A nominative request keeps no fingerprint files but still takes its documents.
    Dataset &nominative = newRequest();
    nominative["C_CARPED"].setValue("N");
    ASSERT_TRUE(save());
    const std::string other = std::to_string(nominative["C_PED"].asInteger()) + ".7";
    nominative.edit();
    writeCard("edit.tif", 2480, 1299);
    touch("docu.tif");
    ASSERT_TRUE(save());
    EXPECT_FALSE(exists("h" + other));
    EXPECT_TRUE(exists("d" + other));
    EXPECT_FALSE(exists("edit.tif")) << "scratch files are cleared after every save";
}

TEST_F(OfficialRulesTest, DeletionAskedAndFilesRemoved)
{
    Dataset &ped = newRequest();
    ASSERT_TRUE(save());
    const std::string suffix = std::to_string(ped["C_PED"].asInteger()) + ".7";
    for (const char *prefix : {"h", "z", "c", "d"})
        touch(prefix + suffix);
    ui.clearRecord();
    EXPECT_FALSE(ped.remove()) << "unscripted questions answer No";
    EXPECT_TRUE(ui.shown({{"¿Está seguro que desea eliminar este registro?", "Confirmar", Ui::Buttons::YesNo}}));
    EXPECT_TRUE(exists("h" + suffix));
    ui.answerNext(Ui::Yes);
    EXPECT_TRUE(ped.remove());
    for (const char *prefix : {"h", "z", "c"})
        EXPECT_FALSE(exists(prefix + suffix)) << prefix;
    EXPECT_TRUE(exists("d" + suffix)) << "the documents stay";
    EXPECT_TRUE(ped.isEmpty());
}

TEST_F(OfficialRulesTest, AliasesOfASavedRequestOnly)
{
    Dataset &ped = newRequest();
    Dataset &sup = *dm->sup;
    EXPECT_THROW(sup.insert(), store::Abort);
    EXPECT_TRUE(ui.shown({{"Debe grabar el pedido antes de ingresar Supuestos", "Advertencia"}}));
    ASSERT_TRUE(save());

    sup.insert();
    ui.clearRecord();
    EXPECT_FALSE(sup.post());
    sup["X_APE1"].setValue("  LOPEZ ");
    EXPECT_FALSE(sup.post());
    sup["X_NOM1"].setValue("ANDRÉS");
    EXPECT_FALSE(sup.post());
    EXPECT_EQ(ui.messageTexts(), (QStringList{"Debe completar el primer apellido", "Debe completar el primer nombre",
                                              "ANDRÉS contiene caracteres que no son válidos\rSólo se acepta A .. Z "
                                              "y el apostrofe"}));
    sup["X_NOM1"].setValue("ANDRES");
    ASSERT_TRUE(sup.post()) << "aliases do not need the navigator's confirmation";
    EXPECT_EQ(sup["X_APE1"].asString(), "LOPEZ");
    EXPECT_EQ(sup["C_PED"].asInteger(), ped["C_PED"].asInteger());
    EXPECT_EQ(sup["C_REG"].asInteger(), 7);
    EXPECT_EQ(sup["C_PROV"].asInteger(), 4) << "the province of the request's organisation";
}

TEST_F(OfficialRulesTest, OrganisationsRequiredFieldsAndNumbers)
{
    Dataset &org = *dm->org;
    org.insert();
    org["C_ORG"].setValue(500);
    const std::pair<const char *, QVariant> fields[] = {
        {"X_ORG", "FISCALIA 3"}, {"X_DOM", "SAN MARTIN 10"}, {"X_LOC", "SALTA"}, {"C_PROV", 17}, {"C_CODPOS", 4400}};
    const char *labels[] = {"Organismo", "Domicilio", "Localidad", "Provincia", "Código Postal"};
    for (size_t i = 0; i < std::size(fields); ++i) {
        dm->postConfirmed = true;
        ui.clearRecord();
        EXPECT_FALSE(org.post());
        EXPECT_TRUE(ui.shown(
            {{QStringLiteral("Debe completar el campo \"%1\"").arg(QString::fromUtf8(labels[i])), "Advertencia"}}));
        org[fields[i].first].setValue(fields[i].second);
    }
    dm->postConfirmed = true;
    ASSERT_TRUE(org.post());
    EXPECT_EQ(org["C_ORG"].asInteger(), 2) << "the sequence's number replaces what was typed";
    EXPECT_TRUE(org["X_EMAIL"].isNull());

    ui.answerNext(Ui::No);
    EXPECT_FALSE(org.remove());
    ui.answerNext(Ui::Yes);
    EXPECT_TRUE(org.remove());
}

TEST_F(OfficialRulesTest, AliasesGoOnlyWithConsentAndNeverFromASentRequest)
{
    Dataset &ped = newRequest();
    ASSERT_TRUE(save());
    Dataset &sup = *dm->sup;
    for (const char *surname : {"LOPEZ", "PEREZ"}) {
        sup.insert();
        sup["X_APE1"].setValue(surname);
        sup["X_NOM1"].setValue("JUAN");
        ASSERT_TRUE(sup.post());
    }
    ASSERT_EQ(sup.recordCount(), 2);

    ui.clearRecord();
    ui.answerNext(Ui::No);
    EXPECT_FALSE(sup.remove());
    EXPECT_EQ(sup.recordCount(), 2);
    EXPECT_TRUE(ui.shown({{"¿Está seguro que desea eliminar este supuesto?", "Confirmar"}}));
    ui.answerNext(Ui::Yes);
    EXPECT_TRUE(sup.remove());
    EXPECT_EQ(sup.recordCount(), 1);

    // Sent and not rejected: refused before any question.
    ped.edit();
    ped["M_ENVIADO"].setValue(true);
    ped["C_EST"].setValue("E");
    ASSERT_TRUE(save());
    ui.clearRecord();
    EXPECT_FALSE(sup.remove());
    EXPECT_EQ(sup.recordCount(), 1);
    EXPECT_TRUE(ui.shown({{official::OfficialRules::sentAliasMessage(), "Advertencia"}}));
    // Rejected: it may be corrected again.
    ped.edit();
    ped["C_EST"].setValue("R");
    ASSERT_TRUE(save());
    ui.answerNext(Ui::Yes);
    EXPECT_TRUE(sup.remove());
    EXPECT_EQ(sup.recordCount(), 0);
}

TEST_F(OfficialRulesTest, OrganisationCodesNeverChangeNorRepeat)
{
    Dataset &org = *dm->org;
    // An organisation stored with code 2 by an earlier program, ahead of the sequence (which gave 1).
    {
        const auto quiet = org.beforePost.suspend();
        org.insert();
        for (auto [name, value] : std::initializer_list<std::pair<const char *, QVariant>>{{"C_ORG", 2},
                                                                                           {"X_ORG", "FISCALIA 2"},
                                                                                           {"X_DOM", "SAN MARTIN 10"},
                                                                                           {"X_LOC", "SALTA"},
                                                                                           {"C_PROV", 17},
                                                                                           {"C_CODPOS", 4400}})
            org[name].setValue(value);
        ASSERT_TRUE(org.post());
    }

    org.insert();
    for (auto [name, value] : std::initializer_list<std::pair<const char *, QVariant>>{{"X_ORG", "FISCALIA 3"},
                                                                                       {"X_DOM", "SAN MARTIN 12"},
                                                                                       {"X_LOC", "SALTA"},
                                                                                       {"C_PROV", 17},
                                                                                       {"C_CODPOS", 4400}})
        org[name].setValue(value);
    dm->postConfirmed = true;
    ASSERT_TRUE(org.post()) << ui.messageTexts().join(" | ").toStdString();
    EXPECT_EQ(org["C_ORG"].asInteger(), 3) << "the sequence's 2 is taken: the next free number";
    QList<int> codes;
    for (int i = 0; i < org.recordCount(); ++i)
        codes << org.valueAt(i, org["C_ORG"].index()).toInt();
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (QList<int>{1, 2, 3}));

    // A saved code stays: requests name their organisation by it.
    ASSERT_TRUE(org.locate("C_ORG", 1));
    org.edit();
    org["C_ORG"].setValue(2);
    org["X_LOC"].setValue("JUJUY");
    dm->postConfirmed = true;
    ui.clearRecord();
    EXPECT_FALSE(org.post());
    EXPECT_TRUE(ui.shown({{official::OfficialRules::orgCodeFixedMessage(), "Advertencia"}}));
    EXPECT_EQ(org["C_ORG"].asInteger(), 1) << "the stored code is back in the edit";
    dm->postConfirmed = true;
    EXPECT_TRUE(org.post()) << "the other changes save";
    EXPECT_TRUE(org.locate("C_ORG", 1));
    EXPECT_EQ(org["X_LOC"].asString(), "JUJUY");
}

TEST_F(OfficialRulesTest, OffenceFilterAndAnswerChecks)
{
    dm->tdel->setFiltered(true);
    dm->offenceFilter = "robo";
    dm->tdel->refilter();
    ASSERT_EQ(dm->tdel->recordCount(), 1);
    EXPECT_EQ(dm->tdel->field("C_TDEL").asInteger(), 202);
    dm->offenceFilter.clear();
    dm->tdel->refilter();
    EXPECT_EQ(dm->tdel->recordCount(), 13);

    Dataset &ped = newRequest();
    ASSERT_TRUE(save());
    ui.clearRecord();
    EXPECT_FALSE(tav::official::OfficialRules::officialAnswerAvailable(*dm));
    EXPECT_TRUE(ui.shown({{"El pedido no ha sido contestado", "Error"}}));
    ped.edit();
    ped["M_CONTESTA"].setValue(true);
    ASSERT_TRUE(save());
    EXPECT_FALSE(tav::official::OfficialRules::officialAnswerAvailable(*dm));
    EXPECT_TRUE(ui.shown({{"Este pedido no posee contestación", "Error"}}));
    touch(dm->pedAnswerFile().toStdString());
    EXPECT_TRUE(tav::official::OfficialRules::officialAnswerAvailable(*dm));
}
