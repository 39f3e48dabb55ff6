#include "store/startup_check.h"

#include "dbf/errors.h"
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

} // namespace store
