#include "capture/ScanProfile.h"

#include "platform/ini/IniFile.h"

#include <QDir>

#include <algorithm>

namespace tav::capture {

namespace {

const QString kSection = QStringLiteral("Config");

int readClamped(const ini::IniFile &ini, const char *key, int def, int lo, int hi)
{
    return std::clamp(ini.readInteger(kSection, QString::fromLatin1(key), def), lo, hi);
}

} // namespace

ScanProfile ScanProfile::load(const QString &path)
{
    const ini::IniFile ini(path);
    ScanProfile p;
    const int dpi = readClamped(ini, "DPI", p.dpi, 100, 500);
    p.dpi = dpi;
    p.left = readClamped(ini, "Izquierda", p.left, 0, 500);
    p.right = readClamped(ini, "Derecha", p.right, 0, 500);
    p.top = readClamped(ini, "Arriba", p.top, 0, 500);
    p.bottom = readClamped(ini, "Abajo", p.bottom, 0, 500);
    p.brightness = readClamped(ini, "Brillo", p.brightness, -1000, 1000);
    p.contrast = readClamped(ini, "Contraste", p.contrast, -1000, 1000);
    const int type = ini.readInteger(kSection, QStringLiteral("TipoImagen"), int(p.imageType));
    if (type >= 0 && type <= 3)
        p.imageType = ImageType(type);
    const int mode = ini.readInteger(kSection, QStringLiteral("UIMode"), int(p.interfaceMode));
    if (mode >= 0 && mode <= 4)
        p.interfaceMode = InterfaceMode(mode);
    p.rotation = readClamped(ini, "RotarGrados", p.rotation, 0, 359);
    return p;
}

bool ScanProfile::save(const QString &path, QString *error) const
{
    ini::IniFile ini(path);
    ini.writeInteger(kSection, QStringLiteral("DPI"), dpi);
    ini.writeInteger(kSection, QStringLiteral("Izquierda"), left);
    ini.writeInteger(kSection, QStringLiteral("Derecha"), right);
    ini.writeInteger(kSection, QStringLiteral("Arriba"), top);
    ini.writeInteger(kSection, QStringLiteral("Abajo"), bottom);
    ini.writeInteger(kSection, QStringLiteral("Brillo"), brightness);
    ini.writeInteger(kSection, QStringLiteral("Contraste"), contrast);
    ini.writeInteger(kSection, QStringLiteral("TipoImagen"), int(imageType));
    ini.writeInteger(kSection, QStringLiteral("UIMode"), int(interfaceMode));
    ini.writeInteger(kSection, QStringLiteral("RotarGrados"), rotation);
    if (!ini.save()) {
        if (error)
            *error = ini.errorString();
        return false;
    }
    return true;
}

bool ScanProfile::showsInterface() const
{
    return interfaceMode == InterfaceMode::ShowInterface || interfaceMode == InterfaceMode::FeederShowInterface;
}

bool ScanProfile::usesFeeder() const
{
    return interfaceMode == InterfaceMode::FeederShowInterface || interfaceMode == InterfaceMode::FeederHideInterface;
}

scanner::ScanSettings ScanProfile::scanSettings() const
{
    scanner::ScanSettings s;
    s.dpi = dpi;
    s.leftMm = left;
    s.topMm = top;
    s.rightMm = right;
    s.bottomMm = bottom;
    s.brightness = brightness;
    s.contrast = contrast;
    switch (imageType) {
    case ImageType::BlackWhite:
        s.mode = scanner::ScanMode::Lineart;
        break;
    case ImageType::Gray:
        s.mode = scanner::ScanMode::Gray;
        break;
    case ImageType::Color8:
    case ImageType::Color24:
        s.mode = scanner::ScanMode::Color;
        break;
    }
    s.feeder = usesFeeder();
    return s;
}

int ScanProfile::writeDepth(int displayDepth) const
{
    switch (imageType) {
    case ImageType::BlackWhite:
        return 1;
    case ImageType::Gray:
    case ImageType::Color8:
        return 8;
    case ImageType::Color24:
        return displayDepth <= 4 ? 4 : displayDepth < 16 ? 8 : 24;
    }
    return 8;
}

imaging::Encoding ScanProfile::documentPageEncoding() const
{
    return imageType == ImageType::Gray ? imaging::Encoding::tiffGrayJpegMedium() : imaging::Encoding::tiffGroup4();
}

QStringList ScanProfile::imageTypeNames()
{
    return {QStringLiteral("BW"), QStringLiteral("GRAY"), QStringLiteral("COLOR8"), QStringLiteral("COLOR24")};
}

QStringList ScanProfile::interfaceModeNames()
{
    return {QStringLiteral("Ninguno"), QStringLiteral("Mostrar Interface de Usuario"),
            QStringLiteral("Ocultar Interface de Usuario"), QStringLiteral("Usar ADF + Mostrar Interface de Usuario"),
            QStringLiteral("Usar ADF + Ocultar Interface de Usuario")};
}

bool writeScannerAppName(const QString &programDir, QString *error)
{
    ini::IniFile ini(QDir(programDir).filePath(QStringLiteral("ilTwain.ini")));
    ini.writeString(QStringLiteral("ImageLib Twain"), QStringLiteral("App Name"), QStringLiteral("TAV Regional"));
    if (!ini.save()) {
        if (error)
            *error = ini.errorString();
        return false;
    }
    return true;
}

} // namespace tav::capture
