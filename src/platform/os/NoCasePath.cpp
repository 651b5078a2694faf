#include "platform/os/NoCasePath.h"

#include <algorithm>
#include <system_error>

namespace tav::os {

namespace {
char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

bool equalsNoCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

std::optional<std::filesystem::path> findFileNoCase(const std::filesystem::path &dir, const std::string &name)
{
    const std::filesystem::path base = dir.empty() ? std::filesystem::path(".") : dir;
    std::error_code ec;
    const auto exact = base / name;
    if (std::filesystem::exists(exact, ec))
        return dir.empty() ? std::filesystem::path(name) : exact;
    std::optional<std::string> best;
    std::filesystem::directory_iterator it(base, ec);
    if (ec)
        return std::nullopt;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        const std::string entry = it->path().filename().string();
        if (equalsNoCase(entry, name) && (!best || entry < *best))
            best = entry;
    }
    if (!best)
        return std::nullopt;
    return dir.empty() ? std::filesystem::path(*best) : dir / *best;
}

std::filesystem::path resolveNoCase(const std::filesystem::path &path)
{
    if (!path.has_filename())
        return path;
    if (auto found = findFileNoCase(path.parent_path(), path.filename().string()))
        return *found;
    return path;
}

} // namespace tav::os
