#include <random>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/memo_file.h"
#include "test_dir.h"
#include <gtest/gtest.h>

using namespace dbf;

namespace {

std::vector<FieldDef> sampleFields()
{
    return { { "NAME", FieldType::Character, 10, 0 }, { "AMOUNT", FieldType::Numeric, 10, 2 },
        { "WHEN", FieldType::Date, 8, 0 }, { "FLAG", FieldType::Logical, 1, 0 },
        { "NOTE", FieldType::Memo, 10, 0 } };
}

// The worked example of the format notes: table SAMPLE with five fields, two records, the second
// deleted, and a 600-byte memo spanning two 512-byte blocks.
const char *kSampleDbf = R"(
8B 7C 03 0F 02 00 00 00 C1 00 28 00 00 00 00 00 | version, date (patched), count 2, hdr 193, rec 40
00 00 00 00 00 00 00 00 00 00 00 00 00 57 00 00 | no production index, LDID 0x57
4E 41 4D 45 00 00 00 00 00 00 00 43 00 00 00 00 | NAME C
0A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 |   10, 0
41 4D 4F 55 4E 54 00 00 00 00 00 4E 00 00 00 00 | AMOUNT N
0A 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 |   10, 2
57 48 45 4E 00 00 00 00 00 00 00 44 00 00 00 00 | WHEN D
08 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 |   8
46 4C 41 47 00 00 00 00 00 00 00 4C 00 00 00 00 | FLAG L
01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 |   1
4E 4F 54 45 00 00 00 00 00 00 00 4D 00 00 00 00 | NOTE M
0A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 |   10
0D                                              | terminator at 192
20 41 44 41 4D 53 20 20 20 20 20                | live, "ADAMS     "
20 20 20 31 32 33 34 2E 35 30                   | "   1234.50"
32 30 32 34 30 33 31 35 54                      | "20240315" "T"
20 20 20 20 20 20 20 20 20 31                   | memo block 1
2A 42 41 4B 45 52 20 20 20 20 20                | deleted, "BAKER     "
20 20 20 20 20 2D 30 2E 37 35                   | "     -0.75"
20 20 20 20 20 20 20 20 20                      | blank date, blank logical
20 20 20 20 20 20 20 20 20 20                   | no memo
1A                                              | end of file
)";

} // namespace

TEST(Table, WritesTheDocumentedBytes)
{
    TestDir dir;
    CreateOptions options;
    options.lastUpdate = Date(2024, 3, 15);
    options.languageDriver = 0x57;
    Table::create(dir / "SAMPLE.DBF", sampleFields(), options);
    {
        auto table = Table::open(dir / "SAMPLE.DBF", OpenMode::Shared);
        Cursor c(*table);
        c.append();
        c.setText("name", "ADAMS");
        c.setNumber("amount", 1234.5);
        c.setDate("when", Date(2024, 3, 15));
        c.setLogical("flag", true);
        c.setMemo("note", std::string(600, 'L'));
        c.post();
        c.append();
        c.setText("NAME", "BAKER");
        c.setNumber("AMOUNT", -0.75);
        c.post();
        c.remove();
        table->flush();
    }
    std::vector<std::uint8_t> expected = fromHex(kSampleDbf);
    const Date today = Date::today(); // every write stamps the header with today's date
    expected[1] = static_cast<std::uint8_t>(today.year() - 1900);
    expected[2] = static_cast<std::uint8_t>(today.month());
    expected[3] = static_cast<std::uint8_t>(today.day());
    EXPECT_EQ(readBytes(dir / "SAMPLE.DBF"), expected);

    const std::vector<std::uint8_t> dbt = readBytes(dir / "SAMPLE.DBT");
    ASSERT_EQ(dbt.size(), 1536u); // header block + two blocks of memo
    EXPECT_EQ(std::vector<std::uint8_t>(dbt.begin(), dbt.begin() + 22),
        fromHex("03 00 00 00 00 00 00 00 53 41 4D 50 4C 45 00 00 00 00 00 00 00 02"));
    EXPECT_EQ(std::vector<std::uint8_t>(dbt.begin() + 512, dbt.begin() + 520),
        fromHex("FF FF 08 00 60 02 00 00")); // length 600 + 8
    EXPECT_EQ(dbt[520 + 599], 'L');
    EXPECT_EQ(dbt[520 + 600], 0); // padding after the text
}

TEST(Table, CreateRefusesBadFieldLists)
{
    const std::vector<std::vector<FieldDef>> bad = {
        {}, { { "1ST", FieldType::Character, 5, 0 } },
        { { "TOOLONGNAME", FieldType::Character, 5, 0 } },
        { { "A", FieldType::Character, 5, 0 }, { "a", FieldType::Numeric, 5, 0 } },
        { { "A", FieldType::Character, 0, 0 } }, { { "A", FieldType::Numeric, 21, 0 } },
        { { "A", FieldType::Numeric, 4, 3 } }, { { "A", FieldType::Date, 10, 0 } },
        { { "A", FieldType::Character, 254, 0 }, { "B", FieldType::Character, 254, 0 },
            { "C", FieldType::Character, 254, 0 }, { "D", FieldType::Character, 254, 0 },
            { "E", FieldType::Character, 254, 0 }, { "F", FieldType::Character, 254, 0 },
            { "G", FieldType::Character, 254, 0 }, { "H", FieldType::Character, 254, 0 },
            { "I", FieldType::Character, 254, 0 }, { "J", FieldType::Character, 254, 0 },
            { "K", FieldType::Character, 254, 0 }, { "L", FieldType::Character, 254, 0 },
            { "M", FieldType::Character, 254, 0 }, { "N", FieldType::Character, 254, 0 },
            { "O", FieldType::Character, 254, 0 },
            { "P", FieldType::Character, 254, 0 } }, // 4065 bytes
    };
    TestDir dir;
    for (std::size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_THROW(Table::create(dir / "BAD.DBF", bad[i]), Error);
        EXPECT_FALSE(std::filesystem::exists(dir / "BAD.DBF"));
    }
    Table::create(dir / "T.DBF", sampleFields());
    EXPECT_THROW(Table::create(dir / "T.DBF", sampleFields()), Error); // never overwrites
}

TEST(Table, OpensByNameWithoutRegardToCase)
{
    TestDir dir;
    Table::create(dir / "twclient.dbf", sampleFields());
    EXPECT_TRUE(std::filesystem::exists(dir / "twclient.dbt"));
    auto table = Table::open(dir.path(), "TWCLIENT", OpenMode::Shared);
    EXPECT_EQ(table->name(), "twclient");
    EXPECT_EQ(table->recordCount(), 0u);
    EXPECT_THROW(Table::open(dir.path(), "MISSING", OpenMode::Shared), IoError);
}

TEST(Table, MemosOfEveryLengthAroundBlockEdgesReadBack)
{
    TestDir dir;
    Table::create(
        dir / "M.DBF", { { "ID", FieldType::Numeric, 5, 0 }, { "NOTE", FieldType::Memo, 10, 0 } });
    auto table = Table::open(dir / "M.DBF", OpenMode::Shared);
    // 504 + 8 fills one 512-byte block exactly.
    const std::size_t lengths[] = { 0, 1, 503, 504, 505, 511, 512, 513, 5000, 70000 };
    std::vector<std::string> texts;
    std::mt19937 rng(7);
    {
        Cursor c(*table);
        for (std::size_t n : lengths) {
            std::string text(n, ' ');
            for (char &ch : text)
                ch = static_cast<char>(rng() % 256); // binary-safe: NUL and 0x1A included
            texts.push_back(text);
            c.append();
            c.setInteger("ID", static_cast<std::int64_t>(n));
            c.setMemo("NOTE", text);
            c.post();
        }
    }
    std::uint64_t blocks = 1;
    for (std::size_t n : lengths)
        blocks += n == 0 ? 0 : (n + 8 + 511) / 512;
    EXPECT_EQ(std::filesystem::file_size(dir / "M.DBT"), blocks * 512); // M1: whole blocks

    auto reopened = Table::open(dir / "M.DBF", OpenMode::Shared);
    Cursor c(*reopened);
    for (std::size_t i = 0; i < texts.size(); ++i, c.next()) {
        SCOPED_TRACE(lengths[i]);
        EXPECT_EQ(c.memo("NOTE"), texts[i]);
        EXPECT_EQ(c.isBlank("NOTE"), lengths[i] == 0);
    }
}

TEST(Table, RewritingAMemoManyTimesKeepsTheFileBounded)
{
    TestDir dir;
    Table::create(dir / "M.DBF", { { "NOTE", FieldType::Memo, 10, 0 } });
    auto table = Table::open(dir / "M.DBF", OpenMode::Shared);
    Cursor c(*table);
    for (const char *t : { "first", "second", "third" }) {
        c.append();
        c.setMemo(0, std::string(700, t[0]));
        c.post();
    }
    std::mt19937 rng(42);
    std::string last;
    for (int round = 0; round < 300; ++round) {
        ASSERT_TRUE(c.gotoRecNo(2));
        c.edit();
        last = std::string(rng() % 5000, static_cast<char>('a' + round % 26));
        c.setMemo(0, last);
        c.post();
    }
    // Header block + three 2-block memos + at most one run of the largest text at the end.
    const auto size = std::filesystem::file_size(dir / "M.DBT");
    EXPECT_LE(size, (1 + 3 * 2 + 10) * 512u);
    // Emptying a memo and filling it again reuses its blocks.
    c.edit();
    c.setMemo(0, "");
    c.post();
    EXPECT_TRUE(c.isBlank(0));
    EXPECT_EQ(c.memo(0), "");
    c.edit();
    last = std::string(3000, 'z');
    c.setMemo(0, last);
    c.post();
    EXPECT_EQ(std::filesystem::file_size(dir / "M.DBT"), size);
    ASSERT_TRUE(c.first());
    EXPECT_EQ(c.memo(0), std::string(700, 'f'));
    ASSERT_TRUE(c.next());
    EXPECT_EQ(c.memo(0), last);
    ASSERT_TRUE(c.next());
    EXPECT_EQ(c.memo(0), std::string(700, 't')); // the neighbour was never overwritten
}

TEST(Table, ConcurrentAppendersThroughTwoTablesNeverOverlap)
{
    TestDir dir;
    Table::create(dir / "A.DBF",
        { { "WHO", FieldType::Character, 1, 0 }, { "N", FieldType::Numeric, 6, 0 } });
    auto t1 = Table::open(dir / "A.DBF", OpenMode::Shared);
    auto t2 = Table::open(dir / "A.DBF", OpenMode::Shared);
    Cursor c1(*t1), c2(*t2);
    for (int i = 0; i < 50; ++i) {
        for (Cursor *c : { &c1, &c2 }) {
            c->append();
            c->setText("WHO", c == &c1 ? "A" : "B");
            c->setInteger("N", i);
            c->post();
        }
    }
    EXPECT_EQ(t1->recordCount(), 100u);
    Cursor check(*t1);
    int seen = 0;
    for (bool ok = check.first(); ok; ok = check.next()) {
        EXPECT_EQ(check.integer("N"), seen / 2);
        EXPECT_EQ(check.text("WHO"), seen % 2 == 0 ? "A" : "B");
        ++seen;
    }
    EXPECT_EQ(seen, 100);
    const std::vector<std::uint8_t> bytes = readBytes(dir / "A.DBF");
    EXPECT_EQ(bytes.size(), t1->headerLength() + 100u * t1->layout().recordLength() + 1);
    EXPECT_EQ(bytes.back(), 0x1A);
}

TEST(Table, PackDropsDeletedRecordsAndUnreferencedMemoSpace)
{
    TestDir dir;
    Table::create(
        dir / "K.DBF", { { "ID", FieldType::Numeric, 4, 0 }, { "NOTE", FieldType::Memo, 10, 0 } });
    {
        auto table = Table::open(dir / "K.DBF", OpenMode::Shared);
        Cursor c(*table);
        for (int i = 1; i <= 6; ++i) {
            c.append();
            c.setInteger("ID", i);
            c.setMemo("NOTE", i % 2 ? std::string(1000, static_cast<char>('a' + i)) : "");
            c.post();
            if (i % 3 == 0)
                c.remove(); // 3 and 6
        }
        c.first();
        c.edit();
        c.setMemo("NOTE", std::string(3000, 'x')); // moves: the old run becomes garbage
        c.post();
        EXPECT_THROW(table->pack(), TableBusy); // shared
    }
    const auto memoBefore = std::filesystem::file_size(dir / "K.DBT");
    auto table = Table::open(dir / "K.DBF", OpenMode::Exclusive);
    table->pack();
    EXPECT_EQ(table->recordCount(), 4u);
    EXPECT_FALSE(std::filesystem::exists(dir / "K.DBF.pack"));
    // Live memos: 3000 bytes (6 blocks) and 1000 bytes (2 blocks), after the header block.
    EXPECT_EQ(std::filesystem::file_size(dir / "K.DBT"), (1 + 6 + 2) * 512u);
    EXPECT_LT(std::filesystem::file_size(dir / "K.DBT"), memoBefore);
    EXPECT_EQ(std::filesystem::file_size(dir / "K.DBF"),
        table->headerLength() + 4u * table->layout().recordLength() + 1);
    Cursor c(*table);
    const std::pair<int, std::string> expected[] = { { 1, std::string(3000, 'x') }, { 2, "" },
        { 4, "" }, { 5, std::string(1000, 'f') } };
    for (const auto &[id, note] : expected) {
        SCOPED_TRACE(id);
        EXPECT_EQ(c.integer("ID"), id);
        EXPECT_EQ(c.memo("NOTE"), note);
        c.next();
    }
    EXPECT_TRUE(c.eof());
    // Still held exclusively after the files were exchanged.
    EXPECT_THROW(Table::open(dir / "K.DBF", OpenMode::Shared), TableBusy);
}
