#pragma once

#include "platform/imaging/ImageCodes.h"
#include "platform/scanner/ScanSettings.h"

#include <QString>
#include <QStringList>

namespace tav::capture {

// Image type of a scanner profile ("TipoImagen").
enum class ImageType { BlackWhite = 0, Gray = 1, Color8 = 2, Color24 = 3 };
// Scanner interface and feeder ("UIMode").
enum class InterfaceMode {
    None = 0,
    ShowInterface = 1,
    HideInterface = 2,
    FeederShowInterface = 3,
    FeederHideInterface = 4
};

// A scanner profile: the settings of the scanner window kept in an INI file ("ImageLib.INI", "Huella.INI",
// "Docu.INI"), section "Config".
struct ScanProfile
{
    int dpi = 300; // 100..500, step 50
    int left = 0;  // scan area in millimetres, 0..500
    int right = 210;
    int top = 0;
    int bottom = 110;
    int brightness = 0; // -1000..1000
    int contrast = 0;   // -1000..1000
    ImageType imageType = ImageType::Gray;
    InterfaceMode interfaceMode = InterfaceMode::HideInterface;
    int rotation = 0; // 0..359 degrees, applied to every page

    // Reads a profile; missing keys (or a missing file) take the defaults above, values out of their control's
    // range are brought into it.
    static ScanProfile load(const QString &path);
    // Writes every key, keeping the file's other lines.
    bool save(const QString &path, QString *error = nullptr) const;

    // Takes what the device's options now hold (resolution, mode, scan area, brightness, contrast), as the
    // person set them in its options dialog, into this profile's keys and ranges; the rest stays.
    void takeFromDevice(const QList<scanner::OptionInfo> &options);

    bool showsInterface() const;
    bool usesFeeder() const;
    // The device settings of an acquisition with this profile.
    scanner::ScanSettings scanSettings() const;
    // Bit depth of the written pages: 1 for black and white, 8 for grey and 8-bit colour, the display's depth
    // for 24-bit colour (4 up to 4 bits a pixel, 8 below 16, otherwise 24).
    int writeDepth(int displayDepth = 24) const;

    // Encoding of a document page scanned with this profile: grey JPEG (medium) for "GRAY", black and white
    // Group 4 for every other type, so every page satisfies the document check.
    imaging::Encoding documentPageEncoding() const;

    bool operator==(const ScanProfile &) const = default;

    // Texts of the choices, in index order.
    static QStringList imageTypeNames();
    static QStringList interfaceModeNames();
};

// Names the application in the imaging profile "ilTwain.ini" of the program directory (section "ImageLib Twain",
// key "App Name"), as the scanner window does when it is created.
bool writeScannerAppName(const QString &programDir, QString *error = nullptr);

} // namespace tav::capture
