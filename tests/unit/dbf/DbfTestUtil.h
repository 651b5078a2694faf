#pragma once

#include "platform/dbf/DbfTable.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tav::dbf::testutil {

inline std::vector<uint8_t> readFile(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::filesystem::path &p, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Options for tests that look at files right after writing: no index rebuild on close.
inline OpenOptions plainOpen()
{
    OpenOptions o;
    o.reindexOnClose = false;
    return o;
}

// Create options with plainOpen() and the given tags and mode.
inline CreateOptions plainCreate(std::vector<IndexTag> tags = {}, OpenMode mode = OpenMode::Exclusive)
{
    CreateOptions c;
    c.tags = std::move(tags);
    c.mode = mode;
    c.open = plainOpen();
    return c;
}

} // namespace tav::dbf::testutil
