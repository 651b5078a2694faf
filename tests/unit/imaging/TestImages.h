#pragma once

#include "platform/imaging/ImageCodes.h"

#include <QImage>
#include <QPainter>
#include <QString>

#include <tiffio.h>

namespace tav::test {

// A grey page with a recognisable pattern (text-like bars whose spacing depends on `seed`).
inline imaging::Page grayPage(int width, int height, int seed = 0, double dpi = 300)
{
    QImage img(width, height, QImage::Format_Grayscale8);
    img.fill(255);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const int step = 20 + (seed % 7) * 4;
    for (int y = step; y + 6 < height; y += step)
        p.drawRect(width / 10, y, width * 7 / 10 - (seed % 5) * 10, 6);
    p.end();
    return {img, dpi, dpi};
}

inline imaging::Page monoPage(int width, int height, int seed = 0, double dpi = 300)
{
    imaging::Page page = grayPage(width, height, seed, dpi);
    page.image = page.image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    return page;
}

// Writes a one-page 8-bit grey JPEG TIFF at any IJG quality (the image layer itself only writes its presets).
inline bool writeJpegTiff(const QString &path, int width, int height, int quality, float xdpi = 300, float ydpi = 300)
{
    TIFF *tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_JPEGQUALITY, quality);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 64);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, xdpi);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, ydpi);
    const imaging::Page page = grayPage(width, height);
    bool ok = true;
    for (int y = 0; y < height && ok; ++y)
        ok = TIFFWriteScanline(tif, const_cast<uchar *>(page.image.constScanLine(y)), uint32_t(y), 0) >= 0;
    TIFFClose(tif);
    return ok;
}

} // namespace tav::test
