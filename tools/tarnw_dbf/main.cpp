#include <cstring>
#include <exception>
#include <iostream>

#include "commands.h"

namespace {

void printHelp(std::ostream &out)
{
    out << "usage: tarnw-dbf COMMAND ARGS...\n\ncommands:\n";
    for (const tool::Command &c : tool::commands())
        out << "  " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        printHelp(argc < 2 ? std::cerr : std::cout);
        return argc < 2 ? 2 : 0;
    }
    for (const tool::Command &c : tool::commands()) {
        if (std::strcmp(argv[1], c.name) != 0)
            continue;
        const std::vector<std::string> args(argv + 2, argv + argc);
        try {
            return c.run(args, std::cin, std::cout);
        } catch (const tool::UsageError &e) {
            std::cerr << "tarnw-dbf " << c.name << ": " << e.message << "\nusage: tarnw-dbf "
                      << c.name << " " << c.usage << "\n";
            return 2;
        } catch (const std::exception &e) {
            std::cerr << "tarnw-dbf " << c.name << ": " << e.what() << "\n";
            return 1;
        }
    }
    std::cerr << "tarnw-dbf: unknown command \"" << argv[1] << "\"\n";
    printHelp(std::cerr);
    return 2;
}
