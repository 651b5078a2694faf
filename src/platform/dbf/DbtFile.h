#pragma once

// Internal: the memo file (.DBT) of a table, in the dBASE IV/5/7 block form or the dBASE III+ form.

#include "platform/dbf/DbfFile.h"
#include "platform/dbf/DbfTypes.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace tav::dbf::detail {

class DbtFile
{
public:
    // Opens an existing memo file. `dBase3` selects the 0x1A-terminated form. Throws BadMemo when the
    // header is damaged.
    static DbtFile open(const std::filesystem::path &path, bool dBase3, bool writable);
    // Creates a new empty memo file for the table `dbfBaseName` (dBASE IV form unless dBase3).
    static DbtFile create(const std::filesystem::path &path, const std::string &dbfBaseName, bool dBase3,
                          uint16_t blockSize, bool truncate);

    const std::filesystem::path &path() const { return m_path; }
    uint16_t blockSize() const { return m_blockSize; }
    bool isDBase3() const { return m_dBase3; }

    // The bytes of the memo starting at `block`; throws BadMemo naming the file when the pointer or the
    // length lies outside the file.
    Bytes read(uint32_t block) const;
    // Appends a memo (never reuses space) and returns its first block. Safe against other processes
    // appending (lock on the memo file). Syncs when `sync`.
    uint32_t append(const Bytes &data, bool sync);
    // For the table check: what is wrong with the memo at `block` (outside the file, a length past the end),
    // or "" when it reads.
    std::string problemAt(uint32_t block) const;
    // For the table check: what is wrong with the header (shorter than one block, next free block past the
    // end of the file), or "".
    std::string headerProblem() const;
    // Nothing more than a structural check of every block reference is possible without the table; this
    // checks the header against the file size.
    void checkHeader() const;

private:
    File m_file;
    std::filesystem::path m_path;
    uint16_t m_blockSize = 512;
    bool m_dBase3 = false;
};

} // namespace tav::dbf::detail
