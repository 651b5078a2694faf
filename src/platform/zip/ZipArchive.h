#pragma once

// ZIP archives through libzip: ordinary deflate archives with flat member names.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tav::zip {

class ZipError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Writes a new archive holding each file under its own file name (no folders). An existing archive
// is replaced only when the whole new one was written.
void createFlat(const std::filesystem::path &archive, const std::vector<std::filesystem::path> &files);

// Member names in archive order.
std::vector<std::string> list(const std::filesystem::path &archive);

// Extracts every member under destination. Nothing is written when any member name is absolute or
// would climb out of destination ("..", drive letters, backslashes); the error names the member.
// Returns the extracted names.
std::vector<std::string> extractAll(const std::filesystem::path &archive, const std::filesystem::path &destination);

// True when the member name stays inside the folder it is extracted to.
bool isSafeMemberName(const std::string &name);

} // namespace tav::zip
