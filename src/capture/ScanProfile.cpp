#include "capture/ScanProfile.h"

#include "platform/ini/IniFile.h"

#include <QDir>

#include <algorithm>
#include <cmath>

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

void ScanProfile::takeFromDevice(const QList<scanner::OptionInfo> &options)
{
    auto find = [&](const char *name) -> const scanner::OptionInfo * {
        for (const auto &o : options)
            if (o.name == QLatin1String(name) && o.active && o.value.isValid())
                return &o;
        return nullptr;
    };
    const auto *resolution = find("resolution");
    if (!resolution)
        resolution = find("x-resolution");
    if (resolution) {
        // The profile keeps 100..500 in steps of 50; the nearest of those is asked next time.
        const int asked = int(std::lround(resolution->value.toDouble() / 50.0)) * 50;
        dpi = std::clamp(asked, 100, 500);
    }
    if (const auto *mode = find("mode")) {
        const QString m = mode->value.toString();
        const auto *depth = find("depth");
        const bool oneBit = depth && depth->value.toDouble() == 1;
        if (m.contains(QStringLiteral("lineart"), Qt::CaseInsensitive) ||
            m.contains(QStringLiteral("binary"), Qt::CaseInsensitive) ||
            m.contains(QStringLiteral("black"), Qt::CaseInsensitive) || oneBit)
            imageType = ImageType::BlackWhite;
        else if (m.contains(QStringLiteral("color"), Qt::CaseInsensitive) ||
                 m.contains(QStringLiteral("rgb"), Qt::CaseInsensitive))
            imageType = imageType == ImageType::Color8 ? ImageType::Color8 : ImageType::Color24;
        else if (m.contains(QStringLiteral("gray"), Qt::CaseInsensitive) ||
                 m.contains(QStringLiteral("grey"), Qt::CaseInsensitive))
            imageType = ImageType::Gray;
    }
    const double dpiNow = resolution ? resolution->value.toDouble() : dpi;
    auto millimetres = [&](const scanner::OptionInfo &o) {
        const double v = o.value.toDouble();
        const double mm = o.unit == 1 /* SANE_UNIT_PIXEL */ && dpiNow > 0 ? v * 25.4 / dpiNow : v;
        return std::clamp(int(std::lround(mm)), 0, 500);
    };
    if (const auto *o = find("tl-x"))
        left = millimetres(*o);
    if (const auto *o = find("tl-y"))
        top = millimetres(*o);
    if (const auto *o = find("br-x"))
        right = millimetres(*o);
    if (const auto *o = find("br-y"))
        bottom = millimetres(*o);
    if (const auto *o = find("brightness"))
        brightness = scanner::profileLevel(o->value.toDouble(), *o);
    if (const auto *o = find("contrast"))
        contrast = scanner::profileLevel(o->value.toDouble(), *o);
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
