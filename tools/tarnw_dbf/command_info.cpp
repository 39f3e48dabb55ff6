#include <cstdio>
#include <ostream>

#include "commands.h"
#include "dbf/table.h"

namespace tool {

namespace {

std::string hexByte(unsigned value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", value & 0xFFu);
    return buffer;
}

const char *versionName(std::uint8_t version)
{
    switch (version) {
    case 0x03:
        return "dBASE IV, no memo";
    case 0x8B:
        return "dBASE IV with memo";
    case 0x83:
        return "dBASE III with memo";
    default:
        return "unknown";
    }
}

} // namespace

int runInfo(const std::vector<std::string> &args, std::istream &, std::ostream &out)
{
    if (args.size() != 1)
        throw UsageError{ "one file is needed" };
    auto table = dbf::Table::open(args[0], dbf::OpenMode::Shared);
    const dbf::Date updated = table->lastUpdate();
    const std::string date = updated.isNull() ? std::string("(none)") : updated.toText();
    const dbf::RecNo count = table->recordCount();
    out << "Table: " << table->name() << "\n"
        << "Version: " << hexByte(table->version()) << " (" << versionName(table->version())
        << ")\n"
        << "Last update: "
        << (updated.isNull()
                   ? date
                   : date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2))
        << "\n"
        << "Records: " << count << " (" << (count - table->liveRecordCount()) << " deleted)\n"
        << "Header length: " << table->headerLength() << "\n"
        << "Record length: " << table->layout().recordLength() << "\n"
        << "Production index: " << (table->hasProductionIndex() ? "yes" : "no") << "\n"
        << "Language driver: " << hexByte(table->languageDriver()) << "\n"
        << "Fields:\n";
    for (const dbf::FieldDef &f : table->layout().fields())
        out << "  " << f.name << " " << static_cast<char>(f.type) << " "
            << static_cast<int>(f.width) << " " << static_cast<int>(f.decimals) << "\n";
    return 0;
}

} // namespace tool
