#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tav::os {

// Offices bring their program directory over from Windows, where "PED.DBF", "ped.dbf" and "Ped.dbf" name one
// file. These helpers find the file that exists on disk whatever the case of its name.

// The entry of `dir` whose name equals `name` without regard to ASCII case. An exact match wins over others;
// among several case variants (possible on Linux) the first in byte order is taken. Empty when none exists
// or the folder cannot be read.
std::optional<std::filesystem::path> findFileNoCase(const std::filesystem::path &dir, const std::string &name);

// `path` with its last component replaced by the existing entry of the same name in any case; when no such
// entry exists, `path` unchanged (so a new file is created with the case the caller gave). Only the last
// component is matched; the folders must exist as given.
std::filesystem::path resolveNoCase(const std::filesystem::path &path);

// ASCII case-insensitive comparison of two names (the file names and field names we deal with are ASCII).
bool equalsNoCase(const std::string &a, const std::string &b);

} // namespace tav::os
