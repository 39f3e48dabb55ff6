#include <istream>
#include <ostream>

#include "commands.h"
#include "csv.h"
#include "dbf/cursor.h"
#include "dbf/errors.h"

namespace tool {

namespace {

// Dates come as YYYY-MM-DD (as dump writes them) or YYYYMMDD.
std::string dateText(const std::string &value)
{
    if (value.size() == 10 && value[4] == '-' && value[7] == '-')
        return value.substr(0, 4) + value.substr(5, 2) + value.substr(8, 2);
    return value;
}

} // namespace

int runLoad(const std::vector<std::string> &args, std::istream &in, std::ostream &out)
{
    if (args.size() != 1)
        throw UsageError{ "one file is needed" };
    auto table = dbf::Table::open(args[0], dbf::OpenMode::Shared);
    dbf::Cursor cursor(*table);

    const auto header = readCsvRow(in);
    if (!header)
        throw dbf::Error("the input has no header row");
    std::vector<std::size_t> columns;
    for (const std::string &name : *header)
        columns.push_back(cursor.fieldIndex(name));

    std::size_t line = 1;
    std::size_t loaded = 0;
    while (auto row = readCsvRow(in)) {
        ++line;
        if (row->size() == 1 && row->front().empty())
            continue; // a blank line
        if (row->size() != columns.size())
            throw dbf::Error("line " + std::to_string(line) + ": " + std::to_string(row->size())
                + " values for " + std::to_string(columns.size()) + " fields");
        cursor.append();
        try {
            for (std::size_t i = 0; i < columns.size(); ++i) {
                const std::size_t field = columns[i];
                const std::string &value = (*row)[i];
                if (value.empty())
                    cursor.clear(field);
                else if (cursor.layout().field(field).type == dbf::FieldType::Date)
                    cursor.setText(field, dateText(value));
                else
                    cursor.setText(field, value);
            }
            cursor.post();
        } catch (const dbf::Error &e) {
            cursor.cancel();
            throw dbf::Error("line " + std::to_string(line) + ": " + e.what());
        }
        ++loaded;
    }
    table->flush();
    out << loaded << " records loaded\n";
    return 0;
}

} // namespace tool
