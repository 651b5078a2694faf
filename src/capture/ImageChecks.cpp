#include "capture/ImageChecks.h"

#include "platform/imaging/ImageFile.h"

#include <QFileInfo>

#include <cmath>

namespace tav::capture {

using namespace tav::imaging;

namespace {

const QString kErrorTitle = QStringLiteral("Error");

// A4 at 300 dpi.
constexpr double kA4Width = 2480;
constexpr double kA4Height = 3508;

CheckOutcome runCheck(const QString &file, QString (*rules)(const ImageProperties &))
{
    CheckOutcome outcome;
    if (!QFileInfo(file).isFile())
        return outcome; // callers check existence first; nothing to show
    outcome.fileExists = true;
    ImageProperties props;
    QString error;
    if (!ImageFile::readProperties(file, props, &error)) {
        outcome.message = QStringLiteral("No se puede leer la imagen: ") + error;
        outcome.title = kErrorTitle;
        return outcome;
    }
    outcome.message = rules(props);
    outcome.passed = outcome.message.isEmpty();
    if (!outcome.passed)
        outcome.title = kErrorTitle;
    return outcome;
}

QString fileTypeName(int code)
{
    switch (code) {
    case FileType::Tiff:
        return QStringLiteral("TIFF");
    case FileType::Bmp:
        return QStringLiteral("BMP");
    default:
        return QStringLiteral("desconocido");
    }
}

QString pageTypeName(int code)
{
    switch (code) {
    case PageType::BlackWhite:
        return QStringLiteral("blanco y negro");
    case PageType::Gray4:
        return QStringLiteral("16 tonos de gris");
    case PageType::Gray8:
        return QStringLiteral("256 tonos de gris");
    case PageType::Palette4:
        return QStringLiteral("paleta de 16 colores");
    case PageType::Palette8:
        return QStringLiteral("paleta de 256 colores");
    case PageType::Rgb24:
    case PageType::Bgr24:
        return QStringLiteral("color de 24 bits");
    default:
        return QStringLiteral("desconocido");
    }
}

QString compressionName(int code)
{
    switch (code) {
    case CompressionType::None:
        return QStringLiteral("sin compresión");
    case CompressionType::Group3OneD:
    case CompressionType::Group3Huffman:
    case CompressionType::Group3TwoD:
        return QStringLiteral("CCITT Group 3");
    case CompressionType::Group4:
        return QStringLiteral("CCITT Group 4");
    case CompressionType::Jpeg:
        return QStringLiteral("JPEG");
    case CompressionType::PackBits:
        return QStringLiteral("PackBits");
    case CompressionType::Lzw:
        return QStringLiteral("LZW");
    default:
        return QStringLiteral("desconocida");
    }
}

QString compressionInfoName(int code)
{
    switch (code) {
    case CompressionInfo::None:
        return QStringLiteral("ninguna");
    case CompressionInfo::Ccitt:
        return QStringLiteral("CCITT");
    case CompressionInfo::JpegMediumHighQuality:
        return QStringLiteral("compresión media, calidad alta");
    case CompressionInfo::JpegMediumMediumQuality:
        return QStringLiteral("compresión media, calidad media");
    case CompressionInfo::JpegMediumLowQuality:
        return QStringLiteral("compresión media, calidad baja");
    default:
        return QStringLiteral("desconocida");
    }
}

} // namespace

QString ImageChecks::cardMessage(const ImageProperties &p)
{
    QString message;
    if (p.height < 600)
        message = QStringLiteral("La huella digitalizada debe tener por lo menos 5 cm. de alto");
    if (p.height > 1800)
        message = QStringLiteral("La huella digitalizada debe tener menos de 15 cm. de alto");
    if (p.width < 1200)
        message = QStringLiteral("La huella digitalizada debe tener por lo menos 15 cm. de ancho");
    if (p.width > 3000)
        message = QStringLiteral("La huella digitalizada debe tener menos de 25 cm. de ancho");
    if (std::lround(p.xResolution) != 300 || std::lround(p.yResolution) != 300)
        message = QStringLiteral("La resolución de la huella debe ser de 300 puntos por pulgada (DPI)");
    if (p.compressionInfo != CompressionInfo::JpegMediumMediumQuality)
        message = QStringLiteral("La huella debe utilizar la compresión JPEG calidad media");
    if (p.compressionType != CompressionType::Jpeg)
        message = QStringLiteral("La huella debe utilizar la compresión JPEG");
    if (p.pageType != PageType::Gray8)
        message = QStringLiteral("La huella debe digitalizarse en 256 tonos de gris");
    if (p.fileType != FileType::Tiff)
        message = QStringLiteral("La huella debe guardarse en formato TIFF");
    return message;
}

QString ImageChecks::documentMessage(const ImageProperties &p)
{
    QString message;
    if (p.width < 0.75 * kA4Width || p.width > 1.25 * kA4Width || p.height < 0.75 * kA4Height ||
        p.height > 1.25 * kA4Height)
        message = QStringLiteral("La imagen debe estar en tamaño A4 a 300 puntos por pulgada");
    if (p.compressionType != CompressionType::Group4 && p.compressionType != CompressionType::Jpeg)
        message = QStringLiteral("La documentación debe utilizar la compresión Group4(2D - FAX) o JPEG");
    if (p.pageType != PageType::BlackWhite && p.pageType != PageType::Gray8)
        message = QStringLiteral("La documentación debe digitalizarse en blanco y negro o escala de grises");
    if (p.fileType != FileType::Tiff)
        message = QStringLiteral("La documentación debe guardarse en formato TIFF");
    return message;
}

CheckOutcome ImageChecks::validarHuella(const QString &file)
{
    return runCheck(file, &ImageChecks::cardMessage);
}

CheckOutcome ImageChecks::validarDocumentacion(const QString &file)
{
    return runCheck(file, &ImageChecks::documentMessage);
}

int checkImageCommand(const QString &kind, const QString &file, QTextStream &out)
{
    const bool card = kind.compare(QStringLiteral("card"), Qt::CaseInsensitive) == 0;
    const bool doc = kind.compare(QStringLiteral("doc"), Qt::CaseInsensitive) == 0;
    if (!card && !doc) {
        out << QStringLiteral("Tipo de control desconocido «%1»: use card (ficha dactiloscópica) o doc "
                              "(documentación)\n")
                   .arg(kind);
        return 2;
    }
    if (!QFileInfo(file).isFile()) {
        out << QStringLiteral("No existe el archivo «%1»\n").arg(file);
        return 2;
    }
    ImageProperties p;
    QString error;
    if (!ImageFile::readProperties(file, p, &error)) {
        out << QStringLiteral("No se puede leer la imagen: %1\n").arg(error);
        return 2;
    }
    out << QStringLiteral("Archivo: %1\n").arg(file);
    out << QStringLiteral("Tipo de archivo: %1 (%2)\n").arg(p.fileType).arg(fileTypeName(p.fileType));
    out << QStringLiteral("Páginas: %1\n").arg(p.pageCount);
    out << QStringLiteral("Ancho: %1 píxeles\n").arg(p.width);
    out << QStringLiteral("Alto: %1 píxeles\n").arg(p.height);
    out << QStringLiteral("Resolución: %1 x %2 DPI\n").arg(p.xResolution, 0, 'f', 2).arg(p.yResolution, 0, 'f', 2);
    out << QStringLiteral("Tipo de página: %1 (%2)\n").arg(p.pageType).arg(pageTypeName(p.pageType));
    out << QStringLiteral("Tipo de compresión: %1 (%2)\n")
               .arg(p.compressionType)
               .arg(compressionName(p.compressionType));
    out << QStringLiteral("Información de compresión: %1 (%2)")
               .arg(p.compressionInfo)
               .arg(compressionInfoName(p.compressionInfo));
    if (p.jpegQuality > 0)
        out << QStringLiteral(", calidad JPEG %1").arg(p.jpegQuality);
    out << '\n';
    const QString message = card ? ImageChecks::cardMessage(p) : ImageChecks::documentMessage(p);
    if (message.isEmpty()) {
        out << "OK\n";
        out.flush();
        return 0;
    }
    out << message << '\n';
    out.flush();
    return 1;
}

} // namespace tav::capture
