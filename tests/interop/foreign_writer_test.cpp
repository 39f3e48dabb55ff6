#include "../dbf/test_dir.h"
#include "dbf/cursor.h"
#include "run_tool.h"
#include <gtest/gtest.h>

using namespace dbf;

// Tables written by other tools, read by this engine field for field.

namespace {

std::string scriptPath(const char *name)
{
    return shellQuote(std::string(TARNW_SOURCE_DIR) + "/tests/interop/" + name);
}

} // namespace

// The version argument of write_xbase.pl and the version byte the table then carries: Perl
// XBase marks a dBASE IV table with memos 0x84 when asked for version 4.
struct PerlVersion
{
    const char *argument;
    int versionByte;
};

class PerlXBaseTable : public testing::TestWithParam<PerlVersion>
{
};

std::string perlMemo(std::size_t length, std::size_t record)
{
    std::string memo;
    for (std::size_t k = 0; k < length; ++k)
        memo += static_cast<char>('A' + (k * 7 + record) % 26);
    return memo;
}

TEST_P(PerlXBaseTable, ReadsEveryFieldAndMemo)
{
    TestDir dir;
    const ToolResult r = runTool("cd " + shellQuote(dir.path().string()) + " && perl "
        + scriptPath("write_xbase.pl") + " " + GetParam().argument);
    ASSERT_EQ(r.status, 0) << r.output;

    auto table = Table::open(dir / "perl.dbf", OpenMode::Shared);
    EXPECT_EQ(table->version(), GetParam().versionByte);
    EXPECT_EQ(table->recordCount(), 8u);
    Cursor c(*table);
    struct Expected
    {
        const char *name;
        double amount;
        const char *when;
        const char *ok;
        std::size_t memoLength;
    };
    const Expected expected[] = {
        { "ADAMS", 1234.5, "20240315", "T", 0 },
        { "BAKER", -0.75, "", "F", 1 },
        { "CLARK", 0, "19991231", "", 511 },
        { "DAVIS", 99999.99, "20000229", "T", 512 },
        { "EVANS", -1, "21001231", "F", 513 },
        { "FRANK", 0.01, "19000101", "T", 5000 },
        { "GREEN", 12, "20240101", "F", 20 },
    };
    std::size_t i = 0;
    for (bool ok = c.first(); ok; ok = c.next(), ++i) {
        ASSERT_LT(i, std::size(expected));
        const Expected &e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(c.text("NAME"), e.name);
        EXPECT_DOUBLE_EQ(c.number("AMOUNT"), e.amount);
        EXPECT_EQ(c.date("WHEN").isNull() ? std::string() : c.date("WHEN").toText(), e.when);
        EXPECT_EQ(c.text("OK"), e.ok);
        EXPECT_EQ(c.memo("NOTE"), perlMemo(e.memoLength, i));
    }
    EXPECT_EQ(i, 7u); // the eighth record is deleted
}

// Memo edits, an append and a pack keep the table's version byte and memo layout: Perl XBase
// reads every memo back afterwards.
TEST_P(PerlXBaseTable, EditedAndPackedTableStaysReadableByPerlXBase)
{
    TestDir dir;
    const ToolResult r = runTool("cd " + shellQuote(dir.path().string()) + " && perl "
        + scriptPath("write_xbase.pl") + " " + GetParam().argument);
    ASSERT_EQ(r.status, 0) << r.output;
    {
        auto table = Table::open(dir / "perl.dbf", OpenMode::Exclusive);
        Cursor c(*table);
        ASSERT_TRUE(c.first());
        c.edit();
        c.setMemo("NOTE", perlMemo(1500, 40)); // grows past the old memo's blocks
        c.post();
        c.append();
        c.setText("NAME", "NEWMAN");
        c.setMemo("NOTE", perlMemo(700, 41));
        c.post();
        ASSERT_TRUE(c.first());
        ASSERT_TRUE(c.next()); // BAKER
        c.remove();
        table->pack();
        EXPECT_EQ(table->version(), GetParam().versionByte);
    }
    const ToolResult dump =
        runTool("dbf_dump --fs '|' --rs '\n' " + shellQuote((dir / "perl.dbf").string()));
    ASSERT_EQ(dump.status, 0) << dump.output;
    std::vector<std::string> lines = split(dump.output, '\n');
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    const std::vector<std::pair<std::string, std::string>> expected = {
        { "ADAMS", perlMemo(1500, 40) },
        { "CLARK", perlMemo(511, 2) },
        { "DAVIS", perlMemo(512, 3) },
        { "EVANS", perlMemo(513, 4) },
        { "FRANK", perlMemo(5000, 5) },
        { "GREEN", perlMemo(20, 6) },
        { "NEWMAN", perlMemo(700, 41) },
    };
    ASSERT_EQ(lines.size(), expected.size()) << dump.output.substr(0, 400);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::vector<std::string> f = split(lines[i], '|');
        ASSERT_EQ(f.size(), 5u) << lines[i].substr(0, 200);
        EXPECT_EQ(f[0], expected[i].first);
        EXPECT_EQ(f[4], expected[i].second) << expected[i].first;
    }
}

INSTANTIATE_TEST_SUITE_P(ForeignWriter, PerlXBaseTable,
    testing::Values(PerlVersion{ "0x8B", 0x8B }, PerlVersion{ "4", 0x84 }),
    [](const testing::TestParamInfo<PerlVersion> &param) {
        return param.param.versionByte == 0x84 ? std::string("Version84")
                                               : std::string("Version8B");
    });

TEST(ForeignWriter, ReadsDbaseIIITablesWrittenByPython)
{
    TestDir dir;
    const ToolResult r = runTool("cd " + shellQuote(dir.path().string()) + " && /usr/bin/python3 "
        + scriptPath("write_python_dbf.py"));
    ASSERT_EQ(r.status, 0) << r.output;

    for (const char *file : { "plain.dbf", "memo.dbf" }) {
        SCOPED_TRACE(file);
        auto table = Table::open(dir / file, OpenMode::Shared);
        const bool withMemo = std::string(file) == "memo.dbf";
        EXPECT_EQ(table->version(), withMemo ? 0x83 : 0x03);
        EXPECT_EQ(table->recordCount(), 4u);
        Cursor c(*table);
        ASSERT_FALSE(c.isEmpty());
        EXPECT_EQ(c.text("NAME"), "ADAMS");
        EXPECT_DOUBLE_EQ(c.number("AMOUNT"), 1234.5);
        EXPECT_EQ(c.date("WHEN"), Date(2024, 3, 15));
        EXPECT_TRUE(c.logical("OK"));
        if (withMemo) {
            EXPECT_EQ(c.memo("NOTE"), std::string(600, 'm'));
        }
        ASSERT_TRUE(c.next());
        EXPECT_EQ(c.text("NAME"), "BAKER");
        EXPECT_DOUBLE_EQ(c.number("AMOUNT"), -0.75);
        EXPECT_TRUE(c.date("WHEN").isNull());
        EXPECT_FALSE(c.logical("OK"));
        if (withMemo) {
            EXPECT_EQ(c.memo("NOTE"), "");
        }
        ASSERT_TRUE(c.next());
        EXPECT_EQ(c.text("NAME"), "CLARK");
        EXPECT_TRUE(c.isBlank("AMOUNT"));
        EXPECT_TRUE(c.isBlank("OK"));
        if (withMemo) {
            EXPECT_EQ(c.memo("NOTE"), "line one\r\nline two");
        }
        EXPECT_FALSE(c.next()); // the fourth is deleted
        EXPECT_EQ(c.recordCount(), 3u);
    }
}
