#pragma once

#include <filesystem>
#include <vector>

#include "store/schema.h"

namespace store {

// The empty templates that ship in the data directory: for each table NAME.~DB, a table file of
// the schema's structure, and for each table with memo fields NAME.~DT, its memo file. They are
// empty except MENU (one row per option code), TWSETUP and TWTRACK (their single record; see
// template_content.h). Templates carry no production index: the header flag is 0, so a table
// copied from one is indexed by the start-up check.
//
// Writes every template into `directory` (created when missing), replacing templates already
// there. Returns the files written. Throws dbf::Error or std::filesystem errors; a template
// being replaced is written beside the old one and renamed over it, so a failure never leaves
// a half-written template under the real name.
std::vector<std::filesystem::path> writeTemplates(const std::filesystem::path &directory);

// Creates table `def` in `directory` as NAME.DBF (and NAME.DBT) holding the template's rows.
// Fails when the file exists. No index is built.
void createTemplateTable(const std::filesystem::path &directory, const TableDef &def);

} // namespace store
