// tarnw-templates DIRECTORY: writes the empty table templates (.~DB, .~DT) into DIRECTORY.
// The build runs it to produce the templates that ship beside the tables.
#include <cstdio>
#include <exception>

#include "store/template_writer.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarnw-templates DIRECTORY\n");
        return 2;
    }
    try {
        store::writeTemplates(argv[1]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tarnw-templates: %s\n", e.what());
        return 1;
    }
    return 0;
}
