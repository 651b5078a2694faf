#include "unit/official/CourtOfficeFixture.h"

#include "exchange/RequestFile.h"
#include "exchange/RequestSender.h"
#include "platform/net/NetworkIdentity.h"

#include <QFile>

using namespace tav;
using exchange::RequestFile;
using store::Dataset;

namespace {

QByteArray crlf(const QString &lines)
{
    QString text = lines;
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text.toLatin1(); // every expected character is in Latin-1, which Windows-1252 shares here
}

class RequestFileTest : public test::CourtOfficeFixture
{
protected:
    void SetUp() override { CourtOfficeFixture::SetUp(); }

    void enterRequest(int organisation)
    {
        Dataset &ped = *dm->ped;
        ped.insert();
        ped["C_ORG"].setValue(organisation);
        if (organisation != 1) { // an organisation that does not exist fills no address
            ped["X_DOM"].setValue("AV. SIEMPREVIVA 742");
            ped["X_LOC"].setValue("CORDOBA");
            ped["C_PROV"].setValue(4);
            ped["C_CODPOS"].setValue(5000);
        }
        ped["C_NAC"].setValue(1);
        ped["C_SEXO"].setValue("M");
        ped["C_TDOC"].setValue("DU");
        ped["X_SEC"].setValue("SECRETARIA 2");
        ped["X_DELITO"].setValue("ROBO CALIFICADO");
        ped["N_PRONT"].setValue(1234);
        ped["X_APE1"].setValue(QStringLiteral("PEÑA"));
        ped["X_NOM1"].setValue("JUAN");
        ped["X_NOM2"].setValue("CARLOS");
        ped["F_NAC"].setValue(QDate(1980, 5, 17));
        ped["N_DOC"].setValue(12345678);
        ped["C_PROVCI"].setValue(2);
        ped["X_NOMPADR1"].setValue("PEDRO");
        ped["X_APEMADR1"].setValue("GOMEZ");
        ped["X_NOMMADR1"].setValue("MARIA");
        ped["C_PRIOR"].setValue(1);
        ped["N_CAUSA"].setValue("123/26");
        ped["C_TDEL"].setValue(101);
        ped["M_TOMA_VAZ"].setValue(true);
        dm->postConfirmed = true;
        ASSERT_TRUE(ped.post()) << ui.messageTexts().join('|').toStdString();
    }

    void addAlias(const QString &surname, const QString &name)
    {
        Dataset &sup = *dm->sup;
        sup.insert();
        sup["X_APE1"].setValue(surname);
        sup["X_NOM1"].setValue(name);
        ASSERT_TRUE(sup.post()) << ui.messageTexts().join('|').toStdString();
    }

    static QString officialFields(const QString &organisation)
    {
        return QStringLiteral("[DATA]\n"
                              "c_ped=1\nc_sexo=M\nc_tdoc=DU\nc_nac=1\nc_prov=4\nc_org=%1\nf_ped=10/12/2026\n"
                              "x_sec=SECRETARIA 2\nx_dom=AV. SIEMPREVIVA 742\nc_codpos=5000\nx_loc=CORDOBA\n"
                              "x_delito=ROBO CALIFICADO\nn_pront=1234\nx_ape1=PEÑA\nx_ape2=\nx_nom1=JUAN\n"
                              "x_nom2=CARLOS\nx_nom3=\nf_nac=17/05/1980\nn_edad=\nn_doc=12345678\nc_provci=2\n"
                              "x_nompadr1=PEDRO\nx_nompadr2=\nx_nompadr3=\nx_apemadr1=GOMEZ\nx_apemadr2=\n"
                              "x_nommadr1=MARIA\nx_nommadr2=\nx_nommadr3=\nm_enviado=False\nm_contesta=False\n"
                              "x_obs=\nc_reg=7\nn_expe=\nf_con=\nc_prior=1\nn_causa=123/26\nc_est=I\nc_tdel=101\n"
                              "c_carped=C\nx_expp=BUENOS AIRES\nc_clasder=_____\nc_clasizq=_____\n"
                              "m_especial=False\nm_menor=False\nx_rechazo=\nc_version=2.32\nn_ref=\nc_prefijo=\n"
                              "c_sufijo=\nx_email=\nm_exc_art51=False\nm_tomada_vaz=True\n")
            .arg(organisation);
    }
};

TEST_F(RequestFileTest, OfficialRequestWithAliasesIsWrittenByteForByte)
{
    enterRequest(1);
    addAlias(QStringLiteral("PEREZ"), QStringLiteral("JUAN"));
    addAlias(QStringLiteral("MUÑOZ"), QStringLiteral("JOSE"));
    addAlias(QStringLiteral("DIAZ"), QStringLiteral("PEDRO"));
    const QString alias = QStringLiteral("[SUP%1]\nc_ped=1\nc_reg=7\nx_ape1=%2\nx_ape2=\nx_nom1=%3\nx_nom2=\nx_nom3=\n"
                                         "c_prov=4\n");
    const QByteArray expected =
        crlf(officialFields("1") + QStringLiteral("x_org=JUZGADO FEDERAL 1\n") + alias.arg(1).arg("PEREZ", "JUAN") +
             alias.arg(2).arg(QStringLiteral("MUÑOZ"), "JOSE") + alias.arg(3).arg("DIAZ", "PEDRO"));
    const QByteArray written = RequestFile::official(*dm);
    EXPECT_EQ(written, expected);
    // Windows-1252 on disk: Ñ is the one byte 0xD1.
    EXPECT_TRUE(written.contains("x_ape1=PE\xD1"
                                 "A\r\n"));
}

TEST_F(RequestFileTest, RequestWithoutKnownOrganisationOrAliasesHasNeitherLine)
{
    enterRequest(55);
    EXPECT_EQ(RequestFile::official(*dm), crlf(officialFields("55")));
}

TEST_F(RequestFileTest, StatusRequestFile)
{
    ASSERT_TRUE(dm->writeSetting("c_reg", "12"));
    ASSERT_TRUE(dm->writeSetting("c_regp", "X1"));
    EXPECT_EQ(RequestFile::statusRequest(*dm), QByteArray("[DATA]\r\nc_reg=12\r\nc_regp=0\r\n"));
}

TEST_F(RequestFileTest, PersonalRequestAndCorrectionDifferOnlyInTheExceptionField)
{
    Dataset &pedp = *dm->pedp;
    dm->postConfirmed = true;
    pedp.insert();
    pedp["C_PED"].setValue(44);
    pedp["C_REG"].setValue(7);
    pedp["X_APE1"].setValue("LOPEZ");
    pedp["N_EXPE"].setValue(900);
    pedp["C_EST"].setValue("D");
    pedp["C_SEXO"].setValue("F");
    pedp["M_EXCART51"].setValue(true);
    ASSERT_TRUE(pedp.post()) << ui.messageTexts().join('|').toStdString();
    net::NetworkIdentity id{"52:54:00:12:34:56", "10.0.0.5", "puesto1"};
    const QString request = QString::fromLatin1(RequestFile::personal(*dm, RequestFile::PersonalKind::Request, id));
    const QString correction =
        QString::fromLatin1(RequestFile::personal(*dm, RequestFile::PersonalKind::Correction, id));
    EXPECT_TRUE(request.startsWith("[DATA]\r\nc_ped=44\r\nc_sexo=F\r\n"));
    EXPECT_TRUE(request.contains("\r\nc_pedido=W900\r\nx_nac=\r\n"));       // calculated, then the lookups
    EXPECT_TRUE(request.contains("\r\nx_sexo=FEMENINO\r\nc_prefijo=\r\n")); // a lookup with its text
    EXPECT_FALSE(request.contains("m_excart51="));
    EXPECT_TRUE(request.endsWith("x_est=A CORREGIR\r\nm_exc_art51=True\r\nMAC=52:54:00:12:34:56\r\n"
                                 "IP=10.0.0.5\r\nHost=puesto1\r\n"))
        << request.right(200).toStdString();
    EXPECT_TRUE(correction.contains("\r\nc_clasizq=\r\nm_excart51=True\r\nx_rechazo=\r\n"));
    QString withoutField = correction;
    withoutField.remove(QStringLiteral("m_excart51=True\r\n"));
    EXPECT_EQ(withoutField, request);
}

TEST_F(RequestFileTest, AttachmentOrderRules)
{
    enterRequest(1);
    exchange::RequestSender sender(*dm, {});
    const auto writeFile = [&](const QString &name, const QByteArray &bytes) {
        QFile f(QString::fromStdString((dir / name.toStdString()).string()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    const auto read = [&](const QString &name) {
        QFile f(QString::fromStdString((dir / name.toStdString()).string()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(ninguno)");
    };
    // A card kept in the record only, as older offices have it (the save rules would move it to a file, so
    // they are left out of the saves here): it is written out as huella.tif.
    const auto quiet = dm->ped->beforePost.suspend();
    dm->ped->edit();
    dm->ped->field("B_HUELLA").setValue(QByteArray("blob-card"));
    ASSERT_TRUE(dm->ped->post());
    EXPECT_EQ(sender.prepareOfficialAttachments(), QStringList({"ped.dat", "huella.tif"}));
    EXPECT_EQ(read("huella.tif"), QByteArray("blob-card"));

    writeFile("h1.7", "tif-card");
    writeFile("d1.7", "documents");
    EXPECT_EQ(sender.prepareOfficialAttachments(), QStringList({"ped.dat", "huella.tif", "docu.tif"}));
    EXPECT_EQ(read("huella.tif"), QByteArray("tif-card"));
    EXPECT_EQ(read("docu.tif"), QByteArray("documents"));

    // The live-scan card wins over the image; the stale copies are gone.
    writeFile("z1.7", "zip-card");
    EXPECT_EQ(sender.prepareOfficialAttachments(), QStringList({"ped.dat", "huella.zip", "docu.tif"}));
    EXPECT_FALSE(exists("huella.tif"));
    EXPECT_EQ(read("huella.zip"), QByteArray("zip-card"));

    // No documentation: no docu.tif, and an old copy is removed.
    std::filesystem::remove(dir / "d1.7");
    EXPECT_EQ(sender.prepareOfficialAttachments(), QStringList({"ped.dat", "huella.zip"}));
    EXPECT_FALSE(exists("docu.tif"));

    // A nominative request without a card sends only its data (and documents when present).
    dm->ped->edit();
    dm->ped->field("C_CARPED").setValue("N");
    ASSERT_TRUE(dm->ped->post());
    writeFile("d1.7", "documents");
    EXPECT_EQ(sender.prepareOfficialAttachments(), QStringList({"ped.dat", "docu.tif"}));
}

TEST_F(RequestFileTest, PersonalAttachmentsPutDocumentsFirst)
{
    Dataset &pedp = *dm->pedp;
    dm->postConfirmed = true;
    pedp.insert();
    pedp["C_PED"].setValue(44);
    pedp["C_REG"].setValue(7);
    ASSERT_TRUE(pedp.post());
    exchange::RequestSender sender(*dm, {});
    touch("hp44.7");
    EXPECT_EQ(sender.preparePersonalAttachments(), QStringList({"ped.dat", "huella.tif"}));
    touch("dp44.7");
    touch("zp44.7");
    EXPECT_EQ(sender.preparePersonalAttachments(), QStringList({"docu.tif", "ped.dat", "huella.zip"}));
}

} // namespace
