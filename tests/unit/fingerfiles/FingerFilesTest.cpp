#include "capture/FingerFiles.h"
#include "platform/bmp/Bmp.h"
#include "platform/wsq/Wsq.h"
#include "platform/zip/ZipArchive.h"
#include "support/TestDir.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>
#include <zip.h>

#include <cstring>
#include <fstream>

namespace tav::capture {
namespace {

namespace fs = std::filesystem;
using bmp::GreyImage;

QString q(const fs::path &p)
{
    return QString::fromStdString(p.string());
}

GreyImage filled(int w, int h, std::uint8_t v)
{
    GreyImage g;
    g.width = w;
    g.height = h;
    g.ppi = 500;
    g.pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), v);
    return g;
}

// Dark upper half, light lower half, with some ridges so the codec has work to do.
GreyImage finger(int w, int h)
{
    GreyImage g = filled(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            g.pixels[static_cast<std::size_t>(y * w + x)] =
                static_cast<std::uint8_t>((y < h / 2 ? 40 : 210) + ((x / 4 + y / 5) % 2) * 10);
    return g;
}

void writeText(const fs::path &p, const std::string &text)
{
    std::ofstream(p, std::ios::binary) << text;
}

double rowMean(const GreyImage &g, int y)
{
    double s = 0;
    for (int x = 0; x < g.width; ++x)
        s += g.at(x, y);
    return s / g.width;
}

TEST(FingerFiles, WsqFileToBmpGivesGreyBmpTopRowFirst)
{
    tav::test::TestDir dir;
    const GreyImage src = finger(400, 500);
    bmp::writeFile(dir / "dedo1.wsq", wsq::encode(src.pixels, 400, 500));
    ASSERT_TRUE(FingerFiles::WsqFileToBmp(q(dir / "dedo1.wsq"), q(dir / "dedo1.bmp")));
    const std::vector<std::uint8_t> raw = bmp::readFile(dir / "dedo1.bmp");
    EXPECT_EQ(raw[28], 8);
    for (int i : {0, 77, 255})
        EXPECT_TRUE(raw[54 + 4 * i] == i && raw[55 + 4 * i] == i && raw[56 + 4 * i] == i) << "palette " << i;
    const GreyImage out = bmp::load(dir / "dedo1.bmp");
    EXPECT_EQ(out.width, 400);
    EXPECT_EQ(out.height, 500);
    EXPECT_NEAR(rowMean(out, 0), rowMean(src, 0), 3);
    EXPECT_NEAR(rowMean(out, 499), rowMean(src, 499), 3);

    EXPECT_FALSE(FingerFiles::WsqFileToBmp(q(dir / "missing.wsq"), q(dir / "x.bmp")));
    writeText(dir / "bad.wsq", "not a wsq file");
    EXPECT_FALSE(FingerFiles::WsqFileToBmp(q(dir / "bad.wsq"), q(dir / "x.bmp")));
    EXPECT_FALSE(fs::exists(dir / "x.bmp"));
}

TEST(FingerFiles, WsqFingerToBmpChecksExtensionExactly)
{
    tav::test::TestDir dir;
    const auto wsqData = wsq::encode(finger(120, 150).pixels, 120, 150);
    struct Case
    {
        std::string file;  // created on disk (empty: nothing)
        std::string given; // name passed in
        bool ok;
        std::string error; // expected text; "$" stands for the trimmed source
    };
    const std::vector<Case> cases{
        {"dedo1.wsq", "dedo1.wsq", true, ""},
        {"dedo2.wsq", "  dedo2.wsq ", true, ""},
        {"dedo3.WSQ", "dedo3.WSQ", false, "ERROR: El archivo origen debe tener extensión wsq"},
        {"dedo4.Wsq", "dedo4.Wsq", false, "ERROR: El archivo origen debe tener extensión wsq"},
        {"", "dedo5.wsq", false, "ERROR: No existe archivo origen"},
        {"bad.wsq", "bad.wsq", false, "No se pudo convertir el archivo: $"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.given);
        if (c.file == "bad.wsq")
            writeText(dir / c.file, "damaged");
        else if (!c.file.empty())
            bmp::writeFile(dir / c.file, wsqData);
        // Spaces around the name stay around the whole path.
        const std::size_t first = c.given.find_first_not_of(' ');
        const std::size_t last = c.given.find_last_not_of(' ');
        const QString given = QString::fromStdString(c.given.substr(0, first)) + q(dir.path()) + "/" +
                              QString::fromStdString(c.given.substr(first, last - first + 1)) +
                              QString::fromStdString(c.given.substr(last + 1));
        QString error;
        const bool ok = FingerFiles::WsqFingerToBmp(given, q(dir / "out.bmp"), error);
        EXPECT_EQ(ok, c.ok);
        QString expected = QString::fromUtf8(c.error.c_str());
        expected.replace("$", given.trimmed());
        EXPECT_EQ(error, expected);
        if (ok) {
            EXPECT_FALSE(fs::exists(dir / c.file)) << "the source is deleted";
            EXPECT_EQ(bmp::load(dir / "out.bmp").width, 120);
        } else if (!c.file.empty()) {
            EXPECT_TRUE(fs::exists(dir / c.file)) << "a refused source is kept";
        }
        fs::remove(dir / "out.bmp");
    }
}

TEST(FingerFiles, BmpToWsqFileConvertsInProcess)
{
    tav::test::TestDir dir;
    QString error;
    EXPECT_FALSE(FingerFiles::BmpToWsqFile(q(dir / "none.bmp"), q(dir / "a.wsq"), error));
    EXPECT_EQ(error, "ERROR: No existe archivo origen");

    bmp::saveGrey(dir / "dedo1.bmp", finger(401, 523));
    writeText(dir / "dedo1.wsq", "old");
    ASSERT_TRUE(FingerFiles::BmpToWsqFile(" " + q(dir / "dedo1.bmp") + " ", q(dir / "dedo1.wsq"), error));
    const wsq::DecodedImage d = wsq::decode(bmp::readFile(dir / "dedo1.wsq"));
    EXPECT_EQ(d.width, 401);
    EXPECT_EQ(d.height, 523);
    EXPECT_EQ(d.ppi, 500);

    writeText(dir / "bad.bmp", "BM but nothing else");
    writeText(dir / "bad.wsq", "old");
    EXPECT_FALSE(FingerFiles::BmpToWsqFile(q(dir / "bad.bmp"), q(dir / "bad.wsq"), error));
    EXPECT_EQ(error, "ERROR: No se pudo generar " + q(dir / "bad.wsq"));
    EXPECT_FALSE(fs::exists(dir / "bad.wsq")) << "the old target is deleted first";
}

TEST(FingerFiles, BitmapToWsqUsesFixedSettingsWithoutComment)
{
    EXPECT_TRUE(FingerFiles::BitmapToWsq(GreyImage{}).empty());
    const std::vector<std::uint8_t> data = FingerFiles::BitmapToWsq(finger(200, 260));
    const wsq::DecodedImage d = wsq::decode(data);
    EXPECT_EQ(d.width, 200);
    EXPECT_EQ(d.height, 260);
    EXPECT_EQ(d.ppi, -1) << "no comment in the data";
    EXPECT_EQ(wsq::describe(data).find("COM at"), std::string::npos);

    QImage img(90, 70, QImage::Format_Indexed8);
    img.setColorCount(256);
    for (int i = 0; i < 256; ++i)
        img.setColor(i, qRgb(i, i, i));
    img.fill(100);
    const wsq::DecodedImage fromQt = wsq::decode(FingerFiles::BitmapToWsq(img));
    EXPECT_EQ(fromQt.width, 90);
    EXPECT_EQ(fromQt.pixels[0], 100);
}

TEST(FingerFiles, PackAndUnpackFlatZip)
{
    tav::test::TestDir dir;
    fs::create_directory(dir / "src");
    fs::create_directory(dir / "out");
    for (int n = 1; n <= 3; ++n)
        writeText(dir / "src" / ("dedo" + std::to_string(n) + ".wsq"), "finger " + std::to_string(n));
    QStringList names;
    for (int n = 1; n <= 3; ++n)
        names << " " + q(dir / "src") + "/dedo" + QString::number(n) + ".wsq  ";
    QString error;
    ASSERT_TRUE(FingerFiles::PackFingers(names, q(dir / "dedos.zip"), error)) << error.toStdString();
    EXPECT_EQ(names[0], q(dir / "src") + "/dedo1.wsq") << "the list holds the trimmed names";
    EXPECT_EQ(zip::list(dir / "dedos.zip"), (std::vector<std::string>{"dedo1.wsq", "dedo2.wsq", "dedo3.wsq"}));

    ASSERT_TRUE(FingerFiles::UnpackFingers(q(dir / "dedos.zip"), " " + q(dir / "out") + " ", error));
    std::ifstream in(dir / "out" / "dedo2.wsq");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "finger 2");

    // A missing file: the error names it and no archive is left (the old one is deleted first).
    names << q(dir / "src" / "dedo9.wsq");
    EXPECT_FALSE(FingerFiles::PackFingers(names, q(dir / "dedos.zip"), error));
    EXPECT_EQ(error, "ERROR: No existe archivo origen " + q(dir / "src" / "dedo9.wsq"));
    EXPECT_FALSE(fs::exists(dir / "dedos.zip"));

    EXPECT_FALSE(FingerFiles::UnpackFingers(q(dir / "dedos.zip"), q(dir / "out"), error));
    EXPECT_EQ(error, "ERROR: No existe archivo origen " + q(dir / "dedos.zip"));
    names.removeLast();
    ASSERT_TRUE(FingerFiles::PackFingers(names, q(dir / "dedos.zip"), error));
    EXPECT_FALSE(FingerFiles::UnpackFingers(q(dir / "dedos.zip"), q(dir / "nofolder"), error));
    EXPECT_EQ(error, "ERROR: No existe directorio destino " + q(dir / "nofolder"));
}

// An archive whose member would land outside the destination is refused as a whole.
TEST(FingerFiles, UnpackRefusesMembersThatLeaveTheFolder)
{
    for (const char *evil : {"../x", "a/../../x", "/tmp/x", "..\\x", "C:x"}) {
        SCOPED_TRACE(evil);
        tav::test::TestDir dir;
        fs::create_directory(dir / "out");
        int err = 0;
        zip_t *z = zip_open((dir / "evil.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        ASSERT_NE(z, nullptr);
        static const char good[] = "good", bad[] = "bad";
        zip_file_add(z, "dedo1.wsq", zip_source_buffer(z, good, 4, 0), 0);
        zip_file_add(z, evil, zip_source_buffer(z, bad, 3, 0), 0);
        ASSERT_EQ(zip_close(z), 0);
        QString error;
        EXPECT_FALSE(FingerFiles::UnpackFingers(q(dir / "evil.zip"), q(dir / "out"), error));
        EXPECT_EQ(error, "ERROR: No se pudo descomprimir archivo");
        EXPECT_FALSE(fs::exists(dir / "x"));
        EXPECT_TRUE(fs::is_empty(dir / "out")) << "nothing is extracted";
    }
}

TEST(FingerFiles, MirrorFlipsRowsAndColumns)
{
    GreyImage src = filled(3, 2, 0);
    src.pixels = {1, 2, 3, 4, 5, 6};
    struct Case
    {
        bool v, h;
        std::vector<std::uint8_t> expected;
    };
    for (const Case &c : {Case{false, false, {1, 2, 3, 4, 5, 6}}, Case{true, false, {4, 5, 6, 1, 2, 3}},
                          Case{false, true, {3, 2, 1, 6, 5, 4}}, Case{true, true, {6, 5, 4, 3, 2, 1}}}) {
        GreyImage dst;
        ASSERT_TRUE(FingerFiles::Mirror(src, dst, c.v, c.h));
        EXPECT_EQ(dst.width, 3);
        EXPECT_EQ(dst.pixels, c.expected) << c.v << c.h;
    }
    GreyImage broken = src;
    broken.pixels.pop_back();
    GreyImage dst;
    EXPECT_FALSE(FingerFiles::Mirror(broken, dst, true, false));
}

TEST(FingerFiles, BlendMultipliesAsFractionsOfWhite)
{
    struct Case
    {
        int finger, card, expected;
    };
    for (const Case c : {Case{128, 128, 64}, Case{128, 255, 128}, Case{255, 77, 77}, Case{0, 200, 0},
                         Case{255, 255, 255}, Case{1, 1, 0}, Case{200, 100, 78}})
        EXPECT_EQ(FingerFiles::blend(static_cast<std::uint8_t>(c.finger), static_cast<std::uint8_t>(c.card)),
                  c.expected)
            << c.finger << " over " << c.card;
}

class ComposeCardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        GreyImage card = filled(3850, 2000, 255);
        // A grey patch under finger 6's centre (1095, 460 from the bottom).
        for (int y = 2000 - 1 - 460 - 50; y < 2000 - 1 - 460 + 50; ++y)
            for (int x = 1095 - 100; x < 1095; ++x)
                card.pixels[static_cast<std::size_t>(y) * 3850 + static_cast<std::size_t>(x)] = 128;
        bmp::saveGrey(m_dir / "fmodelo.bemepe", card);
        for (int n = 1; n <= 10; ++n)
            bmp::saveGrey(m_dir / ("dedo" + std::to_string(n) + ".bmp"), filled(1, 1, 255));
        // Finger 1: 300 wide, black upper half and white lower half.
        GreyImage one = filled(300, 400, 255);
        std::fill(one.pixels.begin(), one.pixels.begin() + 300 * 200, 0);
        bmp::saveGrey(m_dir / "dedo1.bmp", one);
        bmp::saveGrey(m_dir / "dedo6.bmp", filled(200, 100, 128));
    }

    // Output pixel at column x, row y counted from the bottom.
    std::uint8_t at(const GreyImage &out, int x, int yFromBottom) { return out.at(x, out.height - 1 - yFromBottom); }

    tav::test::TestDir m_dir;
};

TEST_F(ComposeCardTest, PlacesAndBlendsTheFingers)
{
    ASSERT_TRUE(FingerFiles::ComposeCard(q(m_dir / "card.bmp"), "dedo", q(m_dir.path())));
    const GreyImage out = bmp::load(m_dir / "card.bmp");
    ASSERT_EQ(out.width, 3850);
    // Finger 1 covers columns 945..1244; its upper (black) half lies above the centre row 1510.
    EXPECT_EQ(at(out, 944, 1600), 255);
    EXPECT_EQ(at(out, 945, 1600), 0);
    EXPECT_EQ(at(out, 1244, 1600), 0);
    EXPECT_EQ(at(out, 1245, 1600), 255);
    EXPECT_EQ(at(out, 1000, 1709), 0);
    EXPECT_EQ(at(out, 1000, 1710), 255);
    EXPECT_EQ(at(out, 1000, 1400), 255) << "the white lower half leaves the card unchanged";
    // Finger 6 (grey 128): over the grey patch 64, over white 128.
    EXPECT_EQ(at(out, 1050, 460), 64);
    EXPECT_EQ(at(out, 1150, 460), 128);
    EXPECT_EQ(at(out, 2000, 460), 255);

    const std::vector<std::uint8_t> raw = bmp::readFile(m_dir / "card.bmp");
    const std::vector<std::uint8_t> tpl = bmp::readFile(m_dir / "fmodelo.bemepe");
    ASSERT_EQ(raw.size(), tpl.size());
    std::uint32_t size, reserved, offset;
    std::memcpy(&size, raw.data() + 2, 4);
    std::memcpy(&reserved, raw.data() + 6, 4);
    std::memcpy(&offset, raw.data() + 10, 4);
    EXPECT_EQ(size, raw.size());
    EXPECT_EQ(reserved, 0u);
    EXPECT_EQ(offset, 1078u);
    EXPECT_TRUE(std::equal(raw.begin() + 14, raw.begin() + 1078, tpl.begin() + 14)) << "template headers and palette";
}

TEST_F(ComposeCardTest, ShortOrMissingFilesWriteNothing)
{
    std::vector<std::uint8_t> finger = bmp::readFile(m_dir / "dedo7.bmp");
    finger.resize(60);
    bmp::writeFile(m_dir / "dedo7.bmp", finger);
    EXPECT_FALSE(FingerFiles::ComposeCard(q(m_dir / "card.bmp"), "dedo", q(m_dir.path())));
    EXPECT_FALSE(fs::exists(m_dir / "card.bmp"));

    fs::remove(m_dir / "dedo7.bmp");
    EXPECT_FALSE(FingerFiles::ComposeCard(q(m_dir / "card.bmp"), "dedo", q(m_dir.path())));

    bmp::saveGrey(m_dir / "dedo7.bmp", filled(1, 1, 255));
    std::vector<std::uint8_t> tpl = bmp::readFile(m_dir / "fmodelo.bemepe");
    tpl.resize(tpl.size() - 1);
    bmp::writeFile(m_dir / "fmodelo.bemepe", tpl);
    EXPECT_FALSE(FingerFiles::ComposeCard(q(m_dir / "card.bmp"), "dedo", q(m_dir.path())));
    EXPECT_FALSE(fs::exists(m_dir / "card.bmp"));
}

// The installed template has a box around every placement centre and the same layout as the card.
TEST(FingerFiles, InstalledTemplateAndAmputatedPicture)
{
    const fs::path data = fs::path(TAV_SOURCE_DIR) / "data";
    const GreyImage card = bmp::load(data / FingerFiles::kTemplateFile);
    ASSERT_GT(card.width, 3530 + 250);
    for (int n = 1; n <= 10; ++n) {
        const FingerFiles::Placement p = FingerFiles::placement(n);
        const int row = card.height - 1 - p.y;
        EXPECT_EQ(card.at(p.x, row), 255) << "the box centre is blank for finger " << n;
        int border = 0; // a dark frame left of the centre, within 400 pixels
        for (int x = p.x; x > p.x - 400 && border == 0; --x)
            border = card.at(x, row) < 100 ? x : 0;
        EXPECT_GT(border, 0) << "finger " << n;
    }
    const GreyImage amputated = bmp::load(data / "Amputado.BMP");
    EXPECT_EQ(amputated.width, 400);
    EXPECT_EQ(amputated.height, 500);
}

TEST(FingerFiles, RunAndWaitRunsInTheProgramsFolder)
{
    tav::test::TestDir dir;
    writeText(dir / "captura.sh", "#!/bin/sh\nsleep 0.2\nprintf '%s|%s' \"$1\" \"$2\" > salida.txt\n");
    fs::permissions(dir / "captura.sh", fs::perms::owner_all);
    EXPECT_TRUE(FingerFiles::RunAndWait(q(dir / "captura.sh"), "\"Ped: 5 Reg: 7\" otro", true));
    std::ifstream in(dir / "salida.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Ped: 5 Reg: 7|otro");
    EXPECT_FALSE(FingerFiles::RunAndWait(q(dir / "no-existe.exe"), "", false));
}

} // namespace
} // namespace tav::capture
