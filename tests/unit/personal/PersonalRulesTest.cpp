#include "unit/personal/PersonalRequest.h"
#include "unit/store/OfficeFixture.h"

#include "personal/GuidEx.h"
#include "personal/PersonalRules.h"
#include "personal/SlipLookup.h"
#include "shell/Session.h"

#include <QRegularExpression>
#include <QSet>

using namespace tav;
using store::Dataset;
using ui::Ui;

namespace {

class PersonalRulesTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        dm->programVersion = "2.32";
        dm->checkSlipData = false; // these tests never reach a slip service
        session.user = "operador";
        slips = std::make_unique<personal::SlipLookup>(*dm);
        rules = std::make_unique<personal::PersonalRules>(*dm, session, *slips);
        ui.clearRecord();
    }

    // A new request that passes every check before sending (request date 10/12/2026).
    Dataset &newRequest()
    {
        Dataset &pedp = test::enterPersonalRequest(*dm);
        return pedp;
    }

    bool save()
    {
        dm->postConfirmed = true;
        ui.clearRecord();
        return dm->pedp->post();
    }

    shell::SessionUser session;
    std::unique_ptr<personal::SlipLookup> slips;
    std::unique_ptr<personal::PersonalRules> rules;
};

TEST_F(PersonalRulesTest, NewRequestDefaultsAndTheTypesPriority)
{
    Dataset &pedp = *dm->pedp;
    pedp.insert();
    EXPECT_EQ(pedp["F_PED"].asDate(), clock.today());
    EXPECT_EQ(pedp["C_REG"].asInteger(), 7);
    EXPECT_EQ(pedp["C_CLASDER"].asString(), "_____");
    EXPECT_EQ(pedp["C_CLASIZQ"].asString(), "_____");
    EXPECT_TRUE(pedp["F_NAC"].isNull());
    EXPECT_FALSE(pedp["M_EXCART51"].asBoolean());
    EXPECT_EQ(pedp["c_pedido"].asString(), "W");
    pedp["C_TRAM"].setValue("2");
    EXPECT_EQ(pedp["C_PRIOR"].asInteger(), 2);
    pedp["C_TRAM"].setValue("9");
    EXPECT_TRUE(pedp["C_PRIOR"].isNull());
}

TEST_F(PersonalRulesTest, SaveNormalisesNamesNumbersAndStampsTheRequest)
{
    Dataset &pedp = newRequest();
    pedp["X_APE1"].setValue(" DE  LA   TORRE");
    pedp["X_NOMMADR3"].setValue(" ANA   MARIA");
    ASSERT_TRUE(save()) << ui.messageTexts().join('|').toStdString();
    EXPECT_TRUE(ui.shownNothing());
    EXPECT_EQ(pedp["X_APE1"].asString(), "DE LA TORRE");
    EXPECT_EQ(pedp["X_NOMMADR3"].asString(), "ANA MARIA");
    EXPECT_GT(pedp["C_PED"].asInteger(), 0);
    EXPECT_EQ(pedp["C_EST"].asString(), "I");
    EXPECT_EQ(pedp["C_LOGIN"].asString(), "operador");
    EXPECT_EQ(pedp["C_VERSION"].asString(), "2.32");
    const QString code = pedp["C_SEGUR"].asString();
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{10}$").match(code).hasMatch()) << code.toStdString();

    // A later save keeps the code; a correction clears the answer date.
    pedp.edit();
    pedp["C_EST"].setValue("D");
    pedp["F_CON"].setValue(QDate(2026, 12, 1));
    ASSERT_TRUE(save());
    EXPECT_EQ(pedp["C_SEGUR"].asString(), code);
    EXPECT_TRUE(pedp["F_CON"].isNull());
}

TEST_F(PersonalRulesTest, SaveRefusals)
{
    Dataset &pedp = newRequest();
    // Not confirmed with the navigator.
    ui.clearRecord();
    EXPECT_FALSE(pedp.post());
    EXPECT_TRUE(ui.shown({{"Se han modificado los datos de este registro.\rPresione en el navegador el tilde para "
                           "grabar\ro la equis para cancelar.",
                           Ui::warningTitle()}}));
    EXPECT_EQ(pedp.state(), store::DatasetState::Insert);

    // Home delivery: a non-exempt request needs its home-delivery payment; the refusal leaves no consent behind.
    dm->homeDelivery = true;
    EXPECT_FALSE(save());
    EXPECT_TRUE(ui.shown({{personal::PersonalRules::homeDeliveryMessage(), Ui::warningTitle()}}));
    EXPECT_FALSE(dm->postConfirmed);
    pedp["C_TRAM"].setValue("6");
    EXPECT_TRUE(save()) << ui.messageTexts().join('|').toStdString();
}

TEST_F(PersonalRulesTest, SlipTypeCheckRunsOnlyWithTheWindowShownAndKeepsTheScratchImages)
{
    Dataset &pedp = newRequest();
    pedp["C_PAGO"].setValue("12000000001"); // type 2 on the slip, type 1 in the request
    touch("edit.zip");
    ui.setWindowVisible(personal::PersonalRules::windowName(), true);
    EXPECT_FALSE(save());
    EXPECT_TRUE(ui.shown({{personal::PersonalRules::slipTypeMessage(), Ui::warningTitle()}}));
    // Refused before anything was taken over: no number drawn, the scan still waiting.
    EXPECT_TRUE(pedp["C_PED"].isNull());
    EXPECT_TRUE(exists("edit.zip"));

    pedp["C_PAGO"].setValue("1");
    EXPECT_FALSE(save()); // a code too short to name a type never matches one

    pedp["C_PAGO"].setValue("12000000001");
    ui.setWindowVisible(personal::PersonalRules::windowName(), false); // as the Internet retrieval saves
    ASSERT_TRUE(save()) << ui.messageTexts().join('|').toStdString();
    const std::string card = "zp" + std::to_string(pedp["C_PED"].asInteger()) + ".7";
    EXPECT_TRUE(exists(card));
    EXPECT_FALSE(exists("edit.zip"));
}

// One check of a request about to be sent: the change that breaks it and the one message it must give
// (none when the request may be sent).
struct SendCase
{
    const char *name;
    std::function<void(Dataset &, store::Tdm &)> change;
    QString message; // empty: passes
};

TEST_F(PersonalRulesTest, CheckBeforeSending)
{
    const QDate today = clock.today();
    const QString age = QStringLiteral("El causante debe tener entre 16 y 99 años de edad.\rVerifique la fecha de "
                                       "nacimiento.");
    const auto set = [](const char *field, QVariant value) {
        return [field, value](Dataset &d, store::Tdm &) { d[QString::fromLatin1(field)].setValue(value); };
    };
    const auto setting = [](const char *key, const char *value, const char *field = nullptr, QVariant v = {}) {
        return [=](Dataset &d, store::Tdm &m) {
            ASSERT_TRUE(m.writeSetting(QString::fromLatin1(key), QString::fromLatin1(value)));
            if (field)
                d[QString::fromLatin1(field)].setValue(v);
        };
    };
    const SendCase cases[] = {
        {"complete", [](Dataset &, store::Tdm &) {}, {}},
        {"exempt with priority 1",
         [](Dataset &d, store::Tdm &) {
             d["C_TRAM"].setValue("6");
             d["C_PRIOR"].setValue(1);
         },
         "Los exentos deben tener prioridad 5 Dias."},
        {"exempt without priority",
         [](Dataset &d, store::Tdm &) {
             d["C_TRAM"].setValue("6");
             d["C_PRIOR"].clear();
         },
         "Los exentos deben tener prioridad 5 Dias."},
        {"exempt with priority 3", set("C_TRAM", "6"), {}},
        {"born 1899", set("F_NAC", QDate(1899, 12, 31)), "La Fecha de Nacimiento debe ser mayor a 1900"},
        {"born 1900 passes the year, not the age", set("F_NAC", QDate(1900, 1, 1)), age},
        {"exactly 16 years of 365 days", set("F_NAC", today.addDays(-16 * 365)), {}},
        {"a day short of 16", set("F_NAC", today.addDays(-16 * 365 + 1)), age},
        {"99 and 364 days", set("F_NAC", today.addDays(-100 * 365 + 1)), {}},
        {"100", set("F_NAC", today.addDays(-100 * 365)), age},
        {"born in the future", set("F_NAC", today.addDays(30)), age},
        {"no document type", set("C_TDOC", QVariant()), "Debe completar el campo \"Tipo de Documento\""},
        {"no document number", set("N_DOC", QVariant()), "Debe completar el campo \"Número de Documento\""},
        {"no birth date", set("F_NAC", QVariant()), "Debe completar el campo \"Fecha de Nacimiento\""},
        {"no procedure type",
         [](Dataset &d, store::Tdm &) {
             d["C_TRAM"].clear();
             d["C_PRIOR"].setValue(1);
         },
         "Debe completar el campo \"Tipo de Trámite\""},
        {"no payment date", set("F_PAGO", QVariant()), "Debe completar el campo \"Fecha de Pago\""},
        {"no payment date, exempt",
         [](Dataset &d, store::Tdm &) {
             d["C_TRAM"].setValue("6");
             d["F_PAGO"].clear();
         },
         {}},
        {"no payment date, not required", setting("m_fecpago", "N", "F_PAGO", QVariant()), {}},
        {"paid the same day", set("F_PAGO", today), {}},
        {"paid a day after", set("F_PAGO", today.addDays(1)),
         "ERROR: La fecha de pago debe ser anterior a la fecha del pedido"},
        {"paid 365 days before", set("F_PAGO", today.addDays(-365)), {}},
        {"paid 366 days before", set("F_PAGO", today.addDays(-366)),
         "ERROR: La fecha de pago no debe tener más de 365 días"},
        {"limit not a number", setting("dias_fpago", "un año", "F_PAGO", today.addDays(-366)),
         "ERROR: La fecha de pago no debe tener más de 365 días"},
        {"limit of 10 days", setting("dias_fpago", "10", "F_PAGO", today.addDays(-11)),
         "ERROR: La fecha de pago no debe tener más de 10 días"},
        {"apostrophe and Ñ", set("X_APE2", QStringLiteral("O'BRIEN MUÑOZ")), {}},
        {"accented vowel", set("X_NOM2", QStringLiteral("JOSÉ MARÍA")),
         QStringLiteral("JOSÉ MARÍA contiene caracteres que no son válidos\rSólo se acepta A .. Z y el apostrofe")},
        {"hyphen", set("X_APEMADR2", QStringLiteral("GARCIA-LOPEZ")),
         QStringLiteral("GARCIA-LOPEZ contiene caracteres que no son válidos\rSólo se acepta A .. Z y el apostrofe")},
        {"other surname is not checked", set("X_OAPE", QStringLiteral("GARCÍA")), {}},
        {"slip code without slip checking", set("C_PAGO", QStringLiteral("21000000001")), {}},
    };
    for (const SendCase &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(dm->writeSetting("m_fecpago", "S"));
        ASSERT_TRUE(dm->writeSetting("dias_fpago", "365"));
        Dataset &pedp = newRequest();
        c.change(pedp, *dm);
        ui.clearRecord();
        EXPECT_EQ(rules->ValidarEnvioPedp(), c.message.isEmpty());
        if (c.message.isEmpty())
            EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
        else
            EXPECT_TRUE(ui.shown({{c.message, Ui::warningTitle()}}));
        pedp.cancel();
    }
}

TEST_F(PersonalRulesTest, ApplyingASlipCode)
{
    Dataset &pedp = newRequest();
    ASSERT_TRUE(save());
    const QDate paid = pedp["F_PAGO"].asDate();

    // A type the table lacks: the row goes into edit and nothing else changes.
    EXPECT_FALSE(rules->AplicarCodigoBoleta("19000000001"));
    EXPECT_TRUE(ui.shown({{personal::PersonalRules::unknownTypeMessage(), Ui::warningTitle()}}));
    EXPECT_EQ(pedp.state(), store::DatasetState::Edit);
    EXPECT_EQ(pedp["C_TRAM"].asString(), "1");
    EXPECT_EQ(pedp["F_PAGO"].asDate(), paid);

    EXPECT_TRUE(rules->AplicarCodigoBoleta("12000000001"));
    EXPECT_EQ(pedp["C_TRAM"].asString(), "2");
    EXPECT_EQ(pedp["C_PRIOR"].asInteger(), 2);
    EXPECT_EQ(pedp["C_BANCO"].asInteger(), 2);
    EXPECT_EQ(pedp["F_PAGO"].asDate(), paid); // slip checking off: the date is not asked for

    EXPECT_TRUE(rules->AplicarCodigoBoleta("16000000003"));
    EXPECT_EQ(pedp["C_TRAM"].asString(), "6");
    EXPECT_EQ(pedp["C_PRIOR"].asInteger(), 3);
    EXPECT_TRUE(pedp["C_BANCO"].isNull());
    EXPECT_TRUE(pedp["F_PAGO"].isNull());
}

TEST(ProcedureReply, Items)
{
    using Items = QList<QPair<QString, QString>>;
    using personal::SlipLookup;
    EXPECT_EQ(SlipLookup::parseProcedureReply("x_ape1=PEREZ|"), (Items{{"x_ape1", "PEREZ"}}));
    EXPECT_EQ(SlipLookup::parseProcedureReply("x_ape1=PEREZ|x_nom1=JUAN"), (Items{{"x_ape1", "PEREZ"}}));
    EXPECT_EQ(SlipLookup::parseProcedureReply("x_ape1=|n_doc=1=2|"), (Items{{"x_ape1", ""}, {"n_doc", "1=2"}}));
    EXPECT_TRUE(SlipLookup::parseProcedureReply("sin separador").isEmpty());
    EXPECT_TRUE(SlipLookup::parseProcedureReply("").isEmpty());
}

TEST(SecurityCode, TenUpperCaseHexDigitsNeverRepeated)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-F]{10}$"));
    QSet<QString> seen;
    for (int i = 0; i < 10000; ++i) {
        const QString code = personal::GenerarCodigoSeguridad(10);
        ASSERT_TRUE(hex.match(code).hasMatch()) << code.toStdString();
        seen.insert(code);
    }
    EXPECT_EQ(seen.size(), 10000);
}

TEST(SecurityCode, LongestCodeLeavesOutTheLastDigit)
{
    // 31 digits can only start at the first: the version digit (13th of the GUID) and the variant digit (17th)
    // show where the code was cut, and the 32nd digit is never part of it.
    for (int i = 0; i < 200; ++i) {
        const QString code = personal::GenerarCodigoSeguridad(31);
        ASSERT_EQ(code.size(), 31);
        EXPECT_EQ(code.at(12), QLatin1Char('4'));
        EXPECT_TRUE(QStringLiteral("89AB").contains(code.at(16))) << code.toStdString();
    }
    EXPECT_TRUE(personal::GenerarCodigoSeguridad(0).isEmpty());
    EXPECT_TRUE(personal::GenerarCodigoSeguridad(32).isEmpty());
}

} // namespace
