#include <charconv>
#include <ostream>

#include "commands.h"
#include "dbf/table.h"

namespace tool {

namespace {

int parseNumber(const std::string &text, const std::string &description)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 255)
        throw UsageError{ "bad number in field description \"" + description + "\"" };
    return value;
}

// NAME:TYPE[:WIDTH[:DECIMALS]]; D, L and M take their fixed widths.
dbf::FieldDef parseDescription(const std::string &description)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = description.find(':', start);
        parts.push_back(description.substr(start, colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 4 || parts[1].size() != 1)
        throw UsageError{ "bad field description \"" + description + "\"" };
    dbf::FieldDef f;
    f.name = parts[0];
    const char type = static_cast<char>(std::toupper(static_cast<unsigned char>(parts[1][0])));
    switch (type) {
    case 'C':
    case 'N':
    case 'F':
        if (parts.size() < 3)
            throw UsageError{ "field description \"" + description + "\" needs a width" };
        f.type = static_cast<dbf::FieldType>(type);
        f.width = static_cast<std::uint8_t>(parseNumber(parts[2], description));
        if (parts.size() == 4)
            f.decimals = static_cast<std::uint8_t>(parseNumber(parts[3], description));
        break;
    case 'D':
        f.type = dbf::FieldType::Date;
        f.width = 8;
        break;
    case 'L':
        f.type = dbf::FieldType::Logical;
        f.width = 1;
        break;
    case 'M':
        f.type = dbf::FieldType::Memo;
        f.width = 10;
        break;
    default:
        throw UsageError{ "unknown field type in \"" + description + "\"" };
    }
    return f;
}

} // namespace

int runCreate(const std::vector<std::string> &args, std::istream &, std::ostream &)
{
    if (args.size() < 2)
        throw UsageError{ "a file and at least one field are needed" };
    std::vector<dbf::FieldDef> fields;
    for (std::size_t i = 1; i < args.size(); ++i)
        fields.push_back(parseDescription(args[i]));
    dbf::Table::create(args[0], std::move(fields));
    return 0;
}

} // namespace tool
