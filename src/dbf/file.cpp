#include "dbf/file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dbf/errors.h"
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbf {

namespace {

[[noreturn]] void fail(const std::filesystem::path &path, const char *what, int err)
{
    throw IoError(path.filename().string() + ": " + what + " failed: " + std::strerror(err));
}

struct flock lockRange(short type, std::uint64_t offset, std::uint64_t length)
{
    struct flock fl
    {
    };
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0; // required to be 0 for open-file-description locks
    return fl;
}

} // namespace

File::~File()
{
    close();
}

File::File(File &&other) noexcept
    : m_fd(other.m_fd)
    , m_writable(other.m_writable)
    , m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_writable = other.m_writable;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

void File::close() noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

File File::open(const std::filesystem::path &path, Access access, bool allowReadOnlyFallback)
{
    File f;
    f.m_path = path;
    const bool rw = access == Access::ReadWrite;
    f.m_fd = ::open(path.c_str(), (rw ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    f.m_writable = rw;
    if (f.m_fd < 0 && rw && allowReadOnlyFallback && (errno == EACCES || errno == EROFS)) {
        f.m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        f.m_writable = false;
    }
    if (f.m_fd < 0)
        fail(path, "open", errno);
    return f;
}

File File::create(const std::filesystem::path &path)
{
    File f;
    f.m_path = path;
    f.m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (f.m_fd < 0)
        fail(path, "create", errno);
    f.m_writable = true;
    return f;
}

std::size_t File::readAt(std::uint64_t offset, void *buffer, std::size_t size) const
{
    auto *out = static_cast<char *>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(m_path, "read", errno);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void File::writeAt(std::uint64_t offset, const void *buffer, std::size_t size)
{
    const auto *in = static_cast<const char *>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(m_fd, in + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(m_path, "write", errno);
        }
        if (n == 0)
            fail(m_path, "write", EIO);
        done += static_cast<std::size_t>(n);
    }
}

std::uint64_t File::size() const
{
    struct stat st
    {
    };
    if (::fstat(m_fd, &st) != 0)
        fail(m_path, "stat", errno);
    return static_cast<std::uint64_t>(st.st_size);
}

std::int64_t File::modificationTimeNs() const
{
    struct stat st
    {
    };
    if (::fstat(m_fd, &st) != 0)
        fail(m_path, "stat", errno);
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

void File::truncate(std::uint64_t size)
{
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
        fail(m_path, "truncate", errno);
}

void File::sync()
{
    if (::fdatasync(m_fd) != 0)
        fail(m_path, "sync", errno);
}

void File::renameTo(const std::filesystem::path &to)
{
    if (::rename(m_path.c_str(), to.c_str()) != 0)
        fail(m_path, "rename", errno);
    m_path = to;
}

void File::syncDirectory(const std::filesystem::path &directory)
{
    const int fd =
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail(directory, "open", errno);
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0 && error != EINVAL)
        fail(directory, "sync", error);
}

const std::uint8_t *File::mapReadOnly(std::uint64_t length) const
{
    void *p = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_SHARED, m_fd, 0);
    return p == MAP_FAILED ? nullptr : static_cast<const std::uint8_t *>(p);
}

void File::unmap(const std::uint8_t *address, std::uint64_t length) noexcept
{
    if (address != nullptr)
        ::munmap(const_cast<std::uint8_t *>(address), static_cast<std::size_t>(length));
}

bool File::tryLock(std::uint64_t offset, std::uint64_t length, LockKind kind)
{
    struct flock fl = lockRange(kind == LockKind::Shared ? F_RDLCK : F_WRLCK, offset, length);
    while (::fcntl(m_fd, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EACCES)
            return false;
        fail(m_path, "lock", errno);
    }
    return true;
}

void File::unlock(std::uint64_t offset, std::uint64_t length)
{
    struct flock fl = lockRange(F_UNLCK, offset, length);
    while (::fcntl(m_fd, F_OFD_SETLK, &fl) != 0) {
        if (errno != EINTR)
            fail(m_path, "unlock", errno);
    }
}

} // namespace dbf
