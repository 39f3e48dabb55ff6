#include "commands.h"

namespace tool {

const std::vector<Command> &commands()
{
    static const std::vector<Command> kCommands = {
        { "info", "FILE", "fields with type, width and decimals; record count; header flags",
            runInfo },
        { "dump", "FILE [--tag NAME]",
            "live records as CSV with a header row (dates YYYY-MM-DD, logicals T/F), in record "
            "order or in the order of an index tag",
            runDump },
        { "load", "FILE < CSV", "append the records of a CSV whose header row names fields",
            runLoad },
        { "create", "FILE NAME:TYPE[:WIDTH[:DECIMALS]]...",
            "create an empty table, e.g. NAME:C:30 AMT:N:12:2 WHEN:D OK:L NOTE:M", runCreate },
        { "tags", "FILE", "index tags: name, key expression, key type and length, unique",
            runTags },
        { "addtag", "FILE NAME EXPRESSION [unique]",
            "add an index tag (creates the index file when there is none)", runAddTag },
        { "check", "FILE",
            "verify every tag against the records; prints each fault, exit status 1 on any",
            runCheck },
        { "reindex", "FILE",
            "build every index tag anew from the records (also from a damaged index file)",
            runReindex },
        { "pack", "FILE", "remove deleted records and unused memo space; rebuild the tags",
            runPack },
    };
    return kCommands;
}

} // namespace tool
