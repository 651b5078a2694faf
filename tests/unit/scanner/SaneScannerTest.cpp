#include "platform/scanner/SaneScanner.h"
#include "platform/scanner/ScanSettings.h"
#include "unit/scanner/SaneEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tav::scanner;

// SANE's test backend stops its reader thread with a cancellation that can land inside the allocator;
// the sanitizer's leak check at exit then waits forever for the lock that thread held. The leaks it
// would find are the backend's own (its reader buffer), so this program runs without the exit check.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

namespace {

class SaneScannerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tav::test::useTestScanners(); // before SANE starts with the first scanner object
        m_device = std::make_unique<SaneScanner>();
        QString error;
        ASSERT_TRUE(scanner().open(QStringLiteral("test:0"), &error)) << error.toStdString();
    }

    // Scans one page with the given settings (a small area at low resolution keeps it fast).
    tav::imaging::Page scan(ScanSettings s)
    {
        QString error;
        QStringList notes;
        EXPECT_TRUE(applyScanSettings(scanner(), s, &notes, &error)) << error.toStdString();
        tav::imaging::Page page;
        EXPECT_EQ(scanner().scanPage(page, &error), SaneScanner::PageStatus::Ok) << error.toStdString();
        scanner().cancel();
        return page;
    }

    static ScanSettings small(ScanMode mode)
    {
        ScanSettings s;
        s.dpi = 100;
        s.leftMm = 0;
        s.topMm = 0;
        s.rightMm = 50.8; // 2 inches
        s.bottomMm = 25.4;
        s.mode = mode;
        return s;
    }

    SaneScanner &scanner() { return *m_device; }

    std::unique_ptr<SaneScanner> m_device;
};

int darkShare(const QImage &img)
{
    const QImage g = img.convertToFormat(QImage::Format_Grayscale8);
    int dark = 0;
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x)
            dark += g.constScanLine(y)[x] < 128;
    return 100 * dark / (g.width() * g.height());
}

} // namespace

TEST_F(SaneScannerTest, ListsDevicesAndOptionsWithConstraints)
{
    QList<DeviceInfo> devices;
    ASSERT_TRUE(SaneScanner::listDevices(devices));
    QStringList names;
    for (const auto &d : devices)
        names << d.name;
    EXPECT_TRUE(names.contains(QStringLiteral("test:0"))) << names.join(',').toStdString();

    const auto mode = scanner().option(QStringLiteral("mode"));
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->type, OptionType::String);
    EXPECT_EQ(mode->constraint, ConstraintType::StringList);
    EXPECT_TRUE(mode->strings.contains(QStringLiteral("Gray")));
    EXPECT_EQ(mode->value.toString(), QStringLiteral("Gray"));

    const auto resolution = scanner().option(QStringLiteral("resolution"));
    ASSERT_TRUE(resolution);
    EXPECT_EQ(resolution->constraint, ConstraintType::Range);
    EXPECT_DOUBLE_EQ(resolution->minimum, 1);
    EXPECT_DOUBLE_EQ(resolution->maximum, 1200);

    const auto depth = scanner().option(QStringLiteral("depth"));
    ASSERT_TRUE(depth);
    EXPECT_EQ(depth->constraint, ConstraintType::WordList);
    EXPECT_TRUE(depth->words.contains(1.0));

    bool sawGroup = false;
    for (const auto &o : scanner().options())
        sawGroup = sawGroup || o.type == OptionType::Group;
    EXPECT_TRUE(sawGroup);
}

TEST_F(SaneScannerTest, SetOptionClampsAndMatchesListEntries)
{
    QString error;
    ASSERT_TRUE(scanner().setOption(QStringLiteral("resolution"), 75, &error)) << error.toStdString();
    EXPECT_DOUBLE_EQ(scanner().option(QStringLiteral("resolution"))->value.toDouble(), 75);
    ASSERT_TRUE(scanner().setOption(QStringLiteral("resolution"), 5000));
    EXPECT_DOUBLE_EQ(scanner().option(QStringLiteral("resolution"))->value.toDouble(), 1200);
    ASSERT_TRUE(scanner().setOption(QStringLiteral("mode"), QStringLiteral("color")));
    EXPECT_EQ(scanner().option(QStringLiteral("mode"))->value.toString(), QStringLiteral("Color"));
    EXPECT_FALSE(scanner().setOption(QStringLiteral("no-such-option"), 1, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(SaneScannerTest, ScansGreyLineArtAndColourPagesOfTheAskedArea)
{
    const auto gray = scan(small(ScanMode::Gray));
    ASSERT_FALSE(gray.isNull());
    EXPECT_EQ(gray.image.format(), QImage::Format_Grayscale8);
    EXPECT_NEAR(gray.image.width(), 200, 2);
    EXPECT_NEAR(gray.image.height(), 100, 2);
    EXPECT_DOUBLE_EQ(gray.xResolution, 100);
    const int dark = darkShare(gray.image);
    EXPECT_GT(dark, 10); // the grid has both black and white squares
    EXPECT_LT(dark, 90);

    const auto bw = scan(small(ScanMode::Lineart));
    EXPECT_EQ(bw.image.format(), QImage::Format_Mono);
    EXPECT_EQ(bw.image.size(), gray.image.size());
    EXPECT_NEAR(darkShare(bw.image), dark, 5);

    const auto colour = scan(small(ScanMode::Color));
    EXPECT_EQ(colour.image.format(), QImage::Format_RGB32);
    EXPECT_EQ(colour.image.size(), gray.image.size());
}

TEST_F(SaneScannerTest, ThreePassAndHandScannerFramesAreAssembled)
{
    ASSERT_TRUE(scanner().setOption(QStringLiteral("mode"), QStringLiteral("Color")));
    ASSERT_TRUE(scanner().setOption(QStringLiteral("three-pass"), true));
    const auto colour = scan(small(ScanMode::Color));
    EXPECT_EQ(colour.image.format(), QImage::Format_RGB32);
    EXPECT_NEAR(colour.image.width(), 200, 2);
    EXPECT_NEAR(colour.image.height(), 100, 2);

    ASSERT_TRUE(scanner().setOption(QStringLiteral("three-pass"), false));
    ASSERT_TRUE(scanner().setOption(QStringLiteral("hand-scanner"), true));
    ScanSettings s = small(ScanMode::Gray);
    tav::imaging::Page page;
    QString error;
    ASSERT_TRUE(applyScanSettings(scanner(), s, nullptr, &error)) << error.toStdString();
    ASSERT_EQ(scanner().scanPage(page, &error), SaneScanner::PageStatus::Ok) << error.toStdString();
    EXPECT_GT(page.image.height(), 0); // height unknown in advance: taken from the data
}

TEST_F(SaneScannerTest, FeederRunsOutOfPagesAndMissingFeederIsAnError)
{
    ScanSettings s = small(ScanMode::Gray);
    s.feeder = true;
    QString error;
    ASSERT_TRUE(applyScanSettings(scanner(), s, nullptr, &error)) << error.toStdString();
    EXPECT_EQ(scanner().option(QStringLiteral("source"))->value.toString(),
              QStringLiteral("Automatic Document Feeder"));
    int pages = 0;
    tav::imaging::Page page;
    SaneScanner::PageStatus status;
    while ((status = scanner().scanPage(page, &error)) == SaneScanner::PageStatus::Ok && pages < 50)
        ++pages;
    EXPECT_EQ(status, SaneScanner::PageStatus::NoMoreDocuments);
    EXPECT_EQ(pages, 10);
    scanner().cancel();

    s.feeder = false;
    ASSERT_TRUE(applyScanSettings(scanner(), s, nullptr, &error));
    EXPECT_EQ(scanner().option(QStringLiteral("source"))->value.toString(), QStringLiteral("Flatbed"));
}

TEST_F(SaneScannerTest, ReadErrorsOfTheDeviceAreReported)
{
    ASSERT_TRUE(scanner().setOption(QStringLiteral("enable-test-options"), true));
    const struct
    {
        const char *code;
        SaneScanner::PageStatus status;
    } cases[] = {{"SANE_STATUS_IO_ERROR", SaneScanner::PageStatus::Error},
                 {"SANE_STATUS_JAMMED", SaneScanner::PageStatus::Error},
                 {"SANE_STATUS_CANCELLED", SaneScanner::PageStatus::Cancelled}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        QString error;
        ASSERT_TRUE(scanner().setOption(QStringLiteral("read-return-value"), QString::fromLatin1(c.code), &error))
            << error.toStdString();
        tav::imaging::Page page;
        EXPECT_EQ(scanner().scanPage(page, &error), c.status);
        EXPECT_TRUE(page.isNull());
        if (c.status == SaneScanner::PageStatus::Error) {
            EXPECT_FALSE(error.isEmpty());
        }
        scanner().cancel();
    }
}
