#include "unit/store/OfficeFixture.h"

#include "reports/Code39.h"
#include "reports/RegistryTexts.h"
#include "reports/TrpCompr.h"
#include "reports/TrpContesPriv.h"
#include "reports/TrpFicha.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace tav;

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool have(const char *program)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

class RequestReportsTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
    }
    QString path(const std::string &name) const { return QString::fromStdString((dir / name).string()); }

    // A saved personal request with every field the receipt shows.
    void addRequest(std::initializer_list<std::pair<const char *, QVariant>> changes = {})
    {
        auto &pedp = *dm->pedp;
        pedp.insert();
        for (auto [name, value] : std::initializer_list<std::pair<const char *, QVariant>>{
                 {"C_PED", 1234},
                 {"C_REG", 5},
                 {"X_APE1", "GOMEZ"},
                 {"X_APE2", "PAZ"},
                 {"X_NOM1", "JUAN"},
                 {"X_NOM2", "CARLOS"},
                 {"C_SEXO", "M"},
                 {"C_NAC", 1},
                 {"F_NAC", QDate(1980, 3, 4)},
                 {"C_TDOC", "DU"},
                 {"C_PREFIJO", "AR"},
                 {"N_DOC", 20123456},
                 {"C_SUFIJO", "X9"},
                 {"C_EXPP", "PF"},
                 {"X_NOMPADR1", "PEDRO"},
                 {"X_NOMPADR2", "LUIS"},
                 {"X_APEMADR1", "RUIZ"},
                 {"X_APEMADR2", "SOSA"},
                 {"X_NOMMADR1", "ANA"},
                 {"C_TRAM", "2"},
                 {"F_PED", QDate(2026, 12, 9)},
                 {"C_PAGO", "0012345678901234"},
                 {"C_SEGUR", "A1B2C3D4E5"},
             })
            pedp[name].setValue(value);
        for (auto [name, value] : changes)
            pedp[name].setValue(value);
        dm->postConfirmed = true;
        ASSERT_TRUE(pedp.post()) << ui.messageTexts().join(" | ").toStdString();
    }

    // The texts of the first page, laid out as printed.
    QString pdfText(const QString &pdf) { return run("pdftotext", {"-layout", pdf, "-"}); }
    // Every bar code found on the first page rendered at 300 dpi, sorted and joined by commas.
    std::string barcodes(const QString &pdf)
    {
        const QString prefix = path("page");
        run("pdftoppm", {"-r", "300", "-gray", "-png", "-singlefile", pdf, prefix});
        QStringList found = run("zbarimg", {"--raw", "-q", prefix + ".png"}).split('\n', Qt::SkipEmptyParts);
        QFile::remove(prefix + ".png");
        found.sort();
        return found.join(',').toStdString();
    }
};

} // namespace

TEST_F(RequestReportsTest, ReceiptShowsTheRequestAndItsBarCodesDecode)
{
    addRequest();
    reports::ComprData data = reports::ComprData::fromDm(*dm);
    EXPECT_EQ(data.requestBarcode(), "1234/5");
    EXPECT_EQ(data.barcodeCaption(), "Regional:5 - Pedido:1234");
    EXPECT_EQ(data.documentText(), "AR 20123456 X9");
    EXPECT_EQ(data.issuer, "POLICIA FEDERAL");
    EXPECT_EQ(data.procedure, "URGENTE");
    EXPECT_EQ(data.surnames, "GOMEZ PAZ");
    EXPECT_EQ(data.motherSurnames, "RUIZ SOSA");
    EXPECT_EQ(data.securityCode, "A1B2C3D4E5");
    EXPECT_EQ(data.certificateUrl, reports::RegistryTexts::defaultCertificateUrl()) << "url_cert empty";
    dm->writeSetting("url_cert", "https://cert.oficina.example/tav");
    data = reports::ComprData::fromDm(*dm);
    EXPECT_EQ(data.certificateUrl, "https://cert.oficina.example/tav");

    if (!have("pdftotext") || !have("pdftoppm"))
        GTEST_SKIP() << "poppler-utils is not installed";
    reports::TrpCompr receipt(data);
    const QString pdf = path("compr.pdf");
    ASSERT_TRUE(receipt.writePdf(pdf));
    const QString text = pdfText(pdf);
    EXPECT_EQ(text.count("Comprobante del Trámite de Antecedentes Penales"), 2) << text.toStdString();
    for (const char *expected :
         {"Regional:5 - Pedido:1234", "GOMEZ PAZ", "JUAN CARLOS", "04/03/1980", "DOCUMENTO UNICO", "POLICIA FEDERAL",
          "PEDRO LUIS", "RUIZ SOSA", "URGENTE", "09/12/2026", "0012345678901234", "Firma del Solicitante",
          "Iniciado en una sucursal TAV", "Código de Seguridad:", "A1B2C3D4E5", "https://cert.oficina.example/tav",
          "y desde el menú elegir la opción:", "www.tav-central.example", "0800-555-0182"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("Número +AR 20123456 X9")));
    EXPECT_TRUE(text.contains(QRegularExpression("Pedido: +1234 +Regional: +5")));

    if (!have("zbarimg"))
        GTEST_SKIP() << "zbar-tools is not installed";
    EXPECT_EQ(barcodes(pdf), "1234/5,A1B2C3D4E5");
}

TEST_F(RequestReportsTest, ReceiptWithoutPrefixSuffixOrIssuer)
{
    addRequest({{"C_PREFIJO", QVariant()}, {"C_SUFIJO", QVariant()}, {"C_EXPP", QVariant()}});
    const reports::ComprData data = reports::ComprData::fromDm(*dm);
    EXPECT_EQ(data.documentText(), "20123456");
    EXPECT_TRUE(data.issuer.isEmpty());
    if (!have("pdftotext"))
        GTEST_SKIP() << "poppler-utils is not installed";
    reports::TrpCompr receipt(data);
    ASSERT_TRUE(receipt.writePdf(path("compr.pdf")));
    const QString text = pdfText(path("compr.pdf"));
    EXPECT_TRUE(text.contains(QRegularExpression("Número +20123456\\s*\\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("Expedido Por:\\s*\\n"))) << text.toStdString();
    EXPECT_FALSE(text.contains("POLICIA"));
}

TEST_F(RequestReportsTest, NoReceiptForAnEmptyTable)
{
    ASSERT_TRUE(dm->pedp->isEmpty());
    reports::TrpCompr receipt(reports::ComprData::fromDm(*dm));
    EXPECT_EQ(receipt.pageCount(), 0);
    EXPECT_FALSE(receipt.writePdf(path("compr.pdf")));
    EXPECT_FALSE(QFile::exists(path("compr.pdf")));
}

TEST(Code39, RefusesWhatItCannotCode)
{
    EXPECT_TRUE(reports::Code39::encode("1234/5").isValid());
    for (const char *text : {"", "12*34", "ÑANDU", "a@b"}) {
        const reports::Code39 code = reports::Code39::encode(QString::fromUtf8(text));
        EXPECT_FALSE(code.isValid()) << text;
        EXPECT_FALSE(code.error.isEmpty()) << text;
    }
}

TEST_F(RequestReportsTest, AnswerLetterWithItsResult)
{
    struct Case
    {
        const char *res;
        const char *result;
    };
    // "R" (answered by mail) and an unknown code have no row in `res`: the result stays empty.
    for (const Case &c : {Case{"N", "SIN ANTECEDENTES"}, Case{"S", "CON ANTECEDENTES"}, Case{"R", ""}, Case{"", ""}}) {
        SCOPED_TRACE(c.res);
        auto &pedp = *dm->pedp;
        while (!pedp.isEmpty()) {
            pedp.first();
            dm->postConfirmed = true;
            ASSERT_TRUE(pedp.remove());
        }
        addRequest(
            {{"N_EXPE", 99001}, {"N_CERT", "RR123456789AR"}, {"X_OBS", "RETIRAR EN CORREO CENTRAL"}, {"C_RES", c.res}});
        const reports::ContesPrivData data = reports::ContesPrivData::fromDm(*dm);
        EXPECT_EQ(data.result, c.result);
        EXPECT_EQ(data.request, "1234");
        EXPECT_EQ(data.fileNumber, "99001");
        EXPECT_EQ(data.printed, QDate(2026, 12, 10));
    }

    if (!have("pdftotext"))
        GTEST_SKIP() << "poppler-utils is not installed";
    reports::TrpContesPriv letter(reports::ContesPrivData::fromDm(*dm));
    ASSERT_TRUE(letter.writePdf(path("contes.pdf")));
    const QString text = pdfText(path("contes.pdf"));
    for (const char *expected :
         {"MINISTERIO DE JUSTICIA", "REGISTRO CENTRAL DE ANTECEDENTES PENALES", "Capital Federal, 10/12/2026",
          "Contestación de Pedido Personal", "Pedido de Antecedentes enviado por carta Certificada", "GOMEZ PAZ",
          "JUAN CARLOS", "RR123456789AR", "RETIRAR EN CORREO CENTRAL"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("Código de Pedido +1234")));
    EXPECT_TRUE(text.contains(QRegularExpression("Número de Expediente +99001")));
    EXPECT_TRUE(text.contains(QRegularExpression("Resultado:\\s*\\n"))) << "no result for an unknown code";
}

TEST_F(RequestReportsTest, CardSheetRefusesAMissingOrUnreadableImage)
{
    reports::TrpFicha sheet;
    QString error;
    const QString missing = path("1234_5.bmp");
    EXPECT_FALSE(sheet.setImageFile(missing, &error));
    EXPECT_EQ(error, QStringLiteral("Imágen: \"") + missing + QStringLiteral("\" inexistente."));
    EXPECT_FALSE(sheet.setImageFile(QString(), &error));
    EXPECT_EQ(error, "Imágen: \"\" inexistente.");

    touch("roto.bmp");
    EXPECT_FALSE(sheet.setImageFile(path("roto.bmp"), &error));
    EXPECT_TRUE(error.startsWith("Imágen: \"")) << error.toStdString();
    EXPECT_TRUE(sheet.image().isNull());
}

TEST_F(RequestReportsTest, CardSheetIsLandscapeWithTheImageStretched)
{
    addRequest();
    reports::FichaData data = reports::FichaData::fromDm(*dm);
    EXPECT_EQ(data.caption, "Ped:1234 Reg:5");
    EXPECT_EQ(QFileInfo(data.imageFile).fileName(), "1234_5.bmp");
    // A wide card: kept in its proportions it would leave the lower part of the frame empty.
    QImage card(800, 200, QImage::Format_Grayscale8);
    card.fill(60);
    ASSERT_TRUE(card.save(data.imageFile, "BMP"));
    reports::TrpFicha sheet;
    QString error;
    ASSERT_TRUE(sheet.set(data, &error)) << error.toStdString();

    const QImage page = sheet.renderPage(0, 50);
    EXPECT_GT(page.width(), page.height());
    for (const QPointF at : {QPointF(0.5, 0.5), QPointF(0.9, 0.85), QPointF(0.1, 0.8)})
        EXPECT_LT(qGray(page.pixel(int(at.x() * page.width()), int(at.y() * page.height()))), 100)
            << at.x() << "," << at.y();

    if (!have("pdftotext") || !have("pdfinfo"))
        GTEST_SKIP() << "poppler-utils is not installed";
    ASSERT_TRUE(sheet.writePdf(path("ficha.pdf")));
    EXPECT_TRUE(pdfText(path("ficha.pdf")).contains("Ped:1234 Reg:5"));
    const QRegularExpressionMatch size =
        QRegularExpression("Page size: +([0-9.]+) x ([0-9.]+)").match(run("pdfinfo", {path("ficha.pdf")}));
    ASSERT_TRUE(size.hasMatch());
    EXPECT_GT(size.captured(1).toDouble(), size.captured(2).toDouble()) << "landscape";
}
