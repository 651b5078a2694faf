#include "platform/dbf/DbfFile.h"

#include "platform/dbf/DbfError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tav::dbf::detail {

namespace {
std::string sysError()
{
    return std::strerror(errno);
}
} // namespace

File::~File()
{
    close();
}

File::File(File &&other) noexcept : m_fd(other.m_fd), m_name(std::move(other.m_name))
{
    other.m_fd = -1;
}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_name = std::move(other.m_name);
        other.m_fd = -1;
    }
    return *this;
}

File File::open(const std::filesystem::path &path, bool writable)
{
    File f;
    f.m_name = path.filename().string();
    f.m_fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (f.m_fd < 0) {
        const int e = errno;
        throw DbfError(e == ENOENT ? ErrorCode::NotFound : ErrorCode::Io,
                       path.string() + ": cannot open (" + std::strerror(e) + ")");
    }
    return f;
}

File File::create(const std::filesystem::path &path, bool truncate)
{
    File f;
    f.m_name = path.filename().string();
    f.m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_EXCL), 0666);
    if (f.m_fd < 0)
        throw DbfError(ErrorCode::Io, path.string() + ": cannot create (" + sysError() + ")");
    return f;
}

void File::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

uint64_t File::size() const
{
    struct stat st
    {};
    if (::fstat(m_fd, &st) != 0)
        throw DbfError(ErrorCode::Io, m_name + ": cannot read the file size (" + sysError() + ")");
    return static_cast<uint64_t>(st.st_size);
}

size_t File::readSome(uint64_t offset, void *buf, size_t n) const
{
    size_t done = 0;
    auto *p = static_cast<char *>(buf);
    while (done < n) {
        const ssize_t r = ::pread(m_fd, p + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw DbfError(ErrorCode::Io, m_name + ": read error (" + sysError() + ")");
        }
        if (r == 0)
            break;
        done += static_cast<size_t>(r);
    }
    return done;
}

void File::readExact(uint64_t offset, void *buf, size_t n, const char *what) const
{
    if (readSome(offset, buf, n) != n)
        throw DbfError(ErrorCode::Io, m_name + ": unexpected end of file reading " + what);
}

void File::writeAll(uint64_t offset, const void *buf, size_t n)
{
    size_t done = 0;
    const auto *p = static_cast<const char *>(buf);
    while (done < n) {
        const ssize_t r = ::pwrite(m_fd, p + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw DbfError(ErrorCode::Io, m_name + ": write error (" + sysError() + ")");
        }
        done += static_cast<size_t>(r);
    }
}

void File::sync()
{
    if (::fdatasync(m_fd) != 0)
        throw DbfError(ErrorCode::Io, m_name + ": cannot flush to disk (" + sysError() + ")");
}

void File::truncate(uint64_t size)
{
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
        throw DbfError(ErrorCode::Io, m_name + ": cannot set the file size (" + sysError() + ")");
}

bool File::lock(uint64_t offset, uint64_t length, bool exclusive, bool wait)
{
    struct flock fl
    {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    for (;;) {
        if (::fcntl(m_fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno == EACCES || errno == EAGAIN)
            return false;
        throw DbfError(ErrorCode::Io, m_name + ": lock error (" + sysError() + ")");
    }
}

void File::unlock(uint64_t offset, uint64_t length)
{
    struct flock fl
    {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    ::fcntl(m_fd, F_OFD_SETLK, &fl);
}

bool File::isLockedByOther(uint64_t offset, uint64_t length, bool exclusive) const
{
    struct flock fl
    {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (::fcntl(m_fd, F_OFD_GETLK, &fl) != 0)
        return false;
    return fl.l_type != F_UNLCK;
}

void syncDirectory(const std::filesystem::path &dir)
{
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace tav::dbf::detail
