#pragma once

#include <QTextStream>

#include <filesystem>

namespace tav::app {

// Renders every window of the program to "<class>.png" in `outDir`, offscreen, with the office's data.
int screenshotsJob(const std::filesystem::path &programDir, const std::filesystem::path &outDir, QTextStream &out);

} // namespace tav::app
