#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace store {

// File helpers of the data directory. Names are matched without regard to case, as the engine
// opens tables ("TWCLIENT" finds twclient.dbf), so that a directory written by another system
// in lower case is never given a second, upper-case copy of a table.

// The entry of `directory` named `name` in any case (any kind of entry); nullopt when none.
// An empty directory means the current directory.
std::optional<std::filesystem::path> findFile(
    const std::filesystem::path &directory, std::string_view name);

// Copies `source` byte for byte to `target`, which must not exist. The copy is written under a
// temporary name and then linked in, so a target never appears half written and a target that
// another program created meanwhile is never replaced (then nothing happens and false is
// returned). Throws std::filesystem::filesystem_error on a failed read or write.
bool copyNewFile(const std::filesystem::path &source, const std::filesystem::path &target);

// Writes 0 into the production index flag (byte 28) of the table file at `dbfPath`, so that the
// engine opens the table without its index file. Throws dbf::IoError when the file cannot be
// written, dbf::CorruptFile when it is too short to hold a table header (nothing is written).
void clearProductionIndexFlag(const std::filesystem::path &dbfPath);

} // namespace store
