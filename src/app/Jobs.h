#pragma once

#include <QString>
#include <QTextStream>

#include <filesystem>

namespace tav::app {

// The administrators' jobs that run without a display. They use the same operations as the windows.
// Each returns the process exit code (0 = success).
int initOfficeJob(const std::filesystem::path &officeDir, const std::filesystem::path &programDir, QTextStream &out);
int reindexJob(const std::filesystem::path &programDir, QTextStream &out);
int purgeJob(const std::filesystem::path &programDir, QTextStream &out);
int checkJob(const std::filesystem::path &programDir, QTextStream &out);

} // namespace tav::app
