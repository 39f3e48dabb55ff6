#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/field.h"

namespace store {

// One index tag of a table's production index, as it is handed to the engine's add-tag
// operation. Field tags name one field in `key`; expression tags carry the key expression text,
// which the slip-tag check later compares character for character with what the engine reports.
struct TagDef
{
    std::string name; // as passed; tag names are not case-sensitive
    std::string key; // field name or key expression, as passed
    bool primary = false;
    bool unique = false;
    bool expression = false;

    bool operator==(const TagDef &) const = default;
};

// One of the eleven tables: its fields in their physical order and its tags in the order they
// are added when the production index is built. Tables without tags have no .MDX file.
struct TableDef
{
    std::string name; // base file name, upper case: "TWCLIENT"
    std::vector<dbf::FieldDef> fields;
    std::vector<TagDef> tags;

    bool hasMemo() const;
    bool hasIndex() const { return !tags.empty(); }
    std::string dbfName() const { return name + ".DBF"; }
    std::string dbtName() const { return name + ".DBT"; }
    std::string mdxName() const { return name + ".MDX"; }
    std::string dbfTemplateName() const { return name + ".~DB"; }
    std::string dbtTemplateName() const { return name + ".~DT"; }
};

// The eleven tables in the order the schema lists them (TWCLIENT first, MENU last).
std::span<const TableDef> tables();
// The table named `name` (compared without regard to case); null when there is none.
const TableDef *findTable(std::string_view name);
// Like findTable, but throws StoreError naming the table when there is none.
const TableDef &table(std::string_view name);

// The orders in which the start-up check looks at the files: table files, then memo files, then
// index files. Each entry is a table name.
std::span<const std::string_view> tableCheckOrder();
std::span<const std::string_view> memoCheckOrder();
std::span<const std::string_view> indexCheckOrder();
// The order in which File Maintenance packs the tables.
std::span<const std::string_view> packOrder();

// The slip table's client-and-date tag as the start-up repair adds it (primary and expression;
// the full index rebuild adds it as an expression tag only), and the exact expression text the
// repair looks for among the slip table's tags.
inline constexpr std::string_view kSlipTable = "TWSLIP";
inline constexpr std::string_view kSlipDateExpression = "SL_CLIENT+DTOS(SL_DATEBEG)";
TagDef slipDateRepairTag();

} // namespace store
