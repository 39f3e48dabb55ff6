// An index under constant edits: through a shared open the blocks splits replace are not used
// again, so the file grows; the next exclusive open rebuilds it once it holds more than one and a
// half times the blocks a rebuild would write, and a file that has not grown that far is left alone.
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "dbf/cursor.h"
#include "dbf/mdx_check.h"
#include "dbf/mdx_index.h"
#include "test_dir.h"
#include <gtest/gtest.h>

using namespace dbf;

namespace {

std::uintmax_t indexSize(const std::filesystem::path &dbf)
{
    return std::filesystem::file_size(MdxIndex::pathFor(dbf));
}

void edit(const std::filesystem::path &path, int edits, std::mt19937 &rng,
    OpenMode mode = OpenMode::Shared)
{
    auto t = Table::open(path, mode);
    Cursor c(*t);
    const RecNo count = t->recordCount();
    for (int i = 0; i < edits; ++i) {
        ASSERT_TRUE(c.gotoRecNo(1 + static_cast<RecNo>(rng() % count)));
        c.edit();
        c.setText("NAME", "N" + std::to_string(rng() % 100000));
        c.setNumber("AMT", static_cast<double>(rng() % 200000) / 100.0);
        c.setText("CODE", std::string(1, static_cast<char>('A' + rng() % 26)));
        c.post();
    }
}

void createTable(const std::filesystem::path &path, std::mt19937 &rng)
{
    Table::create(path,
        { { "NAME", FieldType::Character, 20, 0 }, { "AMT", FieldType::Numeric, 10, 2 },
            { "CODE", FieldType::Character, 1, 0 } });
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        Cursor c(*t);
        for (int i = 0; i < 2000; ++i) {
            c.append();
            c.setText("NAME", "N" + std::to_string(rng() % 100000));
            c.setNumber("AMT", static_cast<double>(rng() % 200000) / 100.0);
            c.setText("CODE", std::string(1, static_cast<char>('A' + rng() % 26)));
            c.post();
        }
        t->addTag("NAME", "NAME");
        t->addTag("AMT", "AMT");
        t->addTag("CODENAME", "CODE+NAME");
    }
}

} // namespace

TEST(MdxSize, AnIndexGrownByEditsIsRebuiltOnTheNextExclusiveOpen)
{
    TestDir dir;
    const auto path = dir / "EDITS.DBF";
    std::mt19937 rng(99);
    createTable(path, rng);
    const std::uintmax_t fresh = indexSize(path);

    // A few edits: the file grows a little and an exclusive open leaves it as it is.
    edit(path, 300, rng);
    const std::uintmax_t little = indexSize(path);
    {
        auto t = Table::open(path, OpenMode::Exclusive);
    }
    EXPECT_EQ(indexSize(path), little);

    edit(path, 16000, rng);
    const std::uintmax_t grown = indexSize(path);
    EXPECT_GT(grown, 2 * fresh) << "the edits should have grown the file";
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        EXPECT_LE(indexSize(path), fresh * 3 / 2) << "grown to " << grown << " from " << fresh;
        const auto faults = checkIndex(*t);
        EXPECT_TRUE(faults.empty()) << faults.front();
        t->reindex();
        EXPECT_LE(indexSize(path), fresh * 3 / 2);
    }
}

// A program that has the table to itself uses the blocks its splits unlink again: the same edits
// grow the file by about half as much as through a shared open (a split adds one block instead
// of two), and every tag checks clean.
TEST(MdxSize, EditsOfAnExclusiveOpenReuseTheBlocksTheirSplitsUnlink)
{
    TestDir dir;
    std::uintmax_t growth[2] = {};
    for (const OpenMode mode : { OpenMode::Shared, OpenMode::Exclusive }) {
        const auto path = dir / (mode == OpenMode::Shared ? "SHARED.DBF" : "OWN.DBF");
        std::mt19937 rng(7);
        createTable(path, rng);
        const std::uintmax_t fresh = indexSize(path);
        edit(path, 8000, rng, mode);
        growth[mode == OpenMode::Exclusive] = indexSize(path) - fresh;
        auto t = Table::open(path, OpenMode::Shared);
        const auto faults = checkIndex(*t);
        EXPECT_TRUE(faults.empty()) << faults.front();
    }
    std::printf("index growth: shared %ju bytes, exclusive %ju bytes\n", growth[0], growth[1]);
    EXPECT_GT(growth[0], 0u);
    // A split adds one block instead of two.
    EXPECT_LE(growth[1] * 10, growth[0] * 6);
}
