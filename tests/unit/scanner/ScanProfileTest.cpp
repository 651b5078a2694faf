#include "capture/ScanProfile.h"
#include "platform/ini/IniFile.h"
#include "platform/scanner/ScanSettings.h"
#include "support/TestDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tav::capture;

namespace {

QString pathIn(const tav::test::TestDir &dir, const char *name)
{
    return QDir(QString::fromStdString(dir.path().string())).filePath(QString::fromLatin1(name));
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

TEST(ScanProfile, MissingFileAndKeysGiveTheDefaults)
{
    tav::test::TestDir dir;
    const ScanProfile p = ScanProfile::load(pathIn(dir, "Huella.INI"));
    EXPECT_EQ(p, ScanProfile{});
    EXPECT_EQ(p.dpi, 300);
    EXPECT_EQ(p.right, 210);
    EXPECT_EQ(p.bottom, 110);
    EXPECT_EQ(p.imageType, ImageType::Gray);
    EXPECT_EQ(p.interfaceMode, InterfaceMode::HideInterface);

    writeText(pathIn(dir, "Docu.INI"), "[config]\r\ndpi=200\r\nTIPOIMAGEN=0\r\n");
    const ScanProfile q = ScanProfile::load(pathIn(dir, "Docu.INI"));
    EXPECT_EQ(q.dpi, 200);
    EXPECT_EQ(q.imageType, ImageType::BlackWhite);
    EXPECT_EQ(q.bottom, 110);
}

TEST(ScanProfile, SaveWritesEveryKeyAndKeepsOtherLines)
{
    tav::test::TestDir dir;
    const QString path = pathIn(dir, "ImageLib.INI");
    writeText(path, "; scanner of desk 2\r\n[Otro]\r\nClave=valor\r\n");
    ScanProfile p;
    p.dpi = 450;
    p.left = 5;
    p.right = 200;
    p.top = 7;
    p.bottom = 290;
    p.brightness = -250;
    p.contrast = 1000;
    p.imageType = ImageType::Color24;
    p.interfaceMode = InterfaceMode::FeederShowInterface;
    p.rotation = 270;
    QString error;
    ASSERT_TRUE(p.save(path, &error)) << error.toStdString();
    EXPECT_EQ(ScanProfile::load(path), p);

    const tav::ini::IniFile ini(path);
    EXPECT_EQ(ini.readString("Otro", "Clave"), QStringLiteral("valor"));
    EXPECT_EQ(ini.keys("Config"), (QStringList{"DPI", "Izquierda", "Derecha", "Arriba", "Abajo", "Brillo", "Contraste",
                                               "TipoImagen", "UIMode", "RotarGrados"}));
    EXPECT_EQ(ini.readString("Config", "Brillo"), QStringLiteral("-250"));
}

TEST(ScanProfile, OutOfRangeValuesAreBroughtIntoTheControlsRanges)
{
    tav::test::TestDir dir;
    const QString path = pathIn(dir, "Huella.INI");
    writeText(path, "[Config]\nDPI=5000\nIzquierda=-3\nBrillo=99999\nTipoImagen=9\nUIMode=-1\nRotarGrados=360\n");
    const ScanProfile p = ScanProfile::load(path);
    EXPECT_EQ(p.dpi, 500);
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.brightness, 1000);
    EXPECT_EQ(p.imageType, ImageType::Gray);
    EXPECT_EQ(p.interfaceMode, InterfaceMode::HideInterface);
    EXPECT_EQ(p.rotation, 359);
}

TEST(ScanProfile, DeviceSettingsDepthsAndDocumentEncodings)
{
    using tav::scanner::ScanMode;
    struct Case
    {
        ImageType type;
        ScanMode mode;
        int depth24;
        int depth8;
        tav::imaging::Encoding document;
    };
    const Case cases[] = {
        {ImageType::BlackWhite, ScanMode::Lineart, 1, 1, tav::imaging::Encoding::tiffGroup4()},
        {ImageType::Gray, ScanMode::Gray, 8, 8, tav::imaging::Encoding::tiffGrayJpegMedium()},
        {ImageType::Color8, ScanMode::Color, 8, 8, tav::imaging::Encoding::tiffGroup4()},
        {ImageType::Color24, ScanMode::Color, 24, 8, tav::imaging::Encoding::tiffGroup4()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.type));
        ScanProfile p;
        p.imageType = c.type;
        EXPECT_EQ(p.scanSettings().mode, c.mode);
        EXPECT_EQ(p.writeDepth(32), c.depth24 == 24 ? 24 : c.depth24);
        EXPECT_EQ(p.writeDepth(8), c.depth8);
        EXPECT_EQ(p.documentPageEncoding(), c.document);
    }
    ScanProfile p;
    p.imageType = ImageType::Color24;
    EXPECT_EQ(p.writeDepth(4), 4);

    for (int mode = 0; mode <= 4; ++mode) {
        p.interfaceMode = InterfaceMode(mode);
        EXPECT_EQ(p.scanSettings().feeder, mode >= 3) << mode;
        EXPECT_EQ(p.showsInterface(), mode == 1 || mode == 3) << mode;
    }
    p.left = 10;
    p.top = 20;
    p.right = 200;
    p.bottom = 150;
    p.dpi = 250;
    const auto s = p.scanSettings();
    EXPECT_DOUBLE_EQ(s.leftMm, 10);
    EXPECT_DOUBLE_EQ(s.topMm, 20);
    EXPECT_DOUBLE_EQ(s.rightMm, 200);
    EXPECT_DOUBLE_EQ(s.bottomMm, 150);
    EXPECT_DOUBLE_EQ(s.dpi, 250);
    EXPECT_EQ(ScanProfile::interfaceModeNames().size(), 5);
    EXPECT_EQ(ScanProfile::imageTypeNames().at(3), QStringLiteral("COLOR24"));
}

TEST(ScanProfile, ScannerAppNameIsWrittenToTheImagingProfile)
{
    tav::test::TestDir dir;
    writeText(pathIn(dir, "ILTWAIN.INI"), "[ImageLib Twain]\r\nApp Name=Otro\r\n");
    ASSERT_TRUE(writeScannerAppName(QString::fromStdString(dir.path().string())));
    const tav::ini::IniFile ini(pathIn(dir, "ilTwain.ini"));
    EXPECT_EQ(ini.readString("imagelib twain", "app name"), QStringLiteral("TAV Regional"));
    EXPECT_EQ(QDir(QString::fromStdString(dir.path().string())).entryList(QDir::Files).size(), 1);
}

// What the person sets in the scanner's options dialog comes back into the profile's own keys and ranges.
TEST(ScanProfile, TakesTheDeviceOptionsBackIntoItsKeys)
{
    using tav::scanner::ConstraintType;
    using tav::scanner::OptionInfo;
    auto option = [](const char *name, QVariant value, int unit = 0, double lo = 0, double hi = 0) {
        OptionInfo o;
        o.name = QString::fromLatin1(name);
        o.value = std::move(value);
        o.unit = unit;
        if (hi > lo) {
            o.constraint = ConstraintType::Range;
            o.minimum = lo;
            o.maximum = hi;
        }
        return o;
    };
    ScanProfile p;
    p.imageType = ImageType::Color8;
    p.brightness = 300;
    p.rotation = 90;
    p.takeFromDevice({option("resolution", 163.0), option("mode", QStringLiteral("Color")), option("tl-x", 12.4, 3),
                      option("br-x", 1181.0, 1), // pixels at 163 dpi: 184 mm
                      option("br-y", 620.0, 3), option("brightness", -50.0, 0, -100, 100),
                      option("contrast", 192.0, 0, 0, 255)});
    EXPECT_EQ(p.dpi, 150);                     // the profile's step of 50
    EXPECT_EQ(p.imageType, ImageType::Color8); // a colour mode keeps the colour type chosen
    EXPECT_EQ(p.left, 12);
    EXPECT_EQ(p.right, 184);
    EXPECT_EQ(p.bottom, 500); // the profile's range
    EXPECT_EQ(p.brightness, -500);
    EXPECT_EQ(p.contrast, 506);
    EXPECT_EQ(p.rotation, 90); // not a device option: kept

    p.takeFromDevice({option("mode", QStringLiteral("Lineart"))});
    EXPECT_EQ(p.imageType, ImageType::BlackWhite);
    p.takeFromDevice({option("mode", QStringLiteral("Gray")), option("depth", 8.0)});
    EXPECT_EQ(p.imageType, ImageType::Gray);

    // The level scale and its inverse agree on both kinds of range.
    for (const OptionInfo &o : {option("brightness", 0.0, 0, -100, 100), option("contrast", 0.0, 0, 0, 255)}) {
        for (int level : {-1000, -400, 0, 250, 1000})
            EXPECT_NEAR(tav::scanner::profileLevel(tav::scanner::deviceLevel(level, o), o), level, 1)
                << o.name.toStdString() << " " << level;
    }
}
