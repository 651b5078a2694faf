#pragma once

#include <QImage>
#include <QString>

namespace tav::imaging {

// Property codes of an image page, as the image controls of the office's former imaging software reported them
// and as the acceptance checks and the saves still use them.
namespace FileType {
constexpr int Unknown = 0;
constexpr int Tiff = 1;
constexpr int Bmp = 3;
} // namespace FileType

namespace PageType {
constexpr int Unknown = 0;
constexpr int BlackWhite = 1;
constexpr int Gray4 = 2;
constexpr int Gray8 = 3;
constexpr int Palette4 = 4;
constexpr int Palette8 = 5;
constexpr int Rgb24 = 6;
constexpr int Bgr24 = 7;
} // namespace PageType

namespace CompressionType {
constexpr int Unknown = 0;
constexpr int None = 1;
constexpr int Group3OneD = 2;
constexpr int Group3Huffman = 3;
constexpr int PackBits = 4;
constexpr int Group4 = 5;
constexpr int Jpeg = 6;
constexpr int Group3TwoD = 8;
constexpr int Lzw = 9;
} // namespace CompressionType

namespace CompressionInfo {
constexpr int None = 0;
// Bit-order and packing flags the controls give every CCITT page we write.
constexpr int Ccitt = 26;
// JPEG presets: the quality class of the luminance table.
constexpr int JpegMediumHighQuality = 512;
constexpr int JpegMediumMediumQuality = 1024;
constexpr int JpegMediumLowQuality = 2048;
} // namespace CompressionInfo

// IJG quality written for each JPEG preset, and the range of qualities read back as the medium preset.
constexpr int kJpegMediumQuality = 50;
constexpr int kJpegHighQuality = 75;
constexpr int kJpegLowQuality = 25;
constexpr int kJpegMediumMin = 40;
constexpr int kJpegMediumMax = 60;

// Properties of one page of an image file as stored.
struct ImageProperties
{
    int width = 0;
    int height = 0;
    double xResolution = 0; // dots per inch; 0 when the file gives none
    double yResolution = 0;
    int fileType = FileType::Unknown;
    int pageType = PageType::Unknown;
    int compressionType = CompressionType::Unknown;
    int compressionInfo = CompressionInfo::None;
    int pageCount = 0;
    int bitsPerSample = 0;
    int samplesPerPixel = 0;
    int jpegQuality = -1; // IJG quality the luminance table was built for; -1 when not JPEG or not recognised
};

// How a page is written: the same four codes the properties report.
struct Encoding
{
    int fileType = FileType::Tiff;
    int pageType = PageType::Gray8;
    int compressionType = CompressionType::Jpeg;
    int compressionInfo = CompressionInfo::JpegMediumMediumQuality;

    static Encoding tiffGrayJpegMedium()
    {
        return {FileType::Tiff, PageType::Gray8, CompressionType::Jpeg, CompressionInfo::JpegMediumMediumQuality};
    }
    static Encoding tiffGroup4()
    {
        return {FileType::Tiff, PageType::BlackWhite, CompressionType::Group4, CompressionInfo::Ccitt};
    }
    static Encoding bmpGray() { return {FileType::Bmp, PageType::Gray8, CompressionType::None, CompressionInfo::None}; }
    static Encoding bmpBlackWhite()
    {
        return {FileType::Bmp, PageType::BlackWhite, CompressionType::None, CompressionInfo::None};
    }
    // The encoding a page with these properties was written with (used to keep a page's encoding when it is
    // rewritten after a rotation).
    static Encoding of(const ImageProperties &p)
    {
        return {p.fileType, p.pageType, p.compressionType, p.compressionInfo};
    }

    bool operator==(const Encoding &) const = default;
};

// A decoded page: pixels and resolution. 1-bit pages are QImage::Format_Mono (their colour table tells which index
// is black), grey pages Format_Grayscale8, everything else Format_RGB32.
struct Page
{
    QImage image;
    double xResolution = 0;
    double yResolution = 0;

    bool isNull() const { return image.isNull(); }
};

// Largest page we decode or accept from a scanner: 100 megapixels, 65535 pixels a side (an A3 page at 600 dpi
// is 70 megapixels). Anything larger in a file is taken as damaged or hostile.
constexpr qint64 kMaxPixels = 100'000'000;
constexpr int kMaxSide = 65535;

} // namespace tav::imaging
