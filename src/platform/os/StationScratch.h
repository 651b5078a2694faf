#pragma once

#include <QString>

namespace tav::os {

// The scratch folder of this station inside a program directory that several stations may share:
// "tmp/<host>-<user>". Scratch images of citizens (scanned pages, loaded cards, copies shown in a viewer) live
// there, so two stations never write the same scratch name, and everything left there is this station's own:
// it is emptied at start (what a crash left) and removed at the end.
class StationScratch
{
public:
    // This station's name part: host and user, reduced to letters, digits, '-', '_' and '.'.
    static QString stationName();
    // The folder for `programDir`, created (readable by its owner only) when missing. Falls back to the program
    // directory itself when the folder cannot be created, so capture keeps working.
    static QString folder(const QString &programDir);
    // Removes everything in the folder and the folder itself; false when something could not be removed.
    static bool remove(const QString &programDir);
};

} // namespace tav::os
