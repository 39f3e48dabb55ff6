#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "store/schema.h"

namespace bench {

// Sizes of a generated practice; the defaults are ten years of a busy practice.
struct PracticeSize
{
    std::size_t clients = 1000;
    std::size_t staff = 20;
    std::size_t activities = 200;
    std::size_t projects = 3000;
    std::size_t slips = 250000;
    std::size_t statements = 25000;
    std::size_t payments = 40000;

    // Everything but staff and activities scaled to `slips`.
    static PracticeSize forSlips(std::size_t slips);
};

// One row: per field of the table its value as text (C: the text, N: the number as text,
// D: YYYYMMDD, M: the memo text) and, for N fields, the number itself.
struct Row
{
    std::vector<std::string> text;
    std::vector<double> number;
};

struct GeneratedTable
{
    const store::TableDef *def = nullptr;
    std::vector<Row> rows;
};

// The seven tables of a practice, generated from a fixed seed: clients, staff, activities,
// projects, slips (a billing description on one in five), statements and payments. Slips carry
// numbers 1..slips; unbilled slips (about a third) carry statement number -1.
std::vector<GeneratedTable> generatePractice(const PracticeSize &size, std::uint64_t seed);

// Client code of client i (0-based), as the generator writes it.
std::string clientCode(std::size_t i);
// Activity code of activity i (0-based), as the generator writes it.
std::string activityCode(std::size_t i);

// Writes the table as a new DBF in `dir` (with all its tags first when asked), appending the rows
// one by one through a cursor of an exclusive open.
void writeTable(const std::filesystem::path &dir, const GeneratedTable &table, bool withTags);

} // namespace bench
