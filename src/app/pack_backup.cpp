#include "app/pack_backup.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "store/data_files.h"
#include "store/schema.h"
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace fs = std::filesystem;

namespace {

std::string runFolderName(std::chrono::local_seconds start)
{
    const auto day = std::chrono::floor<std::chrono::days>(start);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss time(start - day);
    char name[32];
    std::snprintf(name, sizeof name, "%04d-%02u-%02u_%02d%02d%02d", int(date.year()),
        unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
        int(time.minutes().count()), int(time.seconds().count()));
    return name;
}

// The permission bits of `path`: the data directory's for the folders, a file's for its copy.
fs::perms permissionsOf(const fs::path &path)
{
    return fs::status(path.empty() ? fs::path(".") : path).permissions() & fs::perms::mask;
}

[[noreturn]] void fail(const fs::path &file, const std::string &what, int error)
{
    throw std::runtime_error(
        file.filename().string() + ": " + what + " (" + std::strerror(error) + ")");
}

// Copies `source` to `target` byte for byte through `target`.part, synced before the rename,
// with the source's permission bits (not narrowed by the umask).
void copySynced(const fs::path &source, const fs::path &target)
{
    fs::path partial = target;
    partial += ".part";
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        fail(source, "cannot be read", errno);
    struct stat info
    {
    };
    ::fstat(in, &info);
    const int out = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        fail(target, "cannot be created", error);
    }
    int error = 0;
    std::vector<char> block(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, block.data(), block.size());
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, block.data() + done, std::size_t(n - done));
            if (w < 0) {
                error = errno;
                break;
            }
            done += w;
        }
        if (error)
            break;
    }
    if (!error && ::fchmod(out, info.st_mode & 07777) != 0)
        error = errno;
    if (!error && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && !error)
        error = errno;
    ::close(in);
    if (!error && ::rename(partial.c_str(), target.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(partial.c_str());
        fail(target, "cannot be written", error);
    }
}

void syncDirectory(const fs::path &directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

PackBackup::PackBackup(const fs::path &dataDirectory, std::chrono::local_seconds start)
    : m_dataDirectory(dataDirectory)
    , m_folder(backupDirectory(dataDirectory) / runFolderName(start))
{
}

fs::path PackBackup::backupDirectory(const fs::path &dataDirectory)
{
    return dataDirectory / "backup";
}

bool PackBackup::isRunFolderName(const std::string &name)
{
    // YYYY-MM-DD_HHMMSS, optionally _N
    static constexpr std::string_view kShape = "dddd-dd-dd_dddddd";
    if (name.size() < kShape.size())
        return false;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (kShape[i] == 'd' ? !digit : name[i] != kShape[i])
            return false;
    }
    const std::string rest = name.substr(kShape.size());
    return rest.empty()
        || (rest.size() > 1 && rest[0] == '_'
            && rest.find_first_not_of("0123456789", 1) == std::string::npos);
}

void PackBackup::makeFolder()
{
    const fs::perms perms = permissionsOf(m_dataDirectory);
    const fs::path parent = backupDirectory(m_dataDirectory);
    std::error_code ec;
    if (fs::create_directory(parent, ec))
        fs::permissions(parent, perms, ec);
    if (ec)
        fail(parent, "cannot be made", ec.value());
    const fs::path base = m_folder;
    for (int n = 2;; ++n) {
        if (fs::create_directory(m_folder, ec))
            break;
        if (ec)
            fail(m_folder, "cannot be made", ec.value());
        m_folder = base;
        m_folder += "_" + std::to_string(n);
    }
    fs::permissions(m_folder, perms, ec);
    syncDirectory(parent);
    m_made = true;
}

void PackBackup::copyTable(std::string_view name)
{
    const store::TableDef &def = store::table(name);
    std::vector<fs::path> files;
    for (const std::string &file : { def.dbfName(), def.dbtName(), def.mdxName() })
        if (const auto found = store::findFile(m_dataDirectory, file))
            files.push_back(*found);
    if (files.empty())
        return;
    if (!m_made)
        makeFolder();
    for (const fs::path &file : files)
        copySynced(file, m_folder / file.filename());
    syncDirectory(m_folder);
}

std::vector<fs::path> PackBackup::prune() const
{
    std::vector<fs::path> runs;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(backupDirectory(m_dataDirectory), ec))
        if (entry.is_directory(ec) && isRunFolderName(entry.path().filename().string()))
            runs.push_back(entry.path());
    std::sort(runs.begin(), runs.end(), std::greater<>());
    std::vector<fs::path> removed;
    for (std::size_t i = kKept; i < runs.size(); ++i) {
        fs::remove_all(runs[i], ec);
        if (!ec)
            removed.push_back(runs[i]);
    }
    return removed;
}

} // namespace app
