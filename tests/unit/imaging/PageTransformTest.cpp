#include "platform/imaging/PageTransform.h"
#include "unit/imaging/TestImages.h"

#include <gtest/gtest.h>

using namespace tav::imaging;

TEST(PageTransform, QuarterTurnsAreExactAndSwapResolution)
{
    for (const Page &page : {tav::test::grayPage(120, 80, 1, 300), tav::test::monoPage(120, 80, 2, 300)}) {
        Page p = page;
        p.yResolution = 200;
        const Page r = PageTransform::rotate(p, 90);
        EXPECT_EQ(r.image.size(), QSize(80, 120));
        EXPECT_EQ(r.image.format(), page.image.format());
        EXPECT_DOUBLE_EQ(r.xResolution, 200);
        // Clockwise: the top-left pixel goes to the top-right corner.
        EXPECT_EQ(r.image.pixel(79, 0), p.image.pixel(0, 0));
        EXPECT_EQ(PageTransform::rotate(r, -90).image, p.image);
        EXPECT_EQ(PageTransform::rotate(PageTransform::rotate(p, 180), 180).image, p.image);
        EXPECT_EQ(PageTransform::mirror(PageTransform::mirror(p)).image, p.image);
    }
}

TEST(PageTransform, FreeRotationEnlargesAndFillsWhite)
{
    const Page page = tav::test::grayPage(400, 300);
    const Page r = PageTransform::rotate(page, 30);
    EXPECT_GT(r.image.width(), 400);
    EXPECT_GT(r.image.height(), 300);
    EXPECT_EQ(r.image.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(qGray(r.image.pixel(0, 0)), 255);
    EXPECT_EQ(qGray(r.image.pixel(r.image.width() - 1, r.image.height() - 1)), 255);
}

TEST(PageTransform, DeskewFindsTheTurnAndStraightensThePage)
{
    for (int turn : {3, -4}) {
        SCOPED_TRACE(turn);
        const Page straight = tav::test::grayPage(1200, 900, 3);
        const Page turned = PageTransform::rotate(straight, turn);
        const auto result = PageTransform::deskew(turned);
        ASSERT_TRUE(result.found);
        EXPECT_NEAR(result.skew, turn, 0.2);
        EXPECT_EQ(result.page.image.size(), turned.image.size());
        const auto again = PageTransform::deskew(result.page);
        EXPECT_LT(std::abs(again.skew), 0.2);
    }
    const auto blank = PageTransform::deskew(tav::test::grayPage(50, 50));
    EXPECT_FALSE(blank.found);
}
