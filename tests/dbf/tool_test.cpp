#include <cstdio>

#include "dbf/cursor.h"
#include "test_dir.h"
#include <gtest/gtest.h>
#include <sys/wait.h>

// tarnw-dbf driven as a user would: create, load a CSV, dump it back; errors end non-zero.

namespace {

struct Result
{
    int status = -1;
    std::string output;
};

Result tarnwDbf(const std::string &arguments, const std::string &input = "")
{
    const TestDir scratch;
    writeBytes(scratch / "in.csv", std::vector<std::uint8_t>(input.begin(), input.end()));
    const std::string command = std::string("'") + TARNW_BINARY_DIR + "/tools/tarnw-dbf' "
        + arguments + " < '" + (scratch / "in.csv").string() + "' 2>&1";
    Result r;
    FILE *pipe = popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.output.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace

TEST(Tool, LoadThenDumpGivesTheSameCsv)
{
    TestDir dir;
    const std::string file = "'" + (dir / "T.DBF").string() + "'";
    ASSERT_EQ(tarnwDbf("create " + file + " NAME:C:12 AMT:N:10:2 WHEN:D OK:L NOTE:M").status, 0);
    const std::string csv =
        "NAME,AMT,WHEN,OK,NOTE\r\n"
        "\"Smith, Jones\",1234.50,2024-03-15,T,\"two\r\nlines, \"\"quoted\"\"\"\r\n"
        "\"  lead\",-0.75,,F,\r\n"
        ",,1999-12-31,,x\r\n";
    const Result load = tarnwDbf("load " + file, csv);
    ASSERT_EQ(load.status, 0) << load.output;
    const Result dump = tarnwDbf("dump " + file);
    ASSERT_EQ(dump.status, 0) << dump.output;
    EXPECT_EQ(dump.output, csv);

    // Columns in another order, names in lower case.
    ASSERT_EQ(tarnwDbf("load " + file, "ok,name\nT,LAST\n").status, 0);
    auto table = dbf::Table::open(dir / "T.DBF", dbf::OpenMode::Shared);
    dbf::Cursor c(*table);
    ASSERT_TRUE(c.last());
    EXPECT_EQ(c.text("NAME"), "LAST");
    EXPECT_TRUE(c.logical("OK"));
    EXPECT_TRUE(c.isBlank("AMT"));

    const Result info = tarnwDbf("info " + file);
    ASSERT_EQ(info.status, 0);
    EXPECT_NE(info.output.find("Records: 4 (0 deleted)"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("  AMT N 10 2\n"), std::string::npos) << info.output;
}

TEST(Tool, ErrorsEndWithAMessageAndNonZeroStatus)
{
    TestDir dir;
    const std::string file = "'" + (dir / "T.DBF").string() + "'";
    ASSERT_EQ(tarnwDbf("create " + file + " NAME:C:5 AMT:N:5:2").status, 0);
    struct Case
    {
        std::string arguments;
        std::string input;
        std::string message;
    };
    const Case cases[] = {
        { "load " + file, "NAME,NOPE\na,b\n", "Field NOPE not found" },
        { "load " + file, "NAME,AMT\nok,1\nbad,1000\n", "line 3" },
        { "load " + file, "NAME,AMT\nok,x1\n", "is not a number" },
        { "load " + file, "NAME,AMT\nonly one\n", "line 2: 1 values for 2 fields" },
        { "dump '" + (dir / "MISSING.DBF").string() + "'", "", "MISSING.DBF" },
        { "create " + file + " NAME:C:5", "", "exists already" },
        { "create '" + (dir / "U.DBF").string() + "' NAME:Q:5", "", "unknown field type" },
        { "frobnicate", "", "unknown command" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments);
        const Result r = tarnwDbf(c.arguments, c.input);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    }
    // The good row before the failing one was loaded; nothing of the failing rows was.
    auto table = dbf::Table::open(dir / "T.DBF", dbf::OpenMode::Shared);
    dbf::Cursor c(*table);
    EXPECT_EQ(c.recordCount(), 1u);
    EXPECT_EQ(table->recordCount(), 1u);
    EXPECT_EQ(c.text("NAME"), "ok");
}
