#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "dbf/table.h"
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

// In a forked child: lets go of what the child inherited of the parent's tables in `directory`,
// keeping the files `keep0` and `keep1`. The parent's open files and its mappings of them keep
// its open file descriptions, and so its locks, alive for as long as the child lives.
inline void dropInheritedTables(
    const std::filesystem::path &directory, int keep0 = -1, int keep1 = -1)
{
    for (int fd = 3; fd < 4096; ++fd)
        if (fd != keep0 && fd != keep1)
            ::close(fd);
    std::ifstream maps("/proc/self/maps");
    const std::string prefix = directory.string();
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long start = 0, end = 0;
        const std::size_t path = line.find('/');
        if (path == std::string::npos || line.compare(path, prefix.size(), prefix) != 0)
            continue;
        if (std::sscanf(line.c_str(), "%lx-%lx", &start, &end) == 2)
            ::munmap(reinterpret_cast<void *>(start), end - start);
    }
}

// Another program with table `name` of `directory` open (shared) for as long as this object
// lives.
class HeldByAnotherProgram
{
public:
    HeldByAnotherProgram(const std::filesystem::path &directory, const char *name)
    {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            throw std::runtime_error("pipe");
        m_pid = ::fork();
        if (m_pid == 0) {
            dropInheritedTables(directory, ready[1], release[0]);
            char c = 'n';
            try {
                auto table = dbf::Table::open(directory, name, dbf::OpenMode::Shared);
                c = 'y';
                (void)!::write(ready[1], &c, 1);
                (void)!::read(release[0], &c, 1); // until the parent closes its end
            } catch (...) {
                (void)!::write(ready[1], &c, 1);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char c = 0;
        (void)!::read(ready[0], &c, 1);
        ::close(ready[0]);
        if (c != 'y')
            throw std::runtime_error("the other program could not open the table");
    }
    ~HeldByAnotherProgram()
    {
        ::close(m_release);
        ::waitpid(m_pid, nullptr, 0);
    }
    HeldByAnotherProgram(const HeldByAnotherProgram &) = delete;
    HeldByAnotherProgram &operator=(const HeldByAnotherProgram &) = delete;

private:
    pid_t m_pid = -1;
    int m_release = -1;
};
