#include "platform/imaging/ImageFile.h"
#include "support/TestDir.h"
#include "unit/imaging/TestImages.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tav::imaging;
using tav::test::TestDir;

namespace {

QString qpath(const TestDir &dir, const char *name)
{
    return QString::fromStdString((dir / name).string());
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// Sets the value of a one-value SHORT or LONG tag in the first directory of a little-endian TIFF.
QByteArray patchTag(QByteArray data, int tag, quint32 value)
{
    auto rd16 = [&](int at) { return int(uchar(data[at])) | (int(uchar(data[at + 1])) << 8); };
    const int ifd =
        int(uchar(data[4])) | (int(uchar(data[5])) << 8) | (int(uchar(data[6])) << 16) | (int(uchar(data[7])) << 24);
    const int n = rd16(ifd);
    for (int i = 0; i < n; ++i) {
        const int e = ifd + 2 + 12 * i;
        if (rd16(e) != tag)
            continue;
        for (int b = 0; b < 4; ++b)
            data[e + 8 + b] = char(rd16(e + 2) == 3 && b >= 2 ? 0 : (value >> (8 * b)) & 0xFF);
        return data;
    }
    ADD_FAILURE() << "tag " << tag << " not found";
    return data;
}

} // namespace

TEST(ImageFile, CardSaveReportsMediumJpegCodesAndReadsBack)
{
    TestDir dir;
    const QString path = qpath(dir, "card.tif");
    const Page page = tav::test::grayPage(2480, 1299);
    QString error;
    ASSERT_TRUE(ImageFile::save(page, path, Encoding::tiffGrayJpegMedium(), &error)) << error.toStdString();

    ImageProperties p;
    ASSERT_TRUE(ImageFile::readProperties(path, p, &error)) << error.toStdString();
    EXPECT_EQ(p.width, 2480);
    EXPECT_EQ(p.height, 1299);
    EXPECT_DOUBLE_EQ(p.xResolution, 300);
    EXPECT_DOUBLE_EQ(p.yResolution, 300);
    EXPECT_EQ(p.fileType, FileType::Tiff);
    EXPECT_EQ(p.pageType, PageType::Gray8);
    EXPECT_EQ(p.compressionType, CompressionType::Jpeg);
    EXPECT_EQ(p.compressionInfo, CompressionInfo::JpegMediumMediumQuality);
    EXPECT_EQ(p.jpegQuality, 50);
    EXPECT_EQ(p.pageCount, 1);

    Page back;
    ASSERT_TRUE(ImageFile::loadPage(path, back, &error)) << error.toStdString();
    ASSERT_EQ(back.image.format(), QImage::Format_Grayscale8);
    ASSERT_EQ(back.image.size(), page.image.size());
    // JPEG is lossy: the bars must still be where they were.
    int wrong = 0;
    for (int y = 0; y < 1299; y += 7)
        for (int x = 0; x < 2480; x += 7)
            wrong += std::abs(int(back.image.constScanLine(y)[x]) - int(page.image.constScanLine(y)[x])) > 64;
    EXPECT_LT(wrong, 50);
}

TEST(ImageFile, JpegQualityClassFromLuminanceTable)
{
    struct Case
    {
        int quality;
        int info;
    };
    const Case cases[] = {
        {25, CompressionInfo::JpegMediumLowQuality},    {39, CompressionInfo::JpegMediumLowQuality},
        {40, CompressionInfo::JpegMediumMediumQuality}, {50, CompressionInfo::JpegMediumMediumQuality},
        {60, CompressionInfo::JpegMediumMediumQuality}, {61, CompressionInfo::JpegMediumHighQuality},
        {75, CompressionInfo::JpegMediumHighQuality},   {95, CompressionInfo::JpegMediumHighQuality},
        {10, CompressionInfo::JpegMediumLowQuality}};
    TestDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.quality);
        const QString path = qpath(dir, "q.tif");
        ASSERT_TRUE(tav::test::writeJpegTiff(path, 64, 48, c.quality));
        ImageProperties p;
        QString error;
        ASSERT_TRUE(ImageFile::readProperties(path, p, &error)) << error.toStdString();
        EXPECT_EQ(p.compressionType, CompressionType::Jpeg);
        EXPECT_EQ(p.compressionInfo, c.info);
        EXPECT_EQ(p.jpegQuality, c.quality);
    }
}

TEST(ImageFile, Group4AndUncompressedRoundTripExactly)
{
    TestDir dir;
    struct Case
    {
        Page page;
        Encoding encoding;
        int pageType;
        int compression;
        int info;
    };
    const Case cases[] = {
        {tav::test::monoPage(2480, 3508, 3), Encoding::tiffGroup4(), PageType::BlackWhite, CompressionType::Group4,
         CompressionInfo::Ccitt},
        {tav::test::monoPage(101, 77, 1),
         {FileType::Tiff, PageType::BlackWhite, CompressionType::None, CompressionInfo::None},
         PageType::BlackWhite,
         CompressionType::None,
         CompressionInfo::None},
        {tav::test::grayPage(333, 111, 2),
         {FileType::Tiff, PageType::Gray8, CompressionType::None, CompressionInfo::None},
         PageType::Gray8,
         CompressionType::None,
         CompressionInfo::None},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pageType * 10 + c.compression);
        const QString path = qpath(dir, "page.tif");
        QString error;
        ASSERT_TRUE(ImageFile::save(c.page, path, c.encoding, &error)) << error.toStdString();
        ImageProperties p;
        ASSERT_TRUE(ImageFile::readProperties(path, p, &error));
        EXPECT_EQ(p.pageType, c.pageType);
        EXPECT_EQ(p.compressionType, c.compression);
        EXPECT_EQ(p.compressionInfo, c.info);
        Page back;
        ASSERT_TRUE(ImageFile::loadPage(path, back, &error)) << error.toStdString();
        // Compare as grey so the colour table convention does not matter.
        EXPECT_EQ(back.image.convertToFormat(QImage::Format_Grayscale8),
                  c.page.image.convertToFormat(QImage::Format_Grayscale8));
    }
}

TEST(ImageFile, GreyPageSavedAsGroup4IsThresholded)
{
    TestDir dir;
    const QString path = qpath(dir, "bw.tif");
    const Page gray = tav::test::grayPage(200, 100, 4);
    ASSERT_TRUE(ImageFile::save(gray, path, Encoding::tiffGroup4()));
    Page back;
    ASSERT_TRUE(ImageFile::loadPage(path, back));
    EXPECT_EQ(back.image.format(), QImage::Format_Mono);
    EXPECT_EQ(back.image.convertToFormat(QImage::Format_Grayscale8), gray.image);
}

TEST(ImageFile, SaveRefusesEncodingsItCannotWriteAndKeepsOldFile)
{
    TestDir dir;
    const QString path = qpath(dir, "keep.tif");
    ASSERT_TRUE(ImageFile::save(tav::test::grayPage(50, 40), path, Encoding::tiffGroup4()));
    const QByteArray before = readAll(path);
    QString error;
    EXPECT_FALSE(ImageFile::save(tav::test::grayPage(50, 40), path,
                                 {FileType::Tiff, PageType::Gray8, CompressionType::Jpeg, 7}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(ImageFile::save(tav::test::grayPage(50, 40), path,
                                 {FileType::Tiff, PageType::BlackWhite, CompressionType::Jpeg, 1024}, &error));
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(QDir(QString::fromStdString(dir.path().string())).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(ImageFile, DamagedAndHostileFilesGiveErrors)
{
    TestDir dir;
    const QString good = qpath(dir, "good.tif");
    ASSERT_TRUE(ImageFile::save(tav::test::grayPage(640, 480), good, Encoding::tiffGrayJpegMedium()));
    const QByteArray valid = readAll(good);

    // A minimal little-endian TIFF whose tags claim a 100000 x 100000 page with one tiny strip.
    QByteArray huge("II*\0\x08\0\0\0", 8);
    auto u16 = [&](int v) { huge.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            huge.append(char((v >> (8 * i)) & 0xFF));
    };
    const int tags[][3] = {{256, 4, 100000}, {257, 4, 100000}, {258, 3, 8},      {259, 3, 1}, {262, 3, 1},
                           {273, 4, 8},      {277, 3, 1},      {278, 4, 100000}, {279, 4, 16}};
    u16(9);
    for (const auto &t : tags) {
        u16(t[0]);
        u16(t[1]);
        u32(1);
        if (t[1] == 3) {
            u16(t[2]);
            u16(0);
        } else {
            u32(quint32(t[2]));
        }
    }
    u32(0);

    const QByteArray zeroWidth = patchTag(valid, 256, 0);
    const QByteArray lzwClaim = patchTag(valid, 259, 5);
    const QByteArray sixteenBits = patchTag(valid, 258, 16);

    const std::pair<const char *, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"header only", QByteArray("II*\0", 4)},
        {"bad first directory", QByteArray("II*\0\xFF\xFF\xFF\x7F", 8)},
        {"truncated", valid.left(valid.size() / 2)},
        {"absurd size", huge},
        {"zero width", zeroWidth},
        {"JPEG data claimed as LZW", lzwClaim},
        {"JPEG data claimed 16-bit", sixteenBits},
        {"not an image", QByteArray("hello, this is text")},
        {"bmp header only", QByteArray("BM\x10\0\0\0", 6)},
    };
    for (const auto &[name, bytes] : cases) {
        SCOPED_TRACE(name);
        const QString path = qpath(dir, "bad.tif");
        writeBytes(path, bytes);
        ImageProperties p;
        Page page;
        QString error1;
        QString error2;
        const bool propsOk = ImageFile::readProperties(path, p, &error1);
        const bool pageOk = ImageFile::loadPage(path, page, &error2);
        EXPECT_FALSE(pageOk);
        EXPECT_FALSE(error2.isEmpty());
        if (!propsOk) {
            EXPECT_FALSE(error1.isEmpty());
        }
        // The same bytes from memory behave the same.
        Page memPage;
        EXPECT_FALSE(ImageFile::loadPageFromData(bytes, memPage));
    }

    ImageProperties p;
    QString error;
    EXPECT_FALSE(ImageFile::readProperties(qpath(dir, "missing.tif"), p, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("No existe")));
    EXPECT_FALSE(ImageFile::readProperties(good, p, &error, 2));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ImageFile, RenderGivesPaintableImage)
{
    TestDir dir;
    const QString path = qpath(dir, "r.tif");
    ASSERT_TRUE(ImageFile::save(tav::test::monoPage(300, 200), path, Encoding::tiffGroup4()));
    const QImage img = ImageFile::render(path);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(300, 200));
    EXPECT_EQ(qGray(img.pixel(0, 0)), 255); // paper stays white
    QString error;
    EXPECT_TRUE(ImageFile::render(qpath(dir, "nope.tif"), 1, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

TEST(ImageFile, BmpGreyAndBlackWhiteReportCodesAndRoundTrip)
{
    TestDir dir;
    struct Case
    {
        Page page;
        Encoding encoding;
        int pageType;
    };
    const Case cases[] = {{tav::test::grayPage(301, 203, 1), Encoding::bmpGray(), PageType::Gray8},
                          {tav::test::monoPage(301, 203, 2), Encoding::bmpBlackWhite(), PageType::BlackWhite}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pageType);
        const QString path = qpath(dir, "page.bmp");
        QString error;
        ASSERT_TRUE(ImageFile::save(c.page, path, c.encoding, &error)) << error.toStdString();
        ImageProperties p;
        ASSERT_TRUE(ImageFile::readProperties(path, p, &error)) << error.toStdString();
        EXPECT_EQ(p.fileType, FileType::Bmp);
        EXPECT_EQ(p.pageType, c.pageType);
        EXPECT_EQ(p.compressionType, CompressionType::None);
        EXPECT_EQ(p.compressionInfo, CompressionInfo::None);
        EXPECT_EQ(p.width, 301);
        EXPECT_EQ(p.height, 203);
        EXPECT_DOUBLE_EQ(p.xResolution, 300);
        EXPECT_DOUBLE_EQ(p.yResolution, 300);
        EXPECT_EQ(p.pageCount, 1);
        Page back;
        ASSERT_TRUE(ImageFile::loadPage(path, back, &error)) << error.toStdString();
        EXPECT_EQ(back.image.convertToFormat(QImage::Format_Grayscale8),
                  c.page.image.convertToFormat(QImage::Format_Grayscale8));
    }
    QString error;
    EXPECT_FALSE(ImageFile::save(tav::test::grayPage(10, 10), qpath(dir, "c.bmp"),
                                 {FileType::Bmp, PageType::Rgb24, CompressionType::None, 0}, &error));
    EXPECT_FALSE(error.isEmpty());
    ImageProperties p;
    EXPECT_FALSE(ImageFile::readProperties(qpath(dir, "page.bmp"), p, &error, 2));
}
