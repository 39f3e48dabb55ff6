#include "store/lock_probe.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace store {

namespace {

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

// Mount points in mountinfo escape blanks, tabs, newlines and backslashes as \ooo.
std::string unescape(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string octal = text.substr(i + 1, 3);
            if (octal.find_first_not_of("01234567") == std::string::npos) {
                out += char(std::stoi(octal, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The file system type and all mount options (per-mount and super-block) of the mount that
// holds `path`; empty when /proc/self/mountinfo cannot be read.
std::pair<std::string, std::string> mountOf(const std::filesystem::path &path)
{
    std::error_code ec;
    const std::string target = std::filesystem::weakly_canonical(path, ec).string();
    std::ifstream in("/proc/self/mountinfo");
    std::string line, bestPoint, bestType, bestOptions;
    // Each line: id parent major:minor root mount-point options [optional...] - type source super
    while (std::getline(in, line)) {
        const std::vector<std::string> f = split(line, ' ');
        std::size_t dash = 0;
        while (dash < f.size() && f[dash] != "-")
            ++dash;
        if (f.size() < 6 || dash + 1 >= f.size())
            continue;
        const std::string point = unescape(f[4]);
        const bool inside = target == point
            || (target.compare(0, point.size(), point) == 0
                && (point == "/" || target[point.size()] == '/'));
        if (inside && point.size() >= bestPoint.size()) {
            bestPoint = point;
            bestType = f[dash + 1];
            bestOptions = f[5] + (dash + 3 < f.size() ? "," + f[dash + 3] : std::string());
        }
    }
    return { bestType, bestOptions };
}

} // namespace

std::string localOnlyLocking(const std::string &fsType, const std::string &options)
{
    const std::vector<std::string> list = split(options, ',');
    const auto has = [&](const char *option) {
        for (const std::string &o : list)
            if (o == option)
                return true;
        return false;
    };
    if (fsType.rfind("nfs", 0) == 0
        && (has("local_lock=all") || has("local_lock=posix") || has("nolock")))
        return "the network share is mounted with locks kept on this computer only (NFS "
               "\"local_lock\" or \"nolock\")";
    if ((fsType == "cifs" || fsType == "smb3") && has("nobrl"))
        return "the network share is mounted without byte-range locks (SMB \"nobrl\")";
    return {};
}

LockProbe probeLocks(const std::filesystem::path &directory)
{
    LockProbe result;
    const std::filesystem::path probe =
        directory / (".tarnw-lock-probe-" + std::to_string(::getpid()));
    const int first = ::open(probe.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (first < 0)
        return result; // not writable here: nothing to probe
    result.probed = true;
    const int second = ::open(probe.c_str(), O_RDWR | O_CLOEXEC);
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0x7fff0000; // far beyond the file's end, as the engine's record locks lie
    lock.l_len = 1;
    if (second < 0) {
        result.safe = false;
        result.problem =
            std::string("the probe file could not be opened twice (") + std::strerror(errno) + ")";
    } else if (::fcntl(first, F_OFD_SETLK, &lock) != 0) {
        result.safe = false;
        result.problem =
            std::string("the file system refuses record locks (") + std::strerror(errno) + ")";
    } else if (::fcntl(second, F_OFD_SETLK, &lock) == 0) {
        result.safe = false;
        result.problem = "the file system grants the same record lock twice";
    }
    if (second >= 0)
        ::close(second);
    ::close(first);
    ::unlink(probe.c_str());
    if (result.safe) {
        const auto [type, options] = mountOf(directory);
        result.problem = localOnlyLocking(type, options);
        result.safe = result.problem.empty();
    }
    return result;
}

} // namespace store
