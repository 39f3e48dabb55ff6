// Index commands: tags, addtag, check, reindex, pack.
#include <ostream>

#include "commands.h"
#include "dbf/mdx_check.h"
#include "dbf/table.h"

namespace tool {

namespace {

void needFile(const std::vector<std::string> &args)
{
    if (args.size() != 1)
        throw UsageError{ "one file is needed" };
}

} // namespace

int runTags(const std::vector<std::string> &args, std::istream &, std::ostream &out)
{
    needFile(args);
    auto table = dbf::Table::open(args[0], dbf::OpenMode::Shared);
    for (const dbf::TagInfo &t : table->tags()) {
        out << t.name << '\t' << t.expression << '\t' << t.keyType << '(' << t.keyLength << ')';
        if (t.unique)
            out << "\tunique";
        out << '\n';
    }
    return 0;
}

int runAddTag(const std::vector<std::string> &args, std::istream &, std::ostream &)
{
    if (args.size() != 3 && args.size() != 4)
        throw UsageError{ "a file, a tag name and a key expression are needed" };
    dbf::TagOptions options;
    if (args.size() == 4) {
        if (args[3] != "unique")
            throw UsageError{ "the only option is \"unique\"" };
        options.unique = true;
    }
    auto table = dbf::Table::open(args[0], dbf::OpenMode::Exclusive);
    table->addTag(args[1], args[2], options);
    table->flush();
    return 0;
}

int runCheck(const std::vector<std::string> &args, std::istream &, std::ostream &out)
{
    needFile(args);
    auto table = dbf::Table::open(args[0], dbf::OpenMode::Shared);
    std::size_t deletedKeys = 0;
    const auto faults = dbf::checkIndex(*table, &deletedKeys);
    for (const std::string &f : faults)
        out << f << '\n';
    if (!faults.empty())
        return 1;
    out << table->tags().size() << " tags checked, no fault\n";
    if (deletedKeys != 0)
        out << deletedKeys << " keys of deleted records kept until the next pack\n";
    return 0;
}

int runReindex(const std::vector<std::string> &args, std::istream &, std::ostream &)
{
    needFile(args);
    dbf::Table::repairIndex(args[0]);
    return 0;
}

int runPack(const std::vector<std::string> &args, std::istream &, std::ostream &)
{
    needFile(args);
    auto table = dbf::Table::open(args[0], dbf::OpenMode::Exclusive);
    table->pack();
    return 0;
}

} // namespace tool
