// Large writes and reads of the table engine: appends of an exclusive open gathered in memory,
// a killed writer of such appends, tags rebuilt from sorted keys of every type, and records
// read through the file mapping while another writer grows the table.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <string>
#include <thread>

#include "dbf/cursor.h"
#include "dbf/mdx_check.h"
#include "test_dir.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dbf;

namespace {

std::vector<FieldDef> bulkFields()
{
    return { { "NAME", FieldType::Character, 60, 0 }, { "AMT", FieldType::Numeric, 12, 2 },
        { "NOTE", FieldType::Memo, 10, 0 } };
}

// Record i (1-based) of the model: its name, and a memo on every third record, some of them
// longer than a memo block.
std::string nameOf(std::size_t i)
{
    return "R" + std::to_string(i);
}

std::string memoOf(std::size_t i)
{
    return i % 3 == 0 ? std::string(1 + (i * 37) % 900, static_cast<char>('a' + i % 26)) : "";
}

void appendModel(Cursor &c, std::size_t i)
{
    c.append();
    c.setText("NAME", nameOf(i));
    c.setNumber("AMT", static_cast<double>(i) / 4);
    if (!memoOf(i).empty())
        c.setMemo("NOTE", memoOf(i));
    c.post();
}

// Every record 1..count as the model has it; deleted ones skipped.
void expectModel(Table &t, std::size_t count, const std::vector<std::size_t> &deleted = {})
{
    ASSERT_EQ(t.recordCount(), count);
    Cursor c(t);
    std::size_t expected = 1;
    for (bool ok = !c.isEmpty(); ok; ok = c.next(), ++expected) {
        while (std::find(deleted.begin(), deleted.end(), expected) != deleted.end())
            ++expected;
        ASSERT_EQ(c.recNo(), expected);
        ASSERT_EQ(c.text("NAME"), nameOf(expected));
        ASSERT_EQ(c.number("AMT"), static_cast<double>(expected) / 4);
        ASSERT_EQ(c.memo("NOTE"), memoOf(expected)) << "record " << expected;
    }
    EXPECT_EQ(expected, count + 1);
}

} // namespace

// Small runs stay in memory until a read or close; a long one passes the 1 MB mark of the
// gathered records several times. Reads, deletes and counts in between see every record.
TEST(BulkWrite, GatheredExclusiveAppendsReadBackAtEveryPoint)
{
    for (const std::size_t count : { std::size_t{ 5 }, std::size_t{ 40000 } }) {
        SCOPED_TRACE(count);
        TestDir dir;
        const auto path = dir / "BULK.DBF";
        Table::create(path, bulkFields());
        const std::size_t half = count / 2;
        {
            auto t = Table::open(path, OpenMode::Exclusive);
            Cursor c(*t);
            for (std::size_t i = 1; i <= count; ++i) {
                appendModel(c, i);
                ASSERT_EQ(c.memo("NOTE"), memoOf(i));
                if (i == half) {
                    EXPECT_EQ(t->recordCount(), half);
                    EXPECT_EQ(c.recordCount(), half);
                    std::vector<std::uint8_t> image(t->layout().recordLength());
                    ASSERT_TRUE(t->readRecord(half, image.data()));
                    EXPECT_EQ(std::string(reinterpret_cast<char *>(image.data()) + 1,
                                  nameOf(half).size()),
                        nameOf(half));
                }
            }
            ASSERT_TRUE(c.gotoRecNo(2));
            c.remove(); // a write in place after gathered appends
        }
        EXPECT_EQ(std::filesystem::file_size(path), 32 + 32 * 3 + 1 + count * 83 + 1);
        EXPECT_EQ(readBytes(path).back(), 0x1A);
        auto t = Table::open(path, OpenMode::Shared);
        expectModel(*t, count, { 2 });
    }
}

// A writer killed while it gathers appends loses the records not yet written, never more: the
// count in the header covers only written records, and every memo they point at is in the memo
// file before them.
TEST(BulkWrite, KilledGatheringWriterLeavesTheWrittenRecordsWhole)
{
    TestDir dir;
    const auto path = dir / "KILLED.DBF";
    Table::create(path, bulkFields());
    std::mt19937 rng(std::random_device{}());
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        std::filesystem::remove(path);
        std::filesystem::remove(Table::memoPathFor(path));
        Table::create(path, bulkFields());
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                auto t = Table::open(path, OpenMode::Exclusive);
                Cursor c(*t);
                for (std::size_t i = 1;; ++i)
                    appendModel(c, i);
            } catch (...) {
            }
            _exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + rng() % 120));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own";
        auto t = Table::open(path, OpenMode::Shared);
        expectModel(*t, t->recordCount());
    }
}

// Rebuilt tags list their keys in value order, equal keys by record number: numbers with signs,
// zeros and many digits, dates (blank first), and long character keys alike at the start. A
// unique tag keeps the first record of each key.
TEST(BulkWrite, RebuiltTagsFollowTheValueOrderOfEveryKeyType)
{
    TestDir dir;
    const auto path = dir / "KEYS.DBF";
    Table::create(path,
        { { "NUM", FieldType::Numeric, 20, 4 }, { "WHEN", FieldType::Date, 8, 0 },
            { "TEXT", FieldType::Character, 40, 0 } });
    std::mt19937 rng(20261210);
    const std::vector<double> numbers = { 0, -0.5, 0.5, -123456789012.25, 123456789012.25,
        1e-4, -1e-4, 99999999, 100000000, -100000000, 7, 7.0001, 12345678901234.5, -3 };
    std::vector<double> nums;
    std::vector<std::string> dates, texts;
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        t->addTag("NUM", "NUM");
        t->addTag("WHEN", "WHEN");
        t->addTag("TEXT", "TEXT");
        Cursor c(*t);
        for (int i = 0; i < 3000; ++i) {
            const double n = numbers[rng() % numbers.size()];
            const std::string d =
                rng() % 7 == 0 ? "" : std::to_string(1990 + rng() % 50) + "0" + std::to_string(1 + rng() % 9) + "15";
            const std::string text = std::string(20, 'K') + std::to_string(rng() % 500);
            c.append();
            c.setNumber("NUM", n);
            c.setText("WHEN", d);
            c.setText("TEXT", text);
            c.post();
            nums.push_back(n);
            dates.push_back(d);
            texts.push_back(text);
        }
        t->addTag("UNUM", "NUM", { true }); // over repeated keys: keeps the first of each
        t->reindex();
        EXPECT_TRUE(checkIndex(*t).empty());
    }
    auto t = Table::open(path, OpenMode::Shared);
    Cursor c(*t);
    const auto expectOrder = [&](const char *tag, auto valueOf, bool unique) {
        SCOPED_TRACE(tag);
        std::vector<std::size_t> expected(nums.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            expected[i] = i;
        std::stable_sort(expected.begin(), expected.end(),
            [&](std::size_t a, std::size_t b) { return valueOf(a) < valueOf(b); });
        if (unique)
            expected.erase(std::unique(expected.begin(), expected.end(),
                               [&](std::size_t a, std::size_t b) { return valueOf(a) == valueOf(b); }),
                expected.end());
        c.setTag(tag);
        std::size_t at = 0;
        for (bool ok = !c.isEmpty(); ok; ok = c.next(), ++at) {
            ASSERT_LT(at, expected.size());
            ASSERT_EQ(c.recNo(), expected[at] + 1) << "entry " << at;
        }
        EXPECT_EQ(at, expected.size());
    };
    expectOrder("NUM", [&](std::size_t i) { return nums[i]; }, false);
    expectOrder("UNUM", [&](std::size_t i) { return nums[i]; }, true);
    expectOrder("WHEN", [&](std::size_t i) { return dates[i]; }, false);
    expectOrder("TEXT", [&](std::size_t i) { return texts[i]; }, false);
}

// A reader walking the table meets the records another writer appends meanwhile, also past the
// part of the file it had mapped when it started.
TEST(BulkWrite, AWalkReadsRecordsAppendedPastItsMapping)
{
    TestDir dir;
    const auto path = dir / "GROW.DBF";
    Table::create(path, bulkFields());
    auto reader = Table::open(path, OpenMode::Shared);
    auto writer = Table::open(path, OpenMode::Shared);
    Cursor w(*writer);
    appendModel(w, 1);
    Cursor r(*reader);
    ASSERT_EQ(r.recNo(), 1u);
    for (std::size_t i = 2; i <= 30000; ++i)
        appendModel(w, i);
    std::size_t seen = 1;
    while (r.next()) {
        ++seen;
        ASSERT_EQ(r.recNo(), seen);
        ASSERT_EQ(r.text("NAME"), nameOf(seen));
    }
    EXPECT_EQ(seen, 30000u);
    expectModel(*reader, 30000);
}
