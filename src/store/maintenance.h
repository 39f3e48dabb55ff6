#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store {

// File maintenance of the data directory. Both operations need every other program out of the
// tables they touch; neither ever waits for one.

// Packs table `name` (a schema table) of `directory`: opens it exclusively, removes its deleted
// records and the memo space nothing points at, and rebuilds its tags (the engine's pack), then
// closes it. Throws dbf::TableBusy ("Table is busy...") when another program, or a Table of
// this one, has it open, and dbf::Error on any other failure; the table is then as it was.
void packTable(const std::filesystem::path &directory, std::string_view name);

struct PackResult
{
    std::size_t packed = 0; // tables packed, in packOrder()
    std::optional<std::string> failedTable; // the table that stopped the run
    std::string error; // the engine's message for it
};

// Packs every table in packOrder() (TWACT first, MENU last), calling `afterTable` with the table
// and the number packed so far after each. Stops at the first table that fails; the tables
// before it stay packed, those after it are not touched. For callers that have no table open;
// the program, which keeps cursors open, calls packTable() per table instead.
PackResult packAll(const std::filesystem::path &directory,
    const std::function<void(std::string_view table, std::size_t packed)> &afterTable = {});

// The first half of Reindex Data Files: deletes the index file of each indexed table (TWACT,
// TWCLIENT, TWSLIP, TWEMPLOY, TWPROJCT, TWINVOIC, TWPMT, TWEMPMS, MENU), so that the next start
// builds every tag anew. An index file whose table another program has open is left in place,
// since deleting it under that program would leave it writing to an index nobody else sees; so
// is a file that cannot be deleted. Returns the index files left in place. Nothing throws.
std::vector<std::string> deleteIndexFiles(const std::filesystem::path &directory);

} // namespace store
