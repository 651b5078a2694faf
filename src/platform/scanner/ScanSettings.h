#pragma once

#include "platform/scanner/SaneScanner.h"

#include <QString>
#include <QStringList>

namespace tav::scanner {

enum class ScanMode { Lineart, Gray, Color };

// What an acquisition asks of the device.
struct ScanSettings
{
    double dpi = 300;
    // Scan area in millimetres from the top-left corner of the glass.
    double leftMm = 0;
    double topMm = 0;
    double rightMm = 210;
    double bottomMm = 110;
    // -1000..1000, 0 leaves the device's own setting.
    int brightness = 0;
    int contrast = 0;
    ScanMode mode = ScanMode::Gray;
    bool feeder = false;
};

// Applies the settings to an open scanner. Brightness and contrast are set only when the device has them;
// line art falls back to 1-bit grey or to grey (the page is thresholded later) on devices without a
// "Lineart" mode. `notes` lists what the device could not do as asked. False with an error when the device
// refuses something that matters (mode, resolution, the feeder).
// A brightness or contrast level of -1000..1000 as a value of the device's option, and back (symmetric ranges
// keep 0 as neutral, other ranges map end to end).
double deviceLevel(int level, const OptionInfo &option);
int profileLevel(double value, const OptionInfo &option);

bool applyScanSettings(SaneScanner &scanner, const ScanSettings &settings, QStringList *notes = nullptr,
                       QString *error = nullptr);

} // namespace tav::scanner
