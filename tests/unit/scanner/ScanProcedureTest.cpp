#include "capture/ScanProcedure.h"
#include "capture/ImageChecks.h"
#include "platform/imaging/ImageFile.h"
#include "platform/imaging/TiffDocument.h"
#include "platform/scanner/SaneScanner.h"
#include "support/TestDir.h"
#include "unit/scanner/SaneEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tav::capture;
using namespace tav::imaging;

namespace {

class ScanProcedureTest : public ::testing::Test
{
protected:
    void SetUp() override { tav::test::useTestScanners(); }

    QString dir() const { return QString::fromStdString(m_dir.path().string()); }
    QString file(const char *name) const { return QDir(dir()).filePath(QString::fromLatin1(name)); }

    // A small, low-resolution request on the test device.
    ScanRequest request(ImageType type, InterfaceMode mode = InterfaceMode::HideInterface) const
    {
        ScanRequest r;
        r.programDir = dir();
        r.deviceName = QStringLiteral("test:0");
        r.profile.dpi = 100;
        r.profile.left = 0;
        r.profile.top = 0;
        r.profile.right = 60;
        r.profile.bottom = 40;
        r.profile.imageType = type;
        r.profile.interfaceMode = mode;
        return r;
    }

    ImageProperties properties(const char *name) const
    {
        ImageProperties p;
        QString error;
        EXPECT_TRUE(ImageFile::readProperties(file(name), p, &error)) << error.toStdString();
        return p;
    }

    tav::test::TestDir m_dir;
};

// Answers the options dialog: changes the test picture through the real device, or cancels.
class PictureChooser : public ScannerInterface
{
public:
    explicit PictureChooser(QString picture) : m_picture(std::move(picture)) {}
    bool edit(tav::scanner::SaneScanner &scanner, ScanProfile &) override
    {
        ++calls;
        return !m_picture.isEmpty() && scanner.setOption(QStringLiteral("test-picture"), m_picture);
    }
    int calls = 0;

private:
    QString m_picture;
};

} // namespace

TEST_F(ScanProcedureTest, WritesOutBmpAndOutTifAtTheProfileDepth)
{
    struct Case
    {
        ImageType type;
        int bmpPageType;
        int tifPageType;
        int tifCompression;
    };
    const Case cases[] = {
        {ImageType::BlackWhite, PageType::BlackWhite, PageType::BlackWhite, CompressionType::Group4},
        {ImageType::Gray, PageType::Gray8, PageType::Gray8, CompressionType::None},
        {ImageType::Color8, PageType::Gray8, PageType::Palette8, CompressionType::None},
        {ImageType::Color24, PageType::Gray8, PageType::Rgb24, CompressionType::None},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.type));
        ScanProcedure procedure;
        const ScanResult result = procedure.acquire(request(c.type));
        ASSERT_TRUE(result.ok) << result.error.toStdString();
        EXPECT_EQ(result.pages, 1);
        const ImageProperties bmp = properties("OUT.BMP");
        const ImageProperties tif = properties("OUT.TIF");
        EXPECT_EQ(bmp.fileType, FileType::Bmp);
        EXPECT_EQ(bmp.pageType, c.bmpPageType);
        EXPECT_EQ(tif.fileType, FileType::Tiff);
        EXPECT_EQ(tif.pageType, c.tifPageType);
        EXPECT_EQ(tif.compressionType, c.tifCompression);
        EXPECT_NEAR(tif.width, 236, 2); // 60 mm at 100 dpi
        EXPECT_NEAR(tif.height, 157, 2);
        EXPECT_DOUBLE_EQ(tif.xResolution, 100);
        EXPECT_EQ(bmp.width, tif.width);
    }
}

TEST_F(ScanProcedureTest, RotationDeskewAndExistingFilesInOtherCase)
{
    // Files from a Windows office may exist in lower case; they are replaced, not doubled.
    QFile old(file("out.tif"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QFile temp(file("temp.tif"));
    ASSERT_TRUE(temp.open(QIODevice::WriteOnly));
    temp.close();

    ScanRequest r = request(ImageType::Gray);
    r.profile.rotation = 90;
    r.deskew = true;
    QStringList statuses;
    ScanProcedure procedure;
    procedure.setStatusHandler([&](const QString &s) { statuses << s; });
    const ScanResult result = procedure.acquire(r);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_FALSE(procedure.pageInProgress());

    const QStringList files = QDir(dir()).entryList(QDir::Files);
    EXPECT_EQ(files, (QStringList{QStringLiteral("OUT.BMP"), QStringLiteral("out.tif")}));
    ImageProperties p;
    ASSERT_TRUE(ImageFile::readProperties(file("out.tif"), p));
    EXPECT_NEAR(p.width, 157, 2); // turned a quarter
    EXPECT_NEAR(p.height, 236, 2);
    ASSERT_EQ(statuses.size(), 2);
    EXPECT_EQ(statuses[0], QStringLiteral("DESKEWING"));
    EXPECT_TRUE(statuses[1].startsWith(QStringLiteral("Skew value (in degree) is ")));
    EXPECT_EQ(statuses[1].size(), QStringLiteral("Skew value (in degree) is ").size() + 8);
}

TEST_F(ScanProcedureTest, FeederRunWritesEveryPageAndStopsWhenEmpty)
{
    ScanProcedure procedure;
    ScanRequest r = request(ImageType::BlackWhite, InterfaceMode::FeederHideInterface);
    r.pageCount = 25;
    const ScanResult result = procedure.acquire(r);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.pages, 10);

    r.pageCount = 3;
    const ScanResult three = procedure.acquire(r);
    ASSERT_TRUE(three.ok);
    EXPECT_EQ(three.pages, 3);
}

TEST_F(ScanProcedureTest, InterfaceDialogChangesOptionsOrCancels)
{
    PictureChooser white(QStringLiteral("Solid white"));
    ScanProcedure procedure(&white);
    ScanRequest r = request(ImageType::Gray);
    r.showInterface = true;
    ScanResult result = procedure.acquire(r);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(white.calls, 1);
    Page page;
    ASSERT_TRUE(ImageFile::loadPage(file("OUT.TIF"), page));
    EXPECT_EQ(qGray(page.image.pixel(page.image.width() / 2, page.image.height() / 2)), 255);

    // The profile's interface mode asks for it as well; cancelling writes nothing.
    QFile::remove(file("OUT.TIF"));
    QFile::remove(file("OUT.BMP"));
    PictureChooser cancel{QString()};
    ScanProcedure cancelled(&cancel);
    result = cancelled.acquire(request(ImageType::Gray, InterfaceMode::ShowInterface));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(cancel.calls, 1);
    EXPECT_FALSE(QFile::exists(file("OUT.TIF")));
}

TEST_F(ScanProcedureTest, UnknownDeviceFailsWithAMessage)
{
    ScanRequest r = request(ImageType::Gray);
    r.deviceName = QStringLiteral("nosuch:0");
    ScanProcedure procedure;
    const ScanResult result = procedure.acquire(r);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_FALSE(QFile::exists(file("OUT.TIF")));
}

TEST_F(ScanProcedureTest, ScannedPagesBuildADocumentWithTheProfileEncoding)
{
    // A colour profile still gives black and white Group 4 document pages; a grey one gives medium JPEG.
    const QString doc = file("docu.tif");
    for (ImageType type : {ImageType::Color24, ImageType::Gray, ImageType::Color24}) {
        ScanRequest r = request(type);
        r.profile.dpi = 75;
        r.profile.right = 200;
        r.profile.bottom = 200; // the test device's whole glass
        ScanProcedure procedure;
        ASSERT_TRUE(procedure.acquire(r).ok);
        Page page;
        ASSERT_TRUE(ImageFile::loadPage(file("OUT.BMP"), page));
        QString error;
        ASSERT_TRUE(TiffDocument::appendPage(doc, page, r.profile.documentPageEncoding(), &error))
            << error.toStdString();
    }
    ASSERT_EQ(TiffDocument::pageCount(doc), 3);
    const Encoding expected[] = {Encoding::tiffGroup4(), Encoding::tiffGrayJpegMedium(), Encoding::tiffGroup4()};
    for (int i = 1; i <= 3; ++i) {
        ImageProperties p;
        ASSERT_TRUE(ImageFile::readProperties(doc, p, nullptr, i));
        EXPECT_EQ(Encoding::of(p), expected[i - 1]) << "page " << i;
    }
}
