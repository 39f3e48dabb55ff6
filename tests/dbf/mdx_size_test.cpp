// An index under constant edits: the blocks splits replace are not reused in place, so the file
// grows; the next exclusive open rebuilds it once it holds more than one and a half times the
// blocks a rebuild would write, and a file that has not grown that far is left alone.
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

void edit(const std::filesystem::path &path, int edits, std::mt19937 &rng)
{
    auto t = Table::open(path, OpenMode::Shared);
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

} // namespace

TEST(MdxSize, AnIndexGrownByEditsIsRebuiltOnTheNextExclusiveOpen)
{
    TestDir dir;
    const auto path = dir / "EDITS.DBF";
    Table::create(path,
        { { "NAME", FieldType::Character, 20, 0 }, { "AMT", FieldType::Numeric, 10, 2 },
            { "CODE", FieldType::Character, 1, 0 } });
    std::mt19937 rng(99);
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
