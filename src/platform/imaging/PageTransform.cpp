#include "platform/imaging/PageTransform.h"

#include <QTransform>

#include <leptonica/allheaders.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace tav::imaging {

namespace {

struct PixDeleter
{
    void operator()(PIX *p) const { pixDestroy(&p); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

bool monoIndexOneIsBlack(const QImage &img)
{
    return img.colorCount() < 2 || qGray(img.color(1)) <= qGray(img.color(0));
}

// Leptonica keeps pixels MSB-first in native 32-bit words; rows are copied as bytes and the words swapped.
PixPtr toPix(const QImage &src)
{
    const int w = src.width();
    const int h = src.height();
    if (src.format() == QImage::Format_Mono || src.format() == QImage::Format_Grayscale8) {
        const int depth = src.format() == QImage::Format_Mono ? 1 : 8;
        PixPtr pix(pixCreate(w, h, depth));
        if (!pix)
            return nullptr;
        const int wpl = pixGetWpl(pix.get());
        l_uint32 *data = pixGetData(pix.get());
        const size_t bytes = depth == 1 ? size_t(w + 7) / 8 : size_t(w);
        for (int y = 0; y < h; ++y)
            std::memcpy(data + size_t(y) * size_t(wpl), src.constScanLine(y), bytes);
        pixEndianByteSwap(pix.get());
        if (depth == 1 && !monoIndexOneIsBlack(src))
            pixInvert(pix.get(), pix.get()); // leptonica: 1 is black
        return pix;
    }
    const QImage rgb = src.convertToFormat(QImage::Format_RGB32);
    PixPtr pix(pixCreate(w, h, 32));
    if (!pix)
        return nullptr;
    const int wpl = pixGetWpl(pix.get());
    l_uint32 *data = pixGetData(pix.get());
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        l_uint32 *dst = data + size_t(y) * size_t(wpl);
        for (int x = 0; x < w; ++x)
            composeRGBPixel(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), dst + x);
    }
    return pix;
}

QImage fromPix(PIX *pix)
{
    const int w = int(pixGetWidth(pix));
    const int h = int(pixGetHeight(pix));
    const int depth = int(pixGetDepth(pix));
    if (depth == 1 || depth == 8) {
        PixPtr swapped(pixEndianByteSwapNew(pix));
        if (!swapped)
            return {};
        QImage img(w, h, depth == 1 ? QImage::Format_Mono : QImage::Format_Grayscale8);
        if (img.isNull())
            return {};
        if (depth == 1)
            img.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        const int wpl = pixGetWpl(swapped.get());
        const l_uint32 *data = pixGetData(swapped.get());
        const size_t bytes = depth == 1 ? size_t(w + 7) / 8 : size_t(w);
        for (int y = 0; y < h; ++y)
            std::memcpy(img.scanLine(y), data + size_t(y) * size_t(wpl), bytes);
        return img;
    }
    PixPtr rgb(depth == 32 ? pixClone(pix) : pixConvertTo32(pix));
    if (!rgb)
        return {};
    QImage img(w, h, QImage::Format_RGB32);
    if (img.isNull())
        return {};
    const int wpl = pixGetWpl(rgb.get());
    const l_uint32 *data = pixGetData(rgb.get());
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        const l_uint32 *src = data + size_t(y) * size_t(wpl);
        for (int x = 0; x < w; ++x) {
            l_int32 r = 0;
            l_int32 g = 0;
            l_int32 b = 0;
            extractRGBValues(src[x], &r, &g, &b);
            line[x] = qRgb(r, g, b);
        }
    }
    return img;
}

// Back to the input's pixel format (leptonica may return 8-bit for a 1-bit area-mapped rotation).
QImage likeSource(const QImage &result, const QImage &source)
{
    if (result.format() == source.format() || result.isNull())
        return result;
    if (source.format() == QImage::Format_Mono)
        return result.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    return result.convertToFormat(source.format());
}

Page rotateFree(const Page &page, double degrees)
{
    PixPtr pix = toPix(page.image);
    if (!pix)
        return page;
    const double radians = degrees * M_PI / 180.0;
    PixPtr rotated(pixRotate(pix.get(), float(radians), L_ROTATE_AREA_MAP, L_BRING_IN_WHITE, page.image.width(),
                             page.image.height()));
    if (!rotated)
        return page;
    Page out = page;
    out.image = likeSource(fromPix(rotated.get()), page.image);
    return out.image.isNull() ? page : out;
}

} // namespace

Page PageTransform::rotate(const Page &page, int degrees)
{
    if (page.isNull())
        return page;
    int quarter = ((degrees % 360) + 360) % 360;
    const int rest = quarter % 90;
    quarter -= rest;
    Page out = page;
    if (quarter != 0) {
        out.image = page.image.transformed(QTransform().rotate(quarter));
        out.image = likeSource(out.image, page.image);
        if (quarter != 180)
            std::swap(out.xResolution, out.yResolution);
    }
    if (rest != 0)
        out = rotateFree(out, rest);
    return out;
}

Page PageTransform::mirror(const Page &page)
{
    Page out = page;
    out.image = page.image.mirrored(true, false);
    return out;
}

PageTransform::DeskewResult PageTransform::deskew(const Page &page)
{
    DeskewResult result{page, 0, false};
    if (page.isNull())
        return result;
    PixPtr pix = toPix(page.image);
    if (!pix)
        return result;
    PixPtr binary(pixGetDepth(pix.get()) == 1 ? pixClone(pix.get()) : pixConvertTo1(pix.get(), 130));
    if (!binary)
        return result;
    l_float32 angle = 0;
    l_float32 confidence = 0;
    if (pixFindSkewSweepAndSearch(binary.get(), &angle, &confidence, 4, 2, 10.0f, 1.0f, 0.05f) != 0 ||
        confidence <= 0 || std::fabs(angle) < 0.05f)
        return result;
    // `angle` is the correction; the page was turned by its opposite.
    PixPtr rotated(pixRotate(pix.get(), float(angle * M_PI / 180.0), L_ROTATE_AREA_MAP, L_BRING_IN_WHITE, 0, 0));
    if (!rotated)
        return result;
    QImage img = likeSource(fromPix(rotated.get()), page.image);
    if (img.isNull())
        return result;
    result.page.image = std::move(img);
    result.skew = -double(angle);
    result.found = true;
    return result;
}

} // namespace tav::imaging
