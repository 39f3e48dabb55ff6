#include <ostream>

#include "commands.h"
#include "csv.h"
#include "dbf/cursor.h"

namespace tool {

int runDump(const std::vector<std::string> &args, std::istream &, std::ostream &out)
{
    std::string tag;
    if (args.size() == 3 && args[1] == "--tag")
        tag = args[2];
    else if (args.size() != 1)
        throw UsageError{ "one file is needed, optionally followed by --tag NAME" };
    auto table = dbf::Table::open(args[0], dbf::OpenMode::Shared);
    const dbf::RecordLayout &layout = table->layout();
    std::vector<std::string> row;
    for (const dbf::FieldDef &f : layout.fields())
        row.push_back(f.name);
    writeCsvRow(out, row);

    dbf::Cursor cursor(*table);
    if (!tag.empty())
        cursor.setTag(tag);
    for (bool more = !cursor.isEmpty(); more; more = cursor.next()) {
        row.clear();
        for (std::size_t i = 0; i < layout.fieldCount(); ++i) {
            if (layout.field(i).type == dbf::FieldType::Date) {
                const dbf::Date d = cursor.date(i);
                std::string text = d.isNull() ? std::string() : d.toText();
                if (!text.empty())
                    text = text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2);
                row.push_back(std::move(text));
            } else {
                row.push_back(cursor.text(i));
            }
        }
        writeCsvRow(out, row);
    }
    return 0;
}

} // namespace tool
