// tarnw-bench-index-growth: how large a slip index grows under edits that move keys.
//
//   tarnw-bench-index-growth [--slips N] [--edits E] [--dir DIRECTORY] [--keep]
//
// Writes the practice's slip table with all its tags, then makes E edits through a shared open,
// each giving a random slip another client and activity (which moves its keys in six tags:
// client, client+project+activity, client+project, client+activity, activity, client+date).
// Then the table is opened exclusively once, as a start with no other user does. Prints the
// index file's size after the load, after the edits and after that open, the size of a fresh
// rebuild of the same records, and the index check's verdict.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "dbf/cursor.h"
#include "dbf/mdx_check.h"
#include "dbf/table.h"
#include "practice.h"
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct Options
{
    std::size_t slips = 250000;
    std::size_t edits = 100000;
    fs::path dir;
    bool keep = false;
};

Options parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(a + " needs a value");
            return argv[++i];
        };
        if (a == "--slips")
            o.slips = std::stoul(value());
        else if (a == "--edits")
            o.edits = std::stoul(value());
        else if (a == "--dir")
            o.dir = value();
        else if (a == "--keep")
            o.keep = true;
        else
            throw std::runtime_error("usage: tarnw-bench-index-growth [--slips N] [--edits E] "
                                     "[--dir D] [--keep]");
    }
    if (o.dir.empty())
        o.dir = fs::temp_directory_path() / ("tarnw-growth-" + std::to_string(::getpid()));
    return o;
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Every fault of the check on stdout; returns their number.
std::size_t check(const fs::path &path, const char *when)
{
    auto table = dbf::Table::open(path, dbf::OpenMode::Shared);
    std::size_t deletedKeys = 0;
    const std::vector<std::string> faults = dbf::checkIndex(*table, &deletedKeys);
    std::printf("check %s: %s (%zu faults, %zu keys of deleted records)\n", when,
        faults.empty() ? "clean" : "FAULTS", faults.size(), deletedKeys);
    for (std::size_t i = 0; i < faults.size() && i < 20; ++i)
        std::printf("  %s\n", faults[i].c_str());
    return faults.size();
}

int run(const Options &opt)
{
    const bench::PracticeSize size = bench::PracticeSize::forSlips(opt.slips);
    const auto practice = bench::generatePractice(size, 20261209);
    const bench::GeneratedTable *slips = nullptr;
    for (const auto &t : practice)
        if (t.def->name == "TWSLIP")
            slips = &t;
    if (slips == nullptr)
        throw std::runtime_error("the practice has no slip table");
    fs::remove_all(opt.dir);
    fs::create_directories(opt.dir);
    const fs::path path = opt.dir / "TWSLIP.DBF";
    const fs::path index = opt.dir / "TWSLIP.MDX";

    auto start = Clock::now();
    bench::writeTable(opt.dir, *slips, true);
    std::printf("%zu slips loaded with %zu tags in %.2f s; index %ju bytes\n", opt.slips,
        slips->def->tags.size(), secondsSince(start), fs::file_size(index));

    start = Clock::now();
    {
        auto table = dbf::Table::open(path, dbf::OpenMode::Shared);
        dbf::Cursor c(*table);
        c.setTag("SL_Number");
        const std::size_t client = c.fieldIndex("SL_CLIENT");
        const std::size_t activity = c.fieldIndex("SL_ACT");
        std::mt19937_64 rng(4711);
        for (std::size_t e = 0; e < opt.edits; ++e) {
            const std::string number = std::to_string(1 + rng() % opt.slips);
            if (!c.findKey(c.makeKey({ number })))
                throw std::runtime_error("slip " + number + " not found");
            c.edit();
            c.setText(client, bench::clientCode(rng() % size.clients));
            c.setText(activity, bench::activityCode(rng() % size.activities));
            c.post();
        }
    }
    const std::uintmax_t edited = fs::file_size(index);
    std::printf("%zu edits in %.2f s; index %ju bytes\n", opt.edits, secondsSince(start), edited);
    std::size_t faults = check(path, "after the edits");

    start = Clock::now();
    dbf::Table::open(path, dbf::OpenMode::Exclusive).reset();
    const std::uintmax_t opened = fs::file_size(index);
    std::printf("exclusive open in %.2f s; index %ju bytes\n", secondsSince(start), opened);
    faults += check(path, "after the exclusive open");

    // A fresh rebuild of the same records, on a copy.
    const fs::path copyDir = opt.dir / "rebuilt";
    fs::create_directories(copyDir);
    for (const char *ext : { ".DBF", ".DBT", ".MDX" })
        fs::copy_file(opt.dir / (std::string("TWSLIP") + ext), copyDir / (std::string("TWSLIP") + ext));
    dbf::Table::open(copyDir / "TWSLIP.DBF", dbf::OpenMode::Exclusive)->reindex();
    const std::uintmax_t fresh = fs::file_size(copyDir / "TWSLIP.MDX");
    std::printf("fresh rebuild %ju bytes\n", fresh);
    std::printf("index / fresh rebuild: after the edits %.2f, after the exclusive open %.2f\n",
        static_cast<double>(edited) / static_cast<double>(fresh),
        static_cast<double>(opened) / static_cast<double>(fresh));

    if (!opt.keep)
        fs::remove_all(opt.dir);
    else
        std::printf("Files kept in %s\n", opt.dir.c_str());
    return faults == 0 && opened * 2 <= fresh * 3 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        return run(parse(argc, argv));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tarnw-bench-index-growth: %s\n", e.what());
        return 1;
    }
}
