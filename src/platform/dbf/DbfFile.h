#pragma once

// Internal: a file descriptor with exact positioned reads and writes, sync and byte-range locks.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tav::dbf::detail {

class File
{
public:
    File() = default;
    ~File();
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    // Opens an existing file; throws DbfError(NotFound/Io).
    static File open(const std::filesystem::path &path, bool writable);
    // Creates a new file (fails when it exists unless `truncate`).
    static File create(const std::filesystem::path &path, bool truncate);

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const std::string &name() const { return m_name; }
    void close();

    uint64_t size() const;
    // Reads exactly n bytes or throws (naming the file and `what`).
    void readExact(uint64_t offset, void *buf, size_t n, const char *what) const;
    // Reads up to n bytes; returns the count read (short at end of file).
    size_t readSome(uint64_t offset, void *buf, size_t n) const;
    void writeAll(uint64_t offset, const void *buf, size_t n);
    void sync();
    void truncate(uint64_t size);

    // Open-file-description locks (F_OFD_SETLK). `wait` blocks (F_OFD_SETLKW).
    bool lock(uint64_t offset, uint64_t length, bool exclusive, bool wait = false);
    void unlock(uint64_t offset, uint64_t length);
    // True when another description holds a conflicting lock on the range.
    bool isLockedByOther(uint64_t offset, uint64_t length, bool exclusive) const;

private:
    int m_fd = -1;
    std::string m_name;
};

// Lock offsets used by dBASE-compatible engines (records, append, whole file).
constexpr uint64_t kLockBase = 0xEFFFFFFEULL;   // tested before a record lock; record n at kLockBase - n
constexpr uint64_t kAppendLock = 0xEFFFFFFFULL; // held while appending
constexpr uint64_t kFileLockStart = 0x40000000ULL;
constexpr uint64_t kFileLockLength = 0xB0000000ULL; // 0x40000000 .. 0xEFFFFFFF
// Our open marker, outside every range above: shared opens hold a read lock on it, exclusive opens a write
// lock, so one excludes the other between processes.
constexpr uint64_t kOpenMarker = 0xF0000000ULL;

void syncDirectory(const std::filesystem::path &dir);

} // namespace tav::dbf::detail
