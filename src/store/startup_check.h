#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace dbf {
class Table;
}

namespace store {

// What a start-up check did, in the order it did it. File names are the canonical upper-case
// names ("TWSLIP.DBF"); tags are written TABLE.Tag ("TWSLIP.SL_CDate").
struct StartupReport
{
    std::vector<std::string> restoredFiles; // tables and memo files copied from templates
    std::vector<std::string> staleIndexFiles; // index files of restored tables, removed
    std::vector<std::string> rebuiltIndexFiles; // index files built from scratch
    std::vector<std::string> addedTags; // every tag added, rebuilds and repair alike
    bool slipDateTagRepaired = false;
};

// The file checks that run once at program start, before any table is opened, on the data
// directory given (empty: the current directory):
//
//   restoreMissingFiles()   each missing table file, in the fixed order TWCLIENT TWSLIP TWACT
//                           TWPROJCT TWEMPLOY TWSETUP TWTRACK TWPMT TWINVOIC TWEMPMS MENU, is
//                           copied from its .~DB template; then each missing memo file
//                           (TWCLIENT TWSLIP TWSETUP) from its .~DT template. Files that exist
//                           are never touched, even when empty or damaged.
//
//   rebuildMissingIndexes() each index file missing, in the fixed order TWACT TWCLIENT TWEMPLOY
//                           TWPROJCT TWSLIP TWINVOIC TWPMT TWEMPMS MENU, is built anew: the
//                           table's production index flag is cleared (so that it opens without
//                           the file), then every tag of the schema is added in order, the first
//                           creating the file. Index files that exist are left alone.
//
// After the tables are open, the slip table must carry the client-and-date tag; index files
// written before that tag existed lack it. hasSlipDateTag() looks for it among the tags the
// engine reports (the expression compared exactly, case and all), addSlipDateTag() adds it; the
// latter needs the table to itself, so the program closes its slip cursors around it.
//
// A table restored from its template starts without records; an index file left over from the
// table it replaces would describe records that are gone, so it is removed (reported in
// staleIndexFiles).
//
// Failures: a file missing together with its template or an unwritable file throw StoreError
// naming the file; the program reports it and ends. Steps already done stay done, so the next start
// carries on where this one stopped.
class StartupCheck
{
public:
    explicit StartupCheck(std::filesystem::path dataDirectory);

    const std::filesystem::path &dataDirectory() const { return m_directory; }
    const StartupReport &report() const { return m_report; }

    void restoreMissingFiles();
    // Requires restoreMissingFiles() first (a missing table cannot be indexed). Needs each table
    // it rebuilds to itself: a table another program has open ends in StoreError naming the
    // tag, as does a key the engine refuses. Tags added before the failure stay in the file.
    void rebuildMissingIndexes();

    static bool hasSlipDateTag(dbf::Table &slipTable);
    // Adds the client-and-date tag to TWSLIP of `dataDirectory` (opened exclusively here).
    // Throws StoreError naming the tag when it cannot be added.
    static void addSlipDateTag(const std::filesystem::path &dataDirectory);

private:
    std::filesystem::path m_directory;
    StartupReport m_report;
};

} // namespace store
