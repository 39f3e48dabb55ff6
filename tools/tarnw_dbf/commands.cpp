#include "commands.h"

namespace tool {

const std::vector<Command> &commands()
{
    static const std::vector<Command> kCommands = {
        { "info", "FILE", "fields with type, width and decimals; record count; header flags",
            runInfo },
        { "dump", "FILE", "live records as CSV with a header row (dates YYYY-MM-DD, logicals T/F)",
            runDump },
        { "load", "FILE < CSV", "append the records of a CSV whose header row names fields",
            runLoad },
        { "create", "FILE NAME:TYPE[:WIDTH[:DECIMALS]]...",
            "create an empty table, e.g. NAME:C:30 AMT:N:12:2 WHEN:D OK:L NOTE:M", runCreate },
    };
    return kCommands;
}

} // namespace tool
