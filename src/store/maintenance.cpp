#include "store/maintenance.h"

#include <array>

#include "dbf/errors.h"
#include "dbf/file.h"
#include "dbf/table.h"
#include "store/data_files.h"
#include "store/schema.h"

namespace store {

namespace fs = std::filesystem;

namespace {

// The order in which Reindex deletes the index files.
constexpr std::array<std::string_view, 9> kIndexDeleteOrder = { "TWACT", "TWCLIENT", "TWSLIP",
    "TWEMPLOY", "TWPROJCT", "TWINVOIC", "TWPMT", "TWEMPMS", "MENU" };

// Deletes the index file of table `def` while holding the table's open lock exclusively (the
// engine's lock scheme, see dbf/table.h), so no program has the table open meanwhile. The table
// itself is not opened, because its index file may be the damaged file Reindex is meant to get
// rid of. Returns false when the file is still there.
bool deleteIndexFile(const fs::path &directory, const TableDef &def)
{
    const auto index = findFile(directory, def.mdxName());
    if (!index)
        return true;
    try {
        std::optional<dbf::File> dbfFile;
        if (const auto dbfPath = findFile(directory, def.dbfName())) {
            dbfFile = dbf::File::open(*dbfPath, dbf::File::Access::ReadWrite);
            if (!dbfFile->tryLock(dbf::Table::kOpenLock, 1, dbf::File::LockKind::Exclusive))
                return false;
        }
        std::error_code ec;
        fs::remove(*index, ec);
        return !ec;
    } catch (const dbf::Error &) {
        return false;
    }
}

} // namespace

void packTable(const fs::path &directory, std::string_view name)
{
    const TableDef &def = table(name);
    auto t = dbf::Table::open(directory, def.name, dbf::OpenMode::Exclusive);
    t->pack();
    t->flush();
}

PackResult packAll(const fs::path &directory,
    const std::function<void(std::string_view table, std::size_t packed)> &afterTable)
{
    PackResult result;
    for (std::string_view name : packOrder()) {
        try {
            packTable(directory, name);
        } catch (const std::exception &e) {
            result.failedTable = std::string(name);
            result.error = e.what();
            return result;
        }
        ++result.packed;
        if (afterTable)
            afterTable(name, result.packed);
    }
    return result;
}

std::vector<std::string> deleteIndexFiles(const fs::path &directory)
{
    std::vector<std::string> kept;
    for (std::string_view name : kIndexDeleteOrder) {
        const TableDef &def = table(name);
        if (!deleteIndexFile(directory, def))
            kept.push_back(def.mdxName());
    }
    return kept;
}

} // namespace store
