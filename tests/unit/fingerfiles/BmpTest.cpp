#include "platform/bmp/Bmp.h"
#include "support/TestDir.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstring>

namespace tav::bmp {
namespace {

GreyImage gradient(int w, int h)
{
    GreyImage img;
    img.width = w;
    img.height = h;
    img.ppi = 500;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.pixels.push_back(static_cast<std::uint8_t>((x * 7 + y * 13) & 0xFF));
    return img;
}

std::uint32_t le32(const std::vector<std::uint8_t> &d, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, d.data() + at, 4);
    return v;
}

// Widths with every row padding; Qt reads our files as the same picture (an outside reader).
TEST(Bmp, GreyRoundTripAndOutsideReader)
{
    tav::test::TestDir dir;
    for (const int w : {1, 2, 3, 4, 5, 401}) {
        SCOPED_TRACE(w);
        const GreyImage img = gradient(w, 7);
        saveGrey(dir / "g.bmp", img);
        const GreyImage back = load(dir / "g.bmp");
        EXPECT_EQ(back.width, w);
        EXPECT_EQ(back.height, 7);
        EXPECT_EQ(back.pixels, img.pixels);
        EXPECT_EQ(back.ppi, 500);
        const std::vector<std::uint8_t> raw = readFile(dir / "g.bmp");
        EXPECT_EQ(raw[28], 8);                                  // bits per pixel
        EXPECT_EQ(le32(raw, 10), 1078u);                        // pixels after a 256-entry palette
        EXPECT_EQ(static_cast<std::int32_t>(le32(raw, 22)), 7); // bottom-up
        EXPECT_EQ(raw[54 + 4 * 200], 200);                      // palette entry 200 is grey 200
        const QImage q(QString::fromStdString((dir / "g.bmp").string()));
        ASSERT_FALSE(q.isNull());
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(qGray(q.pixel(x, y)), img.at(x, y)) << x << "," << y;
    }
}

// Colour, top-down and 1-bit files written by Qt (an independent writer) read back as grey.
TEST(Bmp, ReadsColourTopDownAndOneBitFiles)
{
    tav::test::TestDir dir;
    QImage colour(5, 3, QImage::Format_RGB888);
    colour.fill(QColor(200, 100, 50));
    colour.setPixelColor(0, 0, QColor(0, 0, 0));
    ASSERT_TRUE(colour.save(QString::fromStdString((dir / "c.bmp").string()), "BMP"));
    GreyImage c = load(dir / "c.bmp");
    ASSERT_EQ(c.width, 5);
    EXPECT_EQ(c.at(0, 0), 0);
    EXPECT_EQ(c.at(4, 2), (299 * 200 + 587 * 100 + 114 * 50 + 500) / 1000);

    // Top-down: the same file with a negative height and the rows reversed.
    std::vector<std::uint8_t> raw = encodeGrey(gradient(6, 4));
    const std::int32_t negative = -4;
    std::memcpy(raw.data() + 22, &negative, 4);
    std::vector<std::uint8_t> flipped(raw.begin(), raw.begin() + 1078);
    for (int r = 3; r >= 0; --r)
        flipped.insert(flipped.end(), raw.begin() + 1078 + r * 8, raw.begin() + 1078 + (r + 1) * 8);
    EXPECT_EQ(decode(flipped).pixels, gradient(6, 4).pixels);

    GreyImage mono = gradient(13, 5);
    for (auto &v : mono.pixels)
        v = v >= 128 ? 255 : 0;
    saveMono(dir / "m.bmp", mono);
    EXPECT_EQ(load(dir / "m.bmp").pixels, mono.pixels);
    const QImage q(QString::fromStdString((dir / "m.bmp").string()));
    EXPECT_EQ(q.depth(), 1);
    EXPECT_EQ(qGray(q.pixel(12, 4)), mono.at(12, 4));
}

TEST(Bmp, DamagedFilesGiveClearErrors)
{
    const std::vector<std::uint8_t> good = encodeGrey(gradient(10, 10));
    struct Case
    {
        const char *what;
        std::size_t at;
        std::uint8_t value;
        std::size_t keep;
        const char *expected;
    };
    for (const Case &c : {Case{"not a BMP", 0, 'X', 0, "no es un BMP"}, Case{"RLE compressed", 30, 1, 0, "comprimido"},
                          Case{"16 bits", 28, 16, 0, "16 bits"}, Case{"truncated pixels", 0, 'B', 1100, "faltan datos"},
                          Case{"huge width", 21, 0x7F, 0, "tamaño"}, Case{"short palette", 0, 'B', 300, "paleta"}}) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> d = good;
        d[c.at] = c.value;
        if (c.keep)
            d.resize(c.keep);
        try {
            decode(d);
            ADD_FAILURE() << "accepted";
        } catch (const BmpError &e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(load("/nonexistent/x.bmp"), BmpError);
}

} // namespace
} // namespace tav::bmp
