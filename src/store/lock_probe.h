#pragma once

#include <filesystem>
#include <string>

namespace store {

// Whether the data directory's file system keeps the byte-range record locks that let several
// copies of the program share the tables. Two checks, both needed:
//
//   1. A probe file in the directory, opened twice (two open file descriptions, as two programs
//      would): a write lock taken through the first must be refused through the second. A file
//      system without such locks fails the lock call or grants both.
//   2. The mount options of the directory's file system must not keep locks on this machine
//      only: NFS with "local_lock=all"/"local_lock=posix" (or "nolock"), SMB/CIFS with "nobrl".
//      Locks there work between the programs of one machine and silently not between machines,
//      which the probe of one machine cannot see.
//
// The probe file is named ".tarnw-lock-probe-<pid>" and removed again. A directory the program
// cannot write to is not probed (`probed` false, `safe` true): the tables' own opening reports it.
struct LockProbe
{
    bool probed = false;
    bool safe = true;
    std::string problem; // why not safe, in words for the user; empty when safe
};

LockProbe probeLocks(const std::filesystem::path &directory);

// Check 2 alone, for a file system type and its mount options as /proc/self/mountinfo lists
// them (comma-separated): the problem in words, or "" when locks reach the server.
std::string localOnlyLocking(const std::string &fsType, const std::string &options);

} // namespace store
