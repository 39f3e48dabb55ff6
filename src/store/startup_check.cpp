#include "store/startup_check.h"

#include "dbf/errors.h"
#include "dbf/table.h"
#include "store/data_files.h"
#include "store/schema.h"
#include "store/store_error.h"

namespace store {

namespace fs = std::filesystem;

namespace {

// Copies template `templateName` to `fileName` when no file of that name exists. Returns whether
// it copied.
bool restoreFromTemplate(
    const fs::path &directory, const std::string &fileName, const std::string &templateName)
{
    if (findFile(directory, fileName))
        return false;
    const auto source = findFile(directory, templateName);
    if (!source)
        throw StoreError("The data file " + fileName + " is missing and so is its template "
            + templateName + ".  The program cannot start on "
            + (directory.empty() ? fs::current_path() : directory).string() + ".");
    try {
        return copyNewFile(*source, directory / fileName);
    } catch (const fs::filesystem_error &e) {
        throw StoreError("The data file " + fileName + " could not be restored from " + templateName
            + ": " + e.code().message() + ".");
    }
}

// Adds one tag to a table opened exclusively; any engine failure becomes a StoreError naming
// the tag, the table and the engine's reason.
void addTag(dbf::Table &table, const TableDef &def, const TagDef &tag)
{
    try {
        table.addTag(tag.name, tag.key,
            dbf::TagOptions{
                .unique = tag.unique, .primary = tag.primary, .expression = tag.expression });
    } catch (const dbf::Error &e) {
        throw StoreError("The index tag " + tag.name + " of " + def.dbfName()
            + " could not be added: " + e.what());
    }
}

std::unique_ptr<dbf::Table> openExclusive(
    const fs::path &directory, const TableDef &def, const TagDef &firstTag)
{
    try {
        return dbf::Table::open(directory, def.name, dbf::OpenMode::Exclusive);
    } catch (const dbf::Error &e) {
        throw StoreError("The index tag " + firstTag.name + " of " + def.dbfName()
            + " could not be added: " + e.what());
    }
}

} // namespace

StartupCheck::StartupCheck(fs::path dataDirectory)
    : m_directory(std::move(dataDirectory))
{
}

void StartupCheck::restoreMissingFiles()
{
    for (std::string_view name : tableCheckOrder()) {
        const TableDef &def = table(name);
        if (!restoreFromTemplate(m_directory, def.dbfName(), def.dbfTemplateName()))
            continue;
        m_report.restoredFiles.push_back(def.dbfName());
        if (!def.hasIndex())
            continue;
        if (const auto stale = findFile(m_directory, def.mdxName())) {
            std::error_code ec;
            fs::remove(*stale, ec);
            if (ec)
                throw StoreError("The index file " + def.mdxName()
                    + " of the restored table could not be removed: " + ec.message() + ".");
            m_report.staleIndexFiles.push_back(def.mdxName());
        }
    }
    for (std::string_view name : memoCheckOrder()) {
        const TableDef &def = table(name);
        if (restoreFromTemplate(m_directory, def.dbtName(), def.dbtTemplateName()))
            m_report.restoredFiles.push_back(def.dbtName());
    }
}

void StartupCheck::rebuildMissingIndexes()
{
    for (std::string_view name : indexCheckOrder()) {
        const TableDef &def = table(name);
        if (findFile(m_directory, def.mdxName()))
            continue;
        const auto dbfPath = findFile(m_directory, def.dbfName());
        if (!dbfPath)
            throw StoreError("The data file " + def.dbfName() + " is missing; its index file "
                + def.mdxName() + " cannot be built.");
        try {
            clearProductionIndexFlag(*dbfPath);
        } catch (const dbf::Error &e) {
            throw StoreError("The index file " + def.mdxName() + " cannot be built: " + e.what());
        }
        auto table = openExclusive(m_directory, def, def.tags.front());
        for (const TagDef &tag : def.tags) {
            addTag(*table, def, tag);
            m_report.addedTags.push_back(def.name + "." + tag.name);
        }
        table.reset();
        m_report.rebuiltIndexFiles.push_back(def.mdxName());
    }
}

bool StartupCheck::hasSlipDateTag(dbf::Table &slipTable)
{
    for (const dbf::TagInfo &tag : slipTable.tags())
        if (tag.expression == kSlipDateExpression)
            return true;
    return false;
}

void StartupCheck::addSlipDateTag(const fs::path &dataDirectory)
{
    const TableDef &def = table(kSlipTable);
    const TagDef tag = slipDateRepairTag();
    auto slips = openExclusive(dataDirectory, def, tag);
    addTag(*slips, def, tag);
}

} // namespace store
