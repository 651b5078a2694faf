#include "unit/store/OfficeFixture.h"

#include "official/OfficialRules.h"
#include "reports/SpanishDate.h"
#include "reports/TrpOficio.h"

#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace tav;

TEST(SpanishDate, MonthNamesWhateverTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(reports::spanishLongDate(QDate(2026, 12, 10)), "10 de diciembre de 2026");
    EXPECT_EQ(reports::spanishLongDate(QDate(2027, 1, 5)), "05 de enero de 2027");
    EXPECT_EQ(reports::spanishLongDate(QDate()), "");
    QLocale::setDefault(saved);
}

namespace {

class TrpOficioTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        rules = std::make_unique<official::OfficialRules>(*dm);
        dm->postConfirmed = true;
        auto &org = *dm->org;
        org.insert();
        org["X_ORG"].setValue("JUZGADO FEDERAL EN LO CRIMINAL Nº 3");
        org["X_DOM"].setValue("COMODORO PY 2002");
        org["X_LOC"].setValue("CAPITAL FEDERAL");
        org["C_PROV"].setValue(1);
        org["C_CODPOS"].setValue(1104);
        ASSERT_TRUE(org.post());
    }
    std::unique_ptr<official::OfficialRules> rules;
};

QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    if (!p.waitForFinished(20000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST_F(TrpOficioTest, LetterOfARequestWithTwoAliases)
{
    auto &ped = *dm->ped;
    ped.insert();
    ped["C_ORG"].setValue(1);
    ped["X_SEC"].setValue("SECRETARIA 5");
    ped["C_NAC"].setValue(1);
    ped["C_SEXO"].setValue("M");
    ped["X_APE1"].setValue("GOMEZ");
    ped["X_APE2"].setValue("PAZ");
    ped["X_NOM1"].setValue("JUAN");
    ped["X_NOM2"].setValue("CARLOS");
    ped["C_PRIOR"].setValue(1);
    ped["C_TDEL"].setValue(202);
    ped["N_CAUSA"].setValue("4512/2026");
    ped["N_DOC"].setValue(20123456);
    ped["F_NAC"].setValue(QDate(1980, 3, 4));
    ped["X_NOMPADR1"].setValue("PEDRO");
    ped["X_APEMADR1"].setValue("RUIZ");
    ped["X_NOMMADR1"].setValue("ANA");
    dm->postConfirmed = true;
    ASSERT_TRUE(ped.post()) << ui.messageTexts().join(" | ").toStdString();

    auto &sup = *dm->sup;
    for (auto [ape, nom] : {std::pair{"LOPEZ", "JUAN"}, {"PEREZ", "JUAN JOSE"}}) {
        sup.insert();
        sup["X_APE1"].setValue(ape);
        sup["X_NOM1"].setValue(nom);
        ASSERT_TRUE(sup.post());
    }

    const auto data = reports::OficioData::fromDm(*dm);
    EXPECT_EQ(data.surnames, "GOMEZ PAZ o  LOPEZ o  PEREZ");
    EXPECT_EQ(data.names, "JUAN CARLOS o  JUAN o  JUAN JOSE");
    EXPECT_EQ(data.province, "CAPITAL FEDERAL");
    EXPECT_EQ(data.offence, "ROBO");
    EXPECT_TRUE(data.issuer.isEmpty()) << "no issuing province, no issuer box";

    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    reports::TrpOficio letter(data);
    const QString pdf = QString::fromStdString((dir / "oficio.pdf").string());
    ASSERT_TRUE(letter.writePdf(pdf));
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QRegularExpression("GOMEZ PAZ o +LOPEZ o +PEREZ"))) << text.toStdString();
    EXPECT_TRUE(text.contains("CAPITAL FEDERAL, 10 de diciembre de 2026")) << text.toStdString();
    for (const char *label :
         {"PEDIDO DE INFORMES SOBRE CONDENAS", "ORGANISMO REQUIRENTE", "DATOS DEL CAUSANTE",
          "JUZGADO FEDERAL EN LO CRIMINAL", "Sello del Organismo", "Firma del Oficiante", "20123456", "04/03/1980"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(label))) << label;
    EXPECT_FALSE(text.contains("Exp. Por:"));

    // The letter shows the stored request: a change not yet saved is left out until it is saved.
    ped.edit();
    ped["C_PROVCI"].setValue(4);
    ped["X_APE1"].setValue("CAMBIADO");
    EXPECT_TRUE(reports::OficioData::fromDm(*dm).issuer.isEmpty());
    EXPECT_EQ(reports::OficioData::fromDm(*dm).surnames, "GOMEZ PAZ o  LOPEZ o  PEREZ");
    ped["X_APE1"].setValue("GOMEZ");
    dm->postConfirmed = true;
    ASSERT_TRUE(ped.post());
    EXPECT_EQ(reports::OficioData::fromDm(*dm).issuer, "CORDOBA");
}

TEST_F(TrpOficioTest, EveryLongAliasIsPrinted)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    auto &ped = *dm->ped;
    ped.insert();
    for (auto [name, value] : std::initializer_list<std::pair<const char *, QVariant>>{{"C_ORG", 1},
                                                                                       {"C_NAC", 1},
                                                                                       {"C_SEXO", "M"},
                                                                                       {"X_APE1", "FERNANDEZ"},
                                                                                       {"X_APE2", "SALVATIERRA"},
                                                                                       {"X_NOM1", "MAXIMILIANO"},
                                                                                       {"X_NOM2", "BARTOLOME"},
                                                                                       {"X_NOM3", "GUILLERMO"},
                                                                                       {"C_PRIOR", 1},
                                                                                       {"C_TDEL", 202}})
        ped[name].setValue(value);
    dm->postConfirmed = true;
    ASSERT_TRUE(ped.post()) << ui.messageTexts().join(" | ").toStdString();
    // Four aliases with every name at its longest (15 characters).
    const QStringList surnames{"ALVAREZCASTILLO", "BUSTAMANTEROJAS", "CARRIZOVALDEZAA", "DOMINGUEZQUIROG"};
    const QStringList secondSurnames{"ECHEVERRIAPAZZZ", "FIGUEROAMENDOZA", "GALLARDOSOSAAAA", "HERRERAVILLALBA"};
    const QStringList names{"ISIDOROAUGUSTOO", "JUANBAUTISTAAAA", "LEOPOLDOMARTINN", "NICOLASEDUARDOO"};
    auto &sup = *dm->sup;
    for (int i = 0; i < 4; ++i) {
        sup.insert();
        sup["X_APE1"].setValue(surnames[i]);
        sup["X_APE2"].setValue(secondSurnames[i]);
        sup["X_NOM1"].setValue(names[i]);
        sup["X_NOM2"].setValue("SEGUNDONOMBREEE");
        sup["X_NOM3"].setValue("TERCERNOMBREEEE");
        ASSERT_TRUE(sup.post());
    }
    reports::TrpOficio letter(reports::OficioData::fromDm(*dm));
    const QString pdf = QString::fromStdString((dir / "oficio.pdf").string());
    ASSERT_TRUE(letter.writePdf(pdf));
    const QString text = pdfText(pdf);
    for (const QStringList *list : {&surnames, &secondSurnames, &names})
        for (const QString &word : *list)
            EXPECT_TRUE(text.contains(word)) << word.toStdString() << "\n" << text.toStdString();
    EXPECT_EQ(text.count("TERCERNOMBREEEE"), 4);
    // Each text stays inside its own box: the surnames end before the names' box, the names before
    // the next box.
    EXPECT_LT(text.indexOf("HERRERAVILLALBA"), text.indexOf("Nombre(s):"));
    EXPECT_GT(text.indexOf("ISIDOROAUGUSTOO"), text.lastIndexOf("HERRERAVILLALBA"));
    EXPECT_LT(text.lastIndexOf("TERCERNOMBREEEE"), text.indexOf("Sexo:"));
    // Everything below the names is still on the page.
    for (const char *label : {"Nombres de la Madre:", "Sello del Organismo", "Firma del Oficiante"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(label))) << label;
}
