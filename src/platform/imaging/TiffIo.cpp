#include "platform/imaging/TiffIo.h"

#include "platform/imaging/JpegQuality.h"

#include <QFile>
#include <QFileInfo>

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace tav::imaging::detail {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

struct TiffHandle::State
{
    TIFFOpenOptions *options = nullptr;
    QString lastError;
    const uchar *memData = nullptr;
    qint64 memSize = 0;
    qint64 memPos = 0;
};

namespace {

// Larger single allocations are refused by libtiff: no page we accept needs more (4 bytes a pixel at the limit).
constexpr tmsize_t kMaxSingleAlloc = tmsize_t(kMaxPixels) * 4 + (1 << 20);

int collectError(TIFF *, void *userData, const char *module, const char *fmt, va_list ap)
{
    auto *state = static_cast<TiffHandle::State *>(userData);
    char buffer[512];
    std::vsnprintf(buffer, sizeof buffer, fmt, ap);
    state->lastError = module && *module
                           ? QString::fromLocal8Bit(module) + QStringLiteral(": ") + QString::fromLocal8Bit(buffer)
                           : QString::fromLocal8Bit(buffer);
    return 1;
}

int ignoreWarning(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

tmsize_t memRead(thandle_t h, void *buf, tmsize_t size)
{
    auto *s = static_cast<TiffHandle::State *>(h);
    if (size <= 0 || s->memPos >= s->memSize)
        return 0;
    const qint64 n = std::min<qint64>(size, s->memSize - s->memPos);
    std::memcpy(buf, s->memData + s->memPos, size_t(n));
    s->memPos += n;
    return tmsize_t(n);
}

tmsize_t memWrite(thandle_t, void *, tmsize_t)
{
    return 0;
}

toff_t memSeek(thandle_t h, toff_t off, int whence)
{
    auto *s = static_cast<TiffHandle::State *>(h);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = s->memPos;
    else if (whence == SEEK_END)
        base = s->memSize;
    if (off > toff_t(INT64_MAX / 2))
        return toff_t(-1);
    const qint64 pos = base + qint64(off);
    if (pos < 0)
        return toff_t(-1);
    s->memPos = pos;
    return toff_t(pos);
}

int memClose(thandle_t)
{
    return 0;
}
toff_t memSize(thandle_t h)
{
    return toff_t(static_cast<TiffHandle::State *>(h)->memSize);
}
int memMap(thandle_t, void **, toff_t *)
{
    return 0;
}
void memUnmap(thandle_t, void *, toff_t) {}

int mapPageType(uint16_t bps, uint16_t spp, uint16_t photometric)
{
    if (spp == 1) {
        if (photometric == PHOTOMETRIC_PALETTE)
            return bps == 4 ? PageType::Palette4 : bps == 8 ? PageType::Palette8 : PageType::Unknown;
        if (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) {
            switch (bps) {
            case 1:
                return PageType::BlackWhite;
            case 4:
                return PageType::Gray4;
            case 8:
                return PageType::Gray8;
            default:
                return PageType::Unknown;
            }
        }
        return PageType::Unknown;
    }
    if (spp >= 3 && bps == 8 && (photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_YCBCR))
        return PageType::Rgb24;
    return PageType::Unknown;
}

int mapCompression(TIFF *tif, uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return CompressionType::None;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
        return CompressionType::Group3Huffman;
    case COMPRESSION_CCITTFAX3: {
        uint32_t options = 0;
        TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &options);
        return (options & GROUP3OPT_2DENCODING) ? CompressionType::Group3TwoD : CompressionType::Group3OneD;
    }
    case COMPRESSION_CCITTFAX4:
        return CompressionType::Group4;
    case COMPRESSION_OJPEG:
    case COMPRESSION_JPEG:
        return CompressionType::Jpeg;
    case COMPRESSION_PACKBITS:
        return CompressionType::PackBits;
    case COMPRESSION_LZW:
        return CompressionType::Lzw;
    default:
        return CompressionType::Unknown;
    }
}

// Reads the start of the first strip or tile (enough to hold its quantisation tables).
std::vector<uint8_t> firstSegmentHead(TIFF *tif, qint64 sourceSize)
{
    std::vector<uint8_t> head;
    const uint64_t count = TIFFGetStrileByteCount(tif, 0);
    if (count == 0 || qint64(count) > sourceSize)
        return head;
    head.resize(size_t(std::min<uint64_t>(count, 64 * 1024)));
    const tmsize_t got = TIFFIsTiled(tif) ? TIFFReadRawTile(tif, 0, head.data(), tmsize_t(head.size()))
                                          : TIFFReadRawStrip(tif, 0, head.data(), tmsize_t(head.size()));
    head.resize(got > 0 ? size_t(got) : 0);
    return head;
}

bool checkSize(const ImageProperties &p, QString *error)
{
    if (p.width <= 0 || p.height <= 0) {
        setError(error, QStringLiteral("La imagen no tiene ancho o alto válidos"));
        return false;
    }
    if (p.width > kMaxSide || p.height > kMaxSide || qint64(p.width) * p.height > kMaxPixels) {
        setError(error, QStringLiteral("La imagen es demasiado grande (%1 × %2 píxeles)").arg(p.width).arg(p.height));
        return false;
    }
    return true;
}

QString tiffErrorText(const TiffHandle &h, const QString &what)
{
    const QString detail = h.lastError();
    return detail.isEmpty() ? what : what + QStringLiteral(" (") + detail + QStringLiteral(")");
}

} // namespace

TiffHandle::TiffHandle() : m_state(std::make_unique<State>())
{
    m_state->options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(m_state->options, kMaxSingleAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(m_state->options, collectError, m_state.get());
    TIFFOpenOptionsSetWarningHandlerExtR(m_state->options, ignoreWarning, nullptr);
}

TiffHandle::~TiffHandle()
{
    if (m_tiff)
        TIFFClose(m_tiff);
    TIFFOpenOptionsFree(m_state->options);
}

bool TiffHandle::openRead(const QString &path)
{
    m_sourceSize = QFileInfo(path).size();
    m_tiff = TIFFOpenExt(QFile::encodeName(path).constData(), "r", m_state->options);
    return m_tiff != nullptr;
}

bool TiffHandle::openReadMemory(const QByteArray &data)
{
    m_state->memData = reinterpret_cast<const uchar *>(data.constData());
    m_state->memSize = data.size();
    m_state->memPos = 0;
    m_sourceSize = data.size();
    m_tiff = TIFFClientOpenExt("memoria", "r", m_state.get(), memRead, memWrite, memSeek, memClose, memSize, memMap,
                               memUnmap, m_state->options);
    return m_tiff != nullptr;
}

bool TiffHandle::openWrite(const QString &path)
{
    m_tiff = TIFFOpenExt(QFile::encodeName(path).constData(), "w", m_state->options);
    return m_tiff != nullptr;
}

bool TiffHandle::close()
{
    if (!m_tiff)
        return true;
    TIFF *t = m_tiff;
    m_tiff = nullptr;
    m_state->lastError.clear();
    TIFFClose(t); // flushes; a failed flush is reported through the error handler
    return m_state->lastError.isEmpty();
}

int TiffHandle::directoryCount(bool *damaged)
{
    if (!m_tiff)
        return 0;
    const tdir_t current = TIFFCurrentDirectory(m_tiff);
    m_state->lastError.clear();
    const int n = int(TIFFNumberOfDirectories(m_tiff));
    if (damaged)
        *damaged = !m_state->lastError.isEmpty();
    TIFFSetDirectory(m_tiff, current);
    return n;
}

bool TiffHandle::setPage(int page, QString *error)
{
    const int count = directoryCount();
    if (page < 1 || page > count) {
        setError(error, QStringLiteral("La imagen no tiene la página %1 (tiene %2)").arg(page).arg(count));
        return false;
    }
    if (!TIFFSetDirectory(m_tiff, tdir_t(page - 1))) {
        setError(error, tiffErrorText(*this, QStringLiteral("No se puede leer la página %1").arg(page)));
        return false;
    }
    return true;
}

QString TiffHandle::lastError() const
{
    return m_state->lastError;
}

bool readTiffProperties(TiffHandle &h, ImageProperties &out, QString *error)
{
    TIFF *tif = h.tiff();
    uint32_t w = 0;
    uint32_t ht = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &ht)) {
        setError(error, QStringLiteral("La página no indica su ancho y alto"));
        return false;
    }
    uint16_t bps = 1;
    uint16_t spp = 1;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t photometric = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = spp >= 3 ? PHOTOMETRIC_RGB : bps == 1 ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;

    out.width = w > uint32_t(INT32_MAX) ? INT32_MAX : int(w);
    out.height = ht > uint32_t(INT32_MAX) ? INT32_MAX : int(ht);
    out.fileType = FileType::Tiff;
    out.bitsPerSample = bps;
    out.samplesPerPixel = spp;
    out.pageType = mapPageType(bps, spp, photometric);
    out.compressionType = mapCompression(tif, compression);

    float xr = 0;
    float yr = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    const double factor = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xr) && xr > 0 && xr < 1e6f)
        out.xResolution = double(xr) * factor;
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yr) && yr > 0 && yr < 1e6f)
        out.yResolution = double(yr) * factor;

    out.compressionInfo = CompressionInfo::None;
    out.jpegQuality = -1;
    if (compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTFAX3) {
        out.compressionInfo = CompressionInfo::Ccitt;
    } else if (compression == COMPRESSION_JPEG) {
        uint32_t count = 0;
        void *tables = nullptr;
        std::vector<uint8_t> head;
        const uint8_t *data = nullptr;
        size_t size = 0;
        if (TIFFGetField(tif, TIFFTAG_JPEGTABLES, &count, &tables) && tables && count > 4) {
            data = static_cast<const uint8_t *>(tables);
            size = count;
        } else {
            head = firstSegmentHead(tif, h.sourceSize());
            data = head.data();
            size = head.size();
        }
        out.jpegQuality = jpegQualityFromStream(data, size);
        const bool medium = jpegQualityMatches(data, size, kJpegMediumMin, kJpegMediumMax);
        const int info = compressionInfoForJpegQuality(out.jpegQuality, medium);
        out.compressionInfo = info < 0 ? CompressionInfo::None : info;
    }
    return true;
}

bool decodeTiffPage(TiffHandle &h, Page &out, QString *error)
{
    TIFF *tif = h.tiff();
    ImageProperties p;
    if (!readTiffProperties(h, p, error) || !checkSize(p, error))
        return false;
    uint16_t photometric = 0;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = p.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB
                      : p.bitsPerSample == 1 ? PHOTOMETRIC_MINISWHITE
                                             : PHOTOMETRIC_MINISBLACK;
    out.xResolution = p.xResolution;
    out.yResolution = p.yResolution;

    const bool grayLayout = !TIFFIsTiled(tif) && p.samplesPerPixel == 1 && compression != COMPRESSION_OJPEG &&
                            (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) &&
                            (p.bitsPerSample == 1 || p.bitsPerSample == 8);
    const tmsize_t expectedLine = p.bitsPerSample == 1 ? (p.width + 7) / 8 : p.width;
    if (grayLayout && TIFFScanlineSize(tif) == expectedLine) {
        QImage img(p.width, p.height, p.bitsPerSample == 1 ? QImage::Format_Mono : QImage::Format_Grayscale8);
        if (img.isNull()) {
            setError(error, QStringLiteral("No hay memoria para la imagen"));
            return false;
        }
        if (p.bitsPerSample == 1) {
            const QRgb white = qRgb(255, 255, 255);
            const QRgb black = qRgb(0, 0, 0);
            img.setColorTable(photometric == PHOTOMETRIC_MINISWHITE ? QList<QRgb>{white, black}
                                                                    : QList<QRgb>{black, white});
        }
        for (int y = 0; y < p.height; ++y) {
            if (TIFFReadScanline(tif, img.scanLine(y), uint32_t(y), 0) < 0) {
                setError(error, tiffErrorText(h, QStringLiteral("La imagen está dañada en la fila %1").arg(y)));
                return false;
            }
        }
        if (p.bitsPerSample == 8 && photometric == PHOTOMETRIC_MINISWHITE)
            img.invertPixels();
        out.image = std::move(img);
        return true;
    }

    char message[1024] = {0};
    if (!TIFFRGBAImageOK(tif, message)) {
        setError(error, QStringLiteral("Formato de página no admitido: %1").arg(QString::fromLocal8Bit(message)));
        return false;
    }
    const size_t n = size_t(p.width) * size_t(p.height);
    std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[n]);
    if (!raster) {
        setError(error, QStringLiteral("No hay memoria para la imagen"));
        return false;
    }
    if (!TIFFReadRGBAImageOriented(tif, uint32_t(p.width), uint32_t(p.height), raster.get(), ORIENTATION_TOPLEFT, 1)) {
        setError(error, tiffErrorText(h, QStringLiteral("La imagen está dañada")));
        return false;
    }
    QImage img(p.width, p.height, QImage::Format_RGB32);
    if (img.isNull()) {
        setError(error, QStringLiteral("No hay memoria para la imagen"));
        return false;
    }
    for (int y = 0; y < p.height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        const uint32_t *src = raster.get() + size_t(y) * size_t(p.width);
        for (int x = 0; x < p.width; ++x)
            line[x] = qRgb(int(TIFFGetR(src[x])), int(TIFFGetG(src[x])), int(TIFFGetB(src[x])));
    }
    out.image = std::move(img);
    return true;
}

namespace {

int jpegQualityForInfo(int info)
{
    switch (info) {
    case CompressionInfo::JpegMediumMediumQuality:
        return kJpegMediumQuality;
    case CompressionInfo::JpegMediumHighQuality:
        return kJpegHighQuality;
    case CompressionInfo::JpegMediumLowQuality:
        return kJpegLowQuality;
    default:
        return -1;
    }
}

uint32_t jpegRowsPerStrip(int bytesPerRow)
{
    const int rows = std::max(16, (256 * 1024 / std::max(1, bytesPerRow)) / 16 * 16);
    return uint32_t(rows);
}

} // namespace

bool writeTiffPage(TiffHandle &h, const Page &page, const Encoding &enc, int pageIndex, int pageTotal, QString *error)
{
    TIFF *tif = h.tiff();
    if (page.isNull()) {
        setError(error, QStringLiteral("No hay imagen para guardar"));
        return false;
    }
    if (page.image.width() > kMaxSide || page.image.height() > kMaxSide) {
        setError(error, QStringLiteral("La imagen es demasiado grande para guardarla"));
        return false;
    }
    QImage img;
    uint16_t bps = 8;
    uint16_t spp = 1;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t compression = COMPRESSION_NONE;
    int quality = -1;
    bool invertBits = false;

    switch (enc.pageType) {
    case PageType::BlackWhite:
        if (enc.compressionType != CompressionType::Group4 && enc.compressionType != CompressionType::None)
            break;
        img = page.image.format() == QImage::Format_Mono
                  ? page.image
                  : page.image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
        bps = 1;
        photometric = PHOTOMETRIC_MINISWHITE;
        compression = enc.compressionType == CompressionType::Group4 ? COMPRESSION_CCITTFAX4 : COMPRESSION_NONE;
        // MINISWHITE: a set bit is black; the image's colour table tells which index is black.
        invertBits = img.colorCount() >= 2 && qGray(img.color(1)) > qGray(img.color(0));
        break;
    case PageType::Gray8:
        if (enc.compressionType == CompressionType::Jpeg) {
            quality = jpegQualityForInfo(enc.compressionInfo);
            if (quality < 0)
                break;
            compression = COMPRESSION_JPEG;
        } else if (enc.compressionType != CompressionType::None) {
            break;
        }
        img = page.image.convertToFormat(QImage::Format_Grayscale8);
        break;
    case PageType::Rgb24:
        if (enc.compressionType == CompressionType::Jpeg) {
            quality = jpegQualityForInfo(enc.compressionInfo);
            if (quality < 0)
                break;
            compression = COMPRESSION_JPEG;
            photometric = PHOTOMETRIC_YCBCR;
        } else if (enc.compressionType == CompressionType::None) {
            photometric = PHOTOMETRIC_RGB;
        } else {
            break;
        }
        img = page.image.convertToFormat(QImage::Format_RGB888);
        spp = 3;
        break;
    case PageType::Palette8:
        if (enc.compressionType != CompressionType::None)
            break;
        img = page.image.convertToFormat(QImage::Format_Indexed8);
        photometric = PHOTOMETRIC_PALETTE;
        break;
    default:
        break;
    }
    if (img.isNull()) {
        setError(error, QStringLiteral("Combinación de tipo de página %1 y compresión %2/%3 no admitida para TIFF")
                            .arg(enc.pageType)
                            .arg(enc.compressionType)
                            .arg(enc.compressionInfo));
        return false;
    }

    const uint32_t width = uint32_t(img.width());
    const uint32_t height = uint32_t(img.height());
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, pageTotal > 1 ? FILETYPE_PAGE : 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bps);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    if (compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, quality);
        if (photometric == PHOTOMETRIC_YCBCR)
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, jpegRowsPerStrip(int(width * spp)));
    } else if (compression == COMPRESSION_CCITTFAX4) {
        TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
        std::vector<uint16_t> r(256, 0), g(256, 0), b(256, 0);
        const auto table = img.colorTable();
        for (int i = 0; i < table.size() && i < 256; ++i) {
            r[size_t(i)] = uint16_t(qRed(table[i]) * 257);
            g[size_t(i)] = uint16_t(qGreen(table[i]) * 257);
            b[size_t(i)] = uint16_t(qBlue(table[i]) * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    if (page.xResolution > 0 && page.yResolution > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(page.xResolution));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(page.yResolution));
    }
    if (pageTotal > 1)
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(pageIndex), uint16_t(pageTotal));

    const size_t lineBytes = bps == 1 ? (width + 7) / 8 : size_t(width) * spp;
    std::vector<uint8_t> row(lineBytes);
    for (uint32_t y = 0; y < height; ++y) {
        std::memcpy(row.data(), img.constScanLine(int(y)), lineBytes);
        if (invertBits) {
            for (auto &byte : row)
                byte = uint8_t(~byte);
        }
        if (TIFFWriteScanline(tif, row.data(), y, 0) < 0) {
            setError(error, tiffErrorText(h, QStringLiteral("No se puede escribir la imagen")));
            return false;
        }
    }
    if (!TIFFWriteDirectory(tif)) {
        setError(error, tiffErrorText(h, QStringLiteral("No se puede escribir la página")));
        return false;
    }
    return true;
}

bool copyTiffPageRaw(TiffHandle &src, TiffHandle &dst, int pageIndex, int pageTotal, bool &unsupported, QString *error)
{
    TIFF *in = src.tiff();
    TIFF *out = dst.tiff();
    unsupported = false;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(in, TIFFTAG_COMPRESSION, &compression);
    switch (compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_JPEG:
    case COMPRESSION_LZW:
    case COMPRESSION_PACKBITS:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        break;
    default:
        unsupported = true;
        return false;
    }
    ImageProperties p;
    if (!readTiffProperties(src, p, error))
        return false;
    if (p.width <= 0 || p.height <= 0 || p.width > kMaxSide || p.height > kMaxSide) {
        unsupported = true;
        return false;
    }

    uint32_t u32 = 0;
    uint16_t u16 = 0;
    uint16_t u16b = 0;
    float f = 0;
    TIFFSetField(out, TIFFTAG_SUBFILETYPE, pageTotal > 1 ? FILETYPE_PAGE : 0);
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, uint32_t(p.width));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, uint32_t(p.height));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, uint16_t(p.bitsPerSample));
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, uint16_t(p.samplesPerPixel));
    TIFFSetField(out, TIFFTAG_COMPRESSION, compression);
    if (TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &u16))
        TIFFSetField(out, TIFFTAG_PHOTOMETRIC, u16);
    if (TIFFGetField(in, TIFFTAG_FILLORDER, &u16))
        TIFFSetField(out, TIFFTAG_FILLORDER, u16);
    if (TIFFGetField(in, TIFFTAG_ORIENTATION, &u16))
        TIFFSetField(out, TIFFTAG_ORIENTATION, u16);
    TIFFGetFieldDefaulted(in, TIFFTAG_PLANARCONFIG, &u16);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, u16);
    if (TIFFGetField(in, TIFFTAG_SAMPLEFORMAT, &u16))
        TIFFSetField(out, TIFFTAG_SAMPLEFORMAT, u16);
    if (TIFFGetField(in, TIFFTAG_RESOLUTIONUNIT, &u16))
        TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, u16);
    if (TIFFGetField(in, TIFFTAG_XRESOLUTION, &f))
        TIFFSetField(out, TIFFTAG_XRESOLUTION, f);
    if (TIFFGetField(in, TIFFTAG_YRESOLUTION, &f))
        TIFFSetField(out, TIFFTAG_YRESOLUTION, f);
    if ((compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
         compression == COMPRESSION_DEFLATE) &&
        TIFFGetField(in, TIFFTAG_PREDICTOR, &u16))
        TIFFSetField(out, TIFFTAG_PREDICTOR, u16);
    if (compression == COMPRESSION_CCITTFAX3 && TIFFGetField(in, TIFFTAG_GROUP3OPTIONS, &u32))
        TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, u32);
    if (compression == COMPRESSION_CCITTFAX4 && TIFFGetField(in, TIFFTAG_GROUP4OPTIONS, &u32))
        TIFFSetField(out, TIFFTAG_GROUP4OPTIONS, u32);
    if (compression == COMPRESSION_JPEG) {
        uint32_t count = 0;
        void *tables = nullptr;
        if (TIFFGetField(in, TIFFTAG_JPEGTABLES, &count, &tables) && tables && count > 0)
            TIFFSetField(out, TIFFTAG_JPEGTABLES, count, tables);
    }
    if (TIFFGetField(in, TIFFTAG_YCBCRSUBSAMPLING, &u16, &u16b))
        TIFFSetField(out, TIFFTAG_YCBCRSUBSAMPLING, u16, u16b);
    if (TIFFGetField(in, TIFFTAG_YCBCRPOSITIONING, &u16))
        TIFFSetField(out, TIFFTAG_YCBCRPOSITIONING, u16);
    float *refbw = nullptr;
    if (TIFFGetField(in, TIFFTAG_REFERENCEBLACKWHITE, &refbw) && refbw)
        TIFFSetField(out, TIFFTAG_REFERENCEBLACKWHITE, refbw);
    uint16_t *red = nullptr;
    uint16_t *green = nullptr;
    uint16_t *blue = nullptr;
    if (TIFFGetField(in, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue)
        TIFFSetField(out, TIFFTAG_COLORMAP, red, green, blue);
    uint16_t extraCount = 0;
    uint16_t *extra = nullptr;
    if (TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extra)
        TIFFSetField(out, TIFFTAG_EXTRASAMPLES, extraCount, extra);
    if (pageTotal > 1)
        TIFFSetField(out, TIFFTAG_PAGENUMBER, uint16_t(pageIndex), uint16_t(pageTotal));

    const bool tiled = TIFFIsTiled(in);
    if (tiled) {
        uint32_t tw = 0;
        uint32_t tl = 0;
        TIFFGetField(in, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(in, TIFFTAG_TILELENGTH, &tl);
        TIFFSetField(out, TIFFTAG_TILEWIDTH, tw);
        TIFFSetField(out, TIFFTAG_TILELENGTH, tl);
    } else {
        uint32_t rows = 0;
        TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &rows);
        TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rows);
    }

    const uint32_t count = tiled ? TIFFNumberOfTiles(in) : TIFFNumberOfStrips(in);
    const uint32_t expected = tiled ? TIFFNumberOfTiles(out) : TIFFNumberOfStrips(out);
    if (count == 0 || count != expected) {
        setError(error, QStringLiteral("La página tiene una estructura de bandas inválida"));
        return false;
    }
    std::vector<uint8_t> buffer;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t bytes = TIFFGetStrileByteCount(in, i);
        if (bytes == 0 || qint64(bytes) > src.sourceSize()) {
            setError(error, QStringLiteral("La página tiene una banda dañada"));
            return false;
        }
        buffer.resize(size_t(bytes));
        const tmsize_t got = tiled ? TIFFReadRawTile(in, i, buffer.data(), tmsize_t(bytes))
                                   : TIFFReadRawStrip(in, i, buffer.data(), tmsize_t(bytes));
        if (got != tmsize_t(bytes)) {
            setError(error, tiffErrorText(src, QStringLiteral("La página está truncada")));
            return false;
        }
        const tmsize_t put =
            tiled ? TIFFWriteRawTile(out, i, buffer.data(), got) : TIFFWriteRawStrip(out, i, buffer.data(), got);
        if (put != got) {
            setError(error, tiffErrorText(dst, QStringLiteral("No se puede escribir la página")));
            return false;
        }
    }
    if (!TIFFWriteDirectory(out)) {
        setError(error, tiffErrorText(dst, QStringLiteral("No se puede escribir la página")));
        return false;
    }
    return true;
}

} // namespace tav::imaging::detail
