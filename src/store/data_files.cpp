#include "store/data_files.h"

#include <cerrno>
#include <cstring>

#include "dbf/errors.h"
#include "dbf/field.h"
#include <fcntl.h>
#include <unistd.h>

namespace store {

namespace fs = std::filesystem;

std::optional<fs::path> findFile(const fs::path &directory, std::string_view name)
{
    const fs::path dir = directory.empty() ? fs::path(".") : directory;
    std::error_code ec;
    const fs::path exact = dir / name;
    if (fs::exists(fs::symlink_status(exact, ec)))
        return directory / name;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (dbf::RecordLayout::equalsIgnoreCase(entry, name))
            return directory / entry;
    }
    return std::nullopt;
}

bool copyNewFile(const fs::path &source, const fs::path &target)
{
    fs::path partial = target;
    partial += ".part" + std::to_string(::getpid());
    fs::copy_file(source, partial, fs::copy_options::overwrite_existing);
    std::error_code ec;
    fs::create_hard_link(partial, target, ec);
    bool created = !ec;
    if (ec && ec != std::errc::file_exists) {
        // A file system without hard links: rename, after checking once more that no other
        // program restored the file meanwhile.
        if (!fs::exists(target)) {
            fs::rename(partial, target);
            return true;
        }
        created = false;
    }
    fs::remove(partial, ec);
    return created;
}

void clearProductionIndexFlag(const fs::path &dbfPath)
{
    // Byte 28 of the DBF header: 1 when a production .MDX belongs to the table.
    constexpr off_t kFlagOffset = 28;
    constexpr off_t kHeaderSize = 32;
    const int fd = ::open(dbfPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw dbf::IoError(dbfPath.filename().string() + ": " + std::strerror(errno));
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < kHeaderSize) {
        ::close(fd);
        throw dbf::CorruptFile(dbfPath, 0, "file too short for a table header");
    }
    const char zero = 0;
    const ssize_t written = ::pwrite(fd, &zero, 1, kFlagOffset);
    const int writeError = errno;
    if (::close(fd) != 0 || written != 1)
        throw dbf::IoError(
            dbfPath.filename().string() + ": " + std::strerror(written != 1 ? writeError : errno));
}

} // namespace store
