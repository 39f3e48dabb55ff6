#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tool {

// One sub-command of tarnw-dbf. `run` gets the arguments after the command name and returns the
// exit status; errors are thrown (dbf::Error or UsageError) and reported by main().
struct Command
{
    const char *name;
    const char *usage; // arguments, e.g. "FILE"
    const char *summary; // one line for the help text
    int (*run)(const std::vector<std::string> &args, std::istream &in, std::ostream &out);
};

// Wrong arguments: main() prints the message and the command's usage.
struct UsageError
{
    std::string message;
};

const std::vector<Command> &commands();

int runCreate(const std::vector<std::string> &args, std::istream &in, std::ostream &out);
int runDump(const std::vector<std::string> &args, std::istream &in, std::ostream &out);
int runInfo(const std::vector<std::string> &args, std::istream &in, std::ostream &out);
int runTags(const std::vector<std::string> &args, std::istream &in, std::ostream &out);
int runAddTag(const std::vector<std::string> &args, std::istream &in, std::ostream &out);
int runCheck(const std::vector<std::string> &args, std::istream &in, std::ostream &out);
int runReindex(const std::vector<std::string> &args, std::istream &in, std::ostream &out);
int runPack(const std::vector<std::string> &args, std::istream &in, std::ostream &out);
int runLoad(const std::vector<std::string> &args, std::istream &in, std::ostream &out);

} // namespace tool
