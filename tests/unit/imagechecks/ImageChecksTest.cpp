#include "capture/ImageChecks.h"
#include "platform/imaging/ImageFile.h"
#include "support/TestDir.h"
#include "unit/imaging/TestImages.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tav::imaging;
using tav::capture::CheckOutcome;
using tav::capture::ImageChecks;
using tav::test::TestDir;

namespace {

const QString kCardTooWide = QStringLiteral("La huella digitalizada debe tener menos de 25 cm. de ancho");
const QString kCardTooShort = QStringLiteral("La huella digitalizada debe tener por lo menos 5 cm. de alto");
const QString kCardTooTall = QStringLiteral("La huella digitalizada debe tener menos de 15 cm. de alto");
const QString kCardTooNarrow = QStringLiteral("La huella digitalizada debe tener por lo menos 15 cm. de ancho");
const QString kCardResolution = QStringLiteral("La resolución de la huella debe ser de 300 puntos por pulgada (DPI)");
const QString kCardQuality = QStringLiteral("La huella debe utilizar la compresión JPEG calidad media");
const QString kCardJpeg = QStringLiteral("La huella debe utilizar la compresión JPEG");
const QString kCardGray = QStringLiteral("La huella debe digitalizarse en 256 tonos de gris");
const QString kCardTiff = QStringLiteral("La huella debe guardarse en formato TIFF");
const QString kDocA4 = QStringLiteral("La imagen debe estar en tamaño A4 a 300 puntos por pulgada");
const QString kDocCompression = QStringLiteral("La documentación debe utilizar la compresión Group4(2D - FAX) o JPEG");
const QString kDocPageType = QStringLiteral("La documentación debe digitalizarse en blanco y negro o escala de grises");
const QString kDocTiff = QStringLiteral("La documentación debe guardarse en formato TIFF");

const Encoding kGrayNone{FileType::Tiff, PageType::Gray8, CompressionType::None, CompressionInfo::None};
const Encoding kBwNone{FileType::Tiff, PageType::BlackWhite, CompressionType::None, CompressionInfo::None};
const Encoding kRgbNone{FileType::Tiff, PageType::Rgb24, CompressionType::None, CompressionInfo::None};

// A generated file: written by the image layer with an encoding, or as a grey JPEG TIFF of any IJG quality.
struct Sample
{
    const char *name;
    int width;
    int height;
    Encoding encoding = Encoding::tiffGrayJpegMedium();
    int jpegQuality = 0; // when set, a JPEG TIFF of this quality
    double xdpi = 300;
    double ydpi = 300;
};

QString make(const TestDir &dir, const Sample &s)
{
    const QString path = QString::fromStdString((dir / (std::string(s.name) + ".img")).string());
    if (s.jpegQuality > 0) {
        EXPECT_TRUE(tav::test::writeJpegTiff(path, s.width, s.height, s.jpegQuality, float(s.xdpi), float(s.ydpi)));
        return path;
    }
    Page page = tav::test::grayPage(s.width, s.height);
    page.xResolution = s.xdpi;
    page.yResolution = s.ydpi;
    QString error;
    EXPECT_TRUE(ImageFile::save(page, path, s.encoding, &error)) << error.toStdString();
    return path;
}

void expectOutcome(const CheckOutcome &o, const QString &message)
{
    EXPECT_TRUE(o.fileExists);
    EXPECT_EQ(o.passed, message.isEmpty());
    EXPECT_EQ(o.message, message);
    EXPECT_EQ(o.title, message.isEmpty() ? QString() : QStringLiteral("Error"));
}

} // namespace

TEST(ImageChecks, CardRules)
{
    struct Case
    {
        Sample sample;
        QString message;
    };
    const Case cases[] = {
        {{"default-area", 2480, 1299}, {}},
        {{"short-and-too-wide", 3001, 599}, kCardTooWide},
        {{"short", 2480, 599}, kCardTooShort},
        {{"bounds-low", 1200, 600}, {}},
        {{"bounds-high", 3000, 1800}, {}},
        {{"too-tall", 2480, 1801}, kCardTooTall},
        {{"too-narrow", 1199, 1299}, kCardTooNarrow},
        {{"300x200", 2480, 1299, Encoding::tiffGrayJpegMedium(), 0, 300, 200}, kCardResolution},
        {{"q40", 1300, 700, {}, 40}, {}},
        {{"q60", 1300, 700, {}, 60}, {}},
        {{"q75", 1300, 700, {}, 75}, kCardQuality},
        {{"q61", 1300, 700, {}, 61}, kCardQuality},
        {{"q39", 1300, 700, {}, 39}, kCardQuality},
        {{"uncompressed", 1300, 700, kGrayNone}, kCardJpeg},
        {{"group4", 2480, 1299, Encoding::tiffGroup4()}, kCardGray},
        {{"colour-and-small", 100, 100, kRgbNone}, kCardGray},
    };
    TestDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sample.name);
        expectOutcome(ImageChecks::validarHuella(make(dir, c.sample)), c.message);
    }
}

TEST(ImageChecks, DocumentRules)
{
    struct Case
    {
        Sample sample;
        QString message;
    };
    const Case cases[] = {
        {{"a4-g4", 2480, 3508, Encoding::tiffGroup4()}, {}},
        {{"smallest", 1860, 2631, Encoding::tiffGroup4()}, {}},
        {{"narrow", 1859, 2631, Encoding::tiffGroup4()}, kDocA4},
        {{"short", 1860, 2630, Encoding::tiffGroup4()}, kDocA4},
        {{"largest", 3100, 4385, Encoding::tiffGroup4()}, {}},
        {{"wide", 3101, 3508, Encoding::tiffGroup4()}, kDocA4},
        {{"tall", 2480, 4386, Encoding::tiffGroup4()}, kDocA4},
        {{"grey-jpeg", 2480, 3508}, {}},
        {{"any-resolution", 2480, 3508, Encoding::tiffGroup4(), 0, 200, 150}, {}},
        {{"bw-uncompressed", 2480, 3508, kBwNone}, kDocCompression},
        {{"colour-uncompressed-small", 50, 50, kRgbNone}, kDocPageType},
    };
    TestDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sample.name);
        expectOutcome(ImageChecks::validarDocumentacion(make(dir, c.sample)), c.message);
    }
}

TEST(ImageChecks, BmpFilesAreRefusedWithTheFormatMessage)
{
    TestDir dir;
    const Sample cardBmp{"card", 2480, 1299, Encoding::bmpGray()};
    const Sample docBmp{"doc", 2480, 3508, Encoding::bmpBlackWhite()};
    Page probe = tav::test::grayPage(8, 8);
    QString error;
    if (!ImageFile::save(probe, QString::fromStdString((dir / "probe.bmp").string()), Encoding::bmpGray(), &error))
        GTEST_SKIP() << "BMP codec not available: " << error.toStdString();
    expectOutcome(ImageChecks::validarHuella(make(dir, cardBmp)), kCardTiff);
    expectOutcome(ImageChecks::validarDocumentacion(make(dir, docBmp)), kDocTiff);
}

TEST(ImageChecks, MissingFileFailsSilentlyAndDamagedFileSaysSo)
{
    TestDir dir;
    const QString missing = QString::fromStdString((dir / "nothing.tif").string());
    for (const CheckOutcome &o : {ImageChecks::validarHuella(missing), ImageChecks::validarDocumentacion(missing)}) {
        EXPECT_FALSE(o.passed);
        EXPECT_FALSE(o.fileExists);
        EXPECT_TRUE(o.message.isEmpty());
    }
    const QString damaged = QString::fromStdString((dir / "damaged.tif").string());
    QFile f(damaged);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("II*\0garbage", 11);
    f.close();
    const CheckOutcome o = ImageChecks::validarHuella(damaged);
    EXPECT_FALSE(o.passed);
    EXPECT_TRUE(o.message.startsWith(QStringLiteral("No se puede leer la imagen")));
    EXPECT_EQ(o.title, QStringLiteral("Error"));
}

TEST(ImageChecks, CheckImageCommandPrintsCodesAndVerdict)
{
    TestDir dir;
    const QString good = make(dir, {"good", 2480, 1299});
    const QString wide = make(dir, {"wide", 3001, 599});
    struct Case
    {
        QString kind;
        QString file;
        int exitCode;
        QStringList expected;
    };
    const Case cases[] = {
        {"card",
         good,
         0,
         {"Tipo de archivo: 1 (TIFF)", "Ancho: 2480", "Alto: 1299", "Resolución: 300.00 x 300.00", "Tipo de página: 3",
          "Tipo de compresión: 6 (JPEG)", "Información de compresión: 1024", "calidad JPEG 50", "\nOK\n"}},
        {"card", wide, 1, {kCardTooWide}},
        {"doc", good, 1, {kDocA4}},
        {"photo", good, 2, {"card"}},
        {"doc", QString::fromStdString((dir / "none.tif").string()), 2, {"No existe"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind.toStdString() + " " + c.file.toStdString());
        QString text;
        QTextStream out(&text);
        EXPECT_EQ(tav::capture::checkImageCommand(c.kind, c.file, out), c.exitCode);
        out.flush();
        for (const QString &e : c.expected)
            EXPECT_TRUE(text.contains(e)) << text.toStdString() << "\nmissing: " << e.toStdString();
        if (c.exitCode != 0) {
            EXPECT_FALSE(text.contains("\nOK\n"));
        }
    }
}
