#include "platform/imaging/TiffDocument.h"
#include "platform/imaging/ImageFile.h"
#include "support/TestDir.h"
#include "unit/imaging/TestImages.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <vector>

using namespace tav::imaging;
using tav::test::TestDir;

namespace {

// Pages are told apart by their width: page k of a test document is 400 + k pixels wide.
constexpr int kBaseWidth = 400;

Page numberedPage(int k, bool gray = false)
{
    return gray ? tav::test::grayPage(kBaseWidth + k, 560, k) : tav::test::monoPage(kBaseWidth + k, 560, k);
}

class TiffDocumentTest : public ::testing::Test
{
protected:
    QString path(const char *name) const { return QString::fromStdString((m_dir / name).string()); }

    // A G4 document whose pages are numbered `first`..`first + count - 1`.
    QString makeDocument(const char *name, int count)
    {
        const QString p = path(name);
        for (int k = 1; k <= count; ++k) {
            const Page page = numberedPage(k);
            QString error;
            EXPECT_TRUE(TiffDocument::appendPage(p, page, Encoding::tiffGroup4(), &error)) << error.toStdString();
        }
        return p;
    }

    // Page numbers (from the widths) in document order, and every page's encoding.
    std::vector<int> pageNumbers(const QString &p, std::vector<Encoding> *encodings = nullptr) const
    {
        std::vector<int> numbers;
        const int count = TiffDocument::pageCount(p);
        for (int i = 1; i <= count; ++i) {
            ImageProperties props;
            EXPECT_TRUE(ImageFile::readProperties(p, props, nullptr, i));
            numbers.push_back(props.width - kBaseWidth);
            if (encodings)
                encodings->push_back(Encoding::of(props));
            Page page;
            EXPECT_TRUE(ImageFile::loadPage(p, page, nullptr, i)) << "page " << i;
        }
        return numbers;
    }

    TestDir m_dir;
};

} // namespace

TEST_F(TiffDocumentTest, DeleteFirstOfThreeKeepsTheOthersInOrderAndEncoding)
{
    const QString doc = makeDocument("doc.tif", 3);
    Page page2Before;
    ASSERT_TRUE(ImageFile::loadPage(doc, page2Before, nullptr, 2));

    QString error;
    ASSERT_TRUE(TiffDocument::deletePage(doc, 1, &error)) << error.toStdString();
    std::vector<Encoding> encodings;
    EXPECT_EQ(pageNumbers(doc, &encodings), (std::vector<int>{2, 3}));
    for (const Encoding &e : encodings)
        EXPECT_EQ(e, Encoding::tiffGroup4());
    Page page1After;
    ASSERT_TRUE(ImageFile::loadPage(doc, page1After, nullptr, 1));
    EXPECT_EQ(page1After.image.convertToFormat(QImage::Format_Grayscale8),
              page2Before.image.convertToFormat(QImage::Format_Grayscale8));
    EXPECT_DOUBLE_EQ(page1After.xResolution, 300);
}

TEST_F(TiffDocumentTest, InsertAtThreeOfFourGivesFivePagesWithNewPageThird)
{
    const QString doc = makeDocument("doc.tif", 4);
    QString error;
    ASSERT_TRUE(TiffDocument::insertPage(doc, 3, numberedPage(9), Encoding::tiffGroup4(), &error))
        << error.toStdString();
    EXPECT_EQ(pageNumbers(doc), (std::vector<int>{1, 2, 9, 3, 4}));
}

TEST_F(TiffDocumentTest, AppendToOnePageAndToMissingDocument)
{
    const QString doc = makeDocument("doc.tif", 1);
    ASSERT_TRUE(TiffDocument::appendPage(doc, numberedPage(7), Encoding::tiffGroup4()));
    EXPECT_EQ(pageNumbers(doc), (std::vector<int>{1, 7}));

    const QString fresh = path("fresh.tif");
    ASSERT_TRUE(TiffDocument::replacePage(fresh, 1, numberedPage(5), Encoding::tiffGroup4()));
    EXPECT_EQ(pageNumbers(fresh), (std::vector<int>{5}));
}

TEST_F(TiffDocumentTest, ReplaceFirstOfThreeKeepsPagesTwoAndThreeUntouched)
{
    const QString doc = makeDocument("doc.tif", 3);
    Page p3;
    ASSERT_TRUE(ImageFile::loadPage(doc, p3, nullptr, 3));
    QString error;
    ASSERT_TRUE(TiffDocument::replacePage(doc, 1, numberedPage(8, true), Encoding::tiffGrayJpegMedium(), &error))
        << error.toStdString();
    std::vector<Encoding> encodings;
    EXPECT_EQ(pageNumbers(doc, &encodings), (std::vector<int>{8, 2, 3}));
    ASSERT_EQ(encodings.size(), 3u);
    EXPECT_EQ(encodings[0], Encoding::tiffGrayJpegMedium());
    EXPECT_EQ(encodings[1], Encoding::tiffGroup4());
    Page p3After;
    ASSERT_TRUE(ImageFile::loadPage(doc, p3After, nullptr, 3));
    EXPECT_EQ(p3After.image.convertToFormat(QImage::Format_Grayscale8),
              p3.image.convertToFormat(QImage::Format_Grayscale8));
}

TEST_F(TiffDocumentTest, MixedEncodingsSurviveDeletionAndInsertionFromAnotherFile)
{
    const QString doc = path("mixed.tif");
    ASSERT_TRUE(TiffDocument::appendPage(doc, numberedPage(1), Encoding::tiffGroup4()));
    ASSERT_TRUE(TiffDocument::appendPage(doc, numberedPage(2, true), Encoding::tiffGrayJpegMedium()));
    ASSERT_TRUE(TiffDocument::appendPage(doc, numberedPage(3), Encoding::tiffGroup4()));
    const QString single = path("single.tif");
    ASSERT_TRUE(ImageFile::save(numberedPage(6, true), single, Encoding::tiffGrayJpegMedium()));

    QString error;
    ASSERT_TRUE(TiffDocument::deletePage(doc, 1, &error)) << error.toStdString();
    ASSERT_TRUE(TiffDocument::insertPageFrom(doc, 1, single, 1, &error)) << error.toStdString();
    std::vector<Encoding> encodings;
    EXPECT_EQ(pageNumbers(doc, &encodings), (std::vector<int>{6, 2, 3}));
    EXPECT_EQ(encodings, (std::vector<Encoding>{Encoding::tiffGrayJpegMedium(), Encoding::tiffGrayJpegMedium(),
                                                Encoding::tiffGroup4()}));
}

TEST_F(TiffDocumentTest, RotateAndMirrorKeepEncodingAndUndoExactly)
{
    const QString doc = makeDocument("doc.tif", 2);
    Page before;
    ASSERT_TRUE(ImageFile::loadPage(doc, before, nullptr, 2));
    QString error;
    ASSERT_TRUE(TiffDocument::rotatePage(doc, 2, 90, &error)) << error.toStdString();
    ImageProperties props;
    ASSERT_TRUE(ImageFile::readProperties(doc, props, nullptr, 2));
    EXPECT_EQ(props.width, 560);
    EXPECT_EQ(props.height, kBaseWidth + 2);
    EXPECT_EQ(Encoding::of(props), Encoding::tiffGroup4());
    ASSERT_TRUE(TiffDocument::rotatePage(doc, 2, -90));
    ASSERT_TRUE(TiffDocument::mirrorPage(doc, 2));
    ASSERT_TRUE(TiffDocument::mirrorPage(doc, 2));
    Page after;
    ASSERT_TRUE(ImageFile::loadPage(doc, after, nullptr, 2));
    EXPECT_EQ(after.image.convertToFormat(QImage::Format_Grayscale8),
              before.image.convertToFormat(QImage::Format_Grayscale8));
    EXPECT_EQ(pageNumbers(doc), (std::vector<int>{1, 2}));
}

TEST_F(TiffDocumentTest, RefusedOperationsLeaveTheDocumentAsItWas)
{
    const QString doc = makeDocument("doc.tif", 1);
    QFile f(doc);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    QString error;
    EXPECT_FALSE(TiffDocument::deletePage(doc, 1, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(TiffDocument::insertPage(doc, 3, numberedPage(2), Encoding::tiffGroup4(), &error));
    EXPECT_FALSE(TiffDocument::deletePage(doc, 0, &error));
    EXPECT_FALSE(TiffDocument::rotatePage(doc, 1, 45, &error));
    EXPECT_FALSE(TiffDocument::insertPageFrom(doc, 1, path("absent.tif"), 1, &error));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(TiffDocumentTest, DamagedDocumentIsNotRebuiltAndStaysAsItWas)
{
    const QString doc = makeDocument("doc.tif", 3);
    QFile f(doc);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    f.close();
    // Cut the file in the middle of the page data: the directories of later pages are lost or point past the end.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(whole.left(whole.size() * 2 / 3));
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray damaged = f.readAll();
    f.close();

    // Every page operation refuses it and leaves the bytes as they were.
    QString error;
    EXPECT_FALSE(TiffDocument::deletePage(doc, 1, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("dañado"))) << error.toStdString();
    EXPECT_FALSE(TiffDocument::appendPage(doc, numberedPage(5), Encoding::tiffGroup4(), &error));
    EXPECT_FALSE(TiffDocument::rotatePage(doc, 1, 90, &error));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), damaged);
    f.close();
    // What can still be read reads without a crash.
    const int count = TiffDocument::pageCount(doc);
    for (int i = 1; i <= count; ++i) {
        Page page;
        ImageFile::loadPage(doc, page, nullptr, i);
    }
    const QStringList leftovers =
        QDir(QString::fromStdString(m_dir.path().string())).entryList(QDir::Hidden | QDir::Files);
    EXPECT_EQ(leftovers, QStringList{QStringLiteral("doc.tif")});
}
