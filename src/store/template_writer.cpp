#include "store/template_writer.h"

#include "dbf/cursor.h"
#include "dbf/table.h"
#include "store/store_error.h"
#include "store/template_content.h"
#include <unistd.h>

namespace store {

namespace fs = std::filesystem;

namespace {

void setValue(dbf::Cursor &cursor, const FieldValue &value)
{
    const auto index = cursor.layout().indexOf(value.field);
    if (!index)
        throw StoreError("Template field " + std::string(value.field) + " is not in table "
            + cursor.table().name() + ".");
    if (cursor.layout().field(*index).type == dbf::FieldType::Memo)
        cursor.setMemo(*index, value.value);
    else
        cursor.setText(*index, value.value);
}

void appendRow(dbf::Cursor &cursor, std::span<const FieldValue> values)
{
    cursor.append();
    for (const FieldValue &v : values)
        setValue(cursor, v);
    cursor.post();
}

void fillRows(dbf::Table &table)
{
    dbf::Cursor cursor(table);
    if (table.name() == "MENU") {
        const std::string level = std::to_string(kDefaultMenuLevel);
        for (const MenuOption &option : menuOptions())
            appendRow(cursor,
                std::array<FieldValue, 4>{
                    { { "MENU_KEY", option.code }, { "MENU_DESC", option.description },
                        { "MENU_ACCES", level }, { "MENU_USED", "Y" } } });
    } else if (table.name() == "TWSETUP") {
        appendRow(cursor, setupDefaults());
    } else if (table.name() == "TWTRACK") {
        appendRow(cursor, trackDefaults());
    }
}

void replaceFile(const fs::path &from, const fs::path &to)
{
    const fs::path partial = fs::path(to).concat(".part");
    fs::copy_file(from, partial, fs::copy_options::overwrite_existing);
    fs::rename(partial, to);
}

} // namespace

void createTemplateTable(const fs::path &directory, const TableDef &def)
{
    const fs::path path = directory / def.dbfName();
    dbf::Table::create(path, def.fields);
    auto table = dbf::Table::open(path, dbf::OpenMode::Exclusive);
    fillRows(*table);
    table->flush();
}

std::vector<fs::path> writeTemplates(const fs::path &directory)
{
    fs::create_directories(directory);
    const fs::path scratch = directory / (".templates." + std::to_string(::getpid()));
    fs::remove_all(scratch);
    fs::create_directory(scratch);
    std::vector<fs::path> written;
    try {
        for (const TableDef &def : tables()) {
            createTemplateTable(scratch, def);
            replaceFile(scratch / def.dbfName(), directory / def.dbfTemplateName());
            written.push_back(directory / def.dbfTemplateName());
            if (def.hasMemo()) {
                replaceFile(scratch / def.dbtName(), directory / def.dbtTemplateName());
                written.push_back(directory / def.dbtTemplateName());
            }
        }
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
        throw;
    }
    fs::remove_all(scratch);
    return written;
}

} // namespace store
