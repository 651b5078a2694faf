#include "platform/imaging/BmpPages.h"

#include "platform/bmp/Bmp.h"
#include "platform/imaging/TiffIo.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <span>

namespace tav::imaging::detail {

namespace {

// The fields of the BMP info header the properties need (the codec has checked the header before we look).
struct BmpHeader
{
    int bitCount = 0;
    quint32 compression = 0;
    double xDpi = 0;
    double yDpi = 0;
};

quint32 le32(const QByteArray &d, int at)
{
    return quint32(uchar(d[at])) | (quint32(uchar(d[at + 1])) << 8) | (quint32(uchar(d[at + 2])) << 16) |
           (quint32(uchar(d[at + 3])) << 24);
}

BmpHeader headerOf(const QByteArray &d)
{
    BmpHeader h;
    if (d.size() < 54)
        return h;
    h.bitCount = int(uchar(d[28])) | (int(uchar(d[29])) << 8);
    h.compression = le32(d, 30);
    // Pixels per metre to dots per inch, rounded to 1/100 as the controls show it (11811 → 300).
    auto dpi = [](quint32 ppm) { return ppm > 0 && ppm < 10'000'000 ? std::round(ppm * 0.0254 * 100) / 100 : 0.0; };
    h.xDpi = dpi(le32(d, 38));
    h.yDpi = dpi(le32(d, 42));
    return h;
}

bool decodeGrey(const QByteArray &data, bmp::GreyImage &out, QString *error)
{
    try {
        out = bmp::decode(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(data.constData()),
                                                        size_t(data.size())));
    } catch (const std::exception &e) {
        setError(error, QString::fromUtf8(e.what()));
        return false;
    }
    if (out.width <= 0 || out.height <= 0 || out.width > kMaxSide || out.height > kMaxSide ||
        qint64(out.width) * out.height > kMaxPixels) {
        setError(error,
                 QStringLiteral("La imagen es demasiado grande (%1 × %2 píxeles)").arg(out.width).arg(out.height));
        return false;
    }
    return true;
}

} // namespace

bool readBmpProperties(const QByteArray &data, ImageProperties &out, QString *error)
{
    bmp::GreyImage grey;
    if (!decodeGrey(data, grey, error))
        return false;
    const BmpHeader h = headerOf(data);
    out.width = grey.width;
    out.height = grey.height;
    out.xResolution = h.xDpi;
    out.yResolution = h.yDpi;
    out.fileType = FileType::Bmp;
    out.pageCount = 1;
    out.bitsPerSample = h.bitCount == 24 ? 8 : h.bitCount;
    out.samplesPerPixel = h.bitCount == 24 ? 3 : 1;
    out.pageType = h.bitCount == 1 ? PageType::BlackWhite : h.bitCount == 8 ? PageType::Gray8 : PageType::Bgr24;
    out.compressionType = CompressionType::None;
    out.compressionInfo = CompressionInfo::None;
    return true;
}

bool decodeBmp(const QByteArray &data, Page &out, QString *error)
{
    bmp::GreyImage grey;
    if (!decodeGrey(data, grey, error))
        return false;
    const BmpHeader h = headerOf(data);
    QImage img(grey.width, grey.height, QImage::Format_Grayscale8);
    if (img.isNull()) {
        setError(error, QStringLiteral("No hay memoria para la imagen"));
        return false;
    }
    for (int y = 0; y < grey.height; ++y)
        std::memcpy(img.scanLine(y), grey.pixels.data() + size_t(y) * size_t(grey.width), size_t(grey.width));
    if (h.bitCount == 1)
        img = img.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    out.image = std::move(img);
    out.xResolution = h.xDpi;
    out.yResolution = h.yDpi;
    return true;
}

bool writeBmp(const Page &page, const QString &path, int pageType, QString *error)
{
    if (page.isNull()) {
        setError(error, QStringLiteral("No hay imagen para guardar"));
        return false;
    }
    if (pageType != PageType::Gray8 && pageType != PageType::BlackWhite) {
        setError(error, QStringLiteral("Las imágenes BMP se guardan en 256 tonos de gris o en blanco y negro"));
        return false;
    }
    const QImage img = page.image.convertToFormat(QImage::Format_Grayscale8);
    bmp::GreyImage grey;
    grey.width = img.width();
    grey.height = img.height();
    grey.ppi = int(std::lround(page.xResolution));
    grey.pixels.resize(size_t(grey.width) * size_t(grey.height));
    for (int y = 0; y < grey.height; ++y)
        std::memcpy(grey.pixels.data() + size_t(y) * size_t(grey.width), img.constScanLine(y), size_t(grey.width));
    try {
        const std::vector<std::uint8_t> bytes =
            pageType == PageType::Gray8 ? bmp::encodeGrey(grey) : bmp::encodeMono(grey, 128);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()) ||
            !f.flush()) {
            setError(error, QStringLiteral("No se puede escribir «%1»: %2").arg(path, f.errorString()));
            return false;
        }
    } catch (const std::exception &e) {
        setError(error, QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

} // namespace tav::imaging::detail
