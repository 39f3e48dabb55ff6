// tarnw-dbf's index commands driven as a user would.
#include <cstdio>

#include "dbf/cursor.h"
#include "test_dir.h"
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

struct ToolRun
{
    int status = -1;
    std::string output;
};

ToolRun tarnwDbf(const std::string &arguments, const std::string &input = "")
{
    const TestDir scratch;
    writeBytes(scratch / "in.csv", std::vector<std::uint8_t>(input.begin(), input.end()));
    const std::string command = std::string("'") + TARNW_BINARY_DIR + "/tools/tarnw-dbf' "
        + arguments + " < '" + (scratch / "in.csv").string() + "' 2>&1";
    ToolRun r;
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

TEST(MdxTool, AddTagListTagsDumpInTagOrderCheckAndPack)
{
    TestDir dir;
    const std::string file = "'" + (dir / "T.DBF").string() + "'";
    ASSERT_EQ(tarnwDbf("create " + file + " NAME:C:8 CLIENT:C:4 AMT:N:8:2 DAY:D").status, 0);
    const std::string csv = "NAME,CLIENT,AMT,DAY\r\n"
                            "delta,C2,5.00,2024-01-02\r\n"
                            "alpha,C1,-1.50,2023-12-31\r\n"
                            "charlie,C2,0.00,2024-01-01\r\n"
                            "bravo,C1,100.00,\r\n";
    ASSERT_EQ(tarnwDbf("load " + file, csv).status, 0);

    EXPECT_EQ(tarnwDbf("addtag " + file + " NAME NAME unique").status, 0);
    EXPECT_EQ(tarnwDbf("addtag " + file + " SL_CDate 'CLIENT+DTOS(DAY)'").status, 0);
    EXPECT_EQ(tarnwDbf("addtag " + file + " AMT amt").status, 0);
    const ToolRun tags = tarnwDbf("tags " + file);
    ASSERT_EQ(tags.status, 0) << tags.output;
    EXPECT_EQ(tags.output,
        "NAME\tNAME\tC(8)\tunique\n"
        "SL_CDATE\tCLIENT+DTOS(DAY)\tC(12)\n"
        "AMT\tamt\tN(12)\n");

    const ToolRun byDate = tarnwDbf("dump " + file + " --tag sl_cdate");
    ASSERT_EQ(byDate.status, 0) << byDate.output;
    EXPECT_EQ(byDate.output,
        "NAME,CLIENT,AMT,DAY\r\n"
        "bravo,C1,100.00,\r\n"
        "alpha,C1,-1.50,2023-12-31\r\n"
        "charlie,C2,0.00,2024-01-01\r\n"
        "delta,C2,5.00,2024-01-02\r\n");
    const ToolRun byAmount = tarnwDbf("dump " + file + " --tag AMT");
    EXPECT_EQ(byAmount.output.substr(byAmount.output.find('\n') + 1, 6), "alpha,");

    const ToolRun check = tarnwDbf("check " + file);
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(check.output, "3 tags checked, no fault\n");

    // Loading a duplicate of the unique NAME fails and writes nothing.
    EXPECT_NE(tarnwDbf("load " + file, "NAME\r\nalpha\r\n").status, 0);
    {
        auto t = dbf::Table::open(dir / "T.DBF", dbf::OpenMode::Exclusive);
        EXPECT_EQ(t->recordCount(), 4u);
        dbf::Cursor c(*t);
        c.setTag("NAME");
        ASSERT_TRUE(c.findKey(c.makeKey({ "charlie" })));
        c.remove();
    }
    EXPECT_EQ(tarnwDbf("pack " + file).status, 0);
    const ToolRun packed = tarnwDbf("dump " + file + " --tag NAME");
    EXPECT_EQ(packed.output,
        "NAME,CLIENT,AMT,DAY\r\n"
        "alpha,C1,-1.50,2023-12-31\r\n"
        "bravo,C1,100.00,\r\n"
        "delta,C2,5.00,2024-01-02\r\n");
    EXPECT_EQ(tarnwDbf("check " + file).status, 0);

    // Errors: unknown tag, bad expression, wrong option.
    EXPECT_NE(tarnwDbf("dump " + file + " --tag NOPE").status, 0);
    const ToolRun bad = tarnwDbf("addtag " + file + " X 'NAME+AMT'");
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.output.find("Invalid key expression"), std::string::npos) << bad.output;
    EXPECT_NE(tarnwDbf("addtag " + file + " X NAME sideways").status, 0);
}

// Other dBASE IV programs delete a record by its mark alone and keep its keys until the table
// is packed. The check counts those keys instead of faulting them, a unique key they hold is
// free for a live record, and pack drops them; a deleted record listed under a key it does not
// hold is still a fault.
TEST(MdxTool, KeysOfDeletedRecordsKeptByOtherWritersAreCountedNotFaulted)
{
    TestDir dir;
    const auto path = dir / "KEPT.DBF";
    const std::string file = "'" + path.string() + "'";
    ASSERT_EQ(tarnwDbf("create " + file + " NAME:C:8 CLIENT:C:4 AMT:N:8:2").status, 0);
    ASSERT_EQ(tarnwDbf("load " + file,
                  "NAME,CLIENT,AMT\r\ndelta,C2,5.00\r\nalpha,C1,-1.50\r\ncharlie,C2,0.00\r\n")
                  .status,
        0);
    ASSERT_EQ(tarnwDbf("addtag " + file + " NAME NAME unique").status, 0);
    ASSERT_EQ(tarnwDbf("addtag " + file + " CLIENT CLIENT").status, 0);
    ASSERT_EQ(tarnwDbf("addtag " + file + " AMT AMT").status, 0);

    // Record 2 (alpha) deleted the other program's way: the mark byte, nothing else.
    std::vector<std::uint8_t> bytes = readBytes(path);
    const std::size_t headerLength = bytes[8] | bytes[9] << 8;
    const std::size_t recordLength = bytes[10] | bytes[11] << 8;
    bytes[headerLength + recordLength] = '*';
    writeBytes(path, bytes);

    const ToolRun check = tarnwDbf("check " + file);
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(check.output,
        "3 tags checked, no fault\n3 keys of deleted records kept until the next pack\n");

    // The unique name of the deleted record takes a live record; seeks and walks find only it.
    const ToolRun load = tarnwDbf("load " + file, "NAME,CLIENT,AMT\r\nalpha,C9,7.00\r\n");
    EXPECT_EQ(load.status, 0) << load.output;
    {
        auto t = dbf::Table::open(path, dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.setTag("NAME");
        ASSERT_TRUE(c.findKey(c.makeKey({ "alpha" })));
        EXPECT_EQ(c.recNo(), 4u);
        EXPECT_EQ(c.text("CLIENT"), "C9");
    }
    EXPECT_EQ(tarnwDbf("dump " + file + " --tag NAME").output,
        "NAME,CLIENT,AMT\r\n"
        "alpha,C9,7.00\r\n"
        "charlie,C2,0.00\r\n"
        "delta,C2,5.00\r\n");
    EXPECT_EQ(tarnwDbf("check " + file).output,
        "3 tags checked, no fault\n3 keys of deleted records kept until the next pack\n");

    // A deleted record listed under a key it does not hold is a fault.
    bytes = readBytes(path);
    bytes[headerLength + recordLength + 1] = 'x'; // alpha -> xlpha
    writeBytes(path, bytes);
    const ToolRun wrong = tarnwDbf("check " + file);
    EXPECT_NE(wrong.status, 0);
    EXPECT_NE(wrong.output.find("record 2 is listed but is deleted or absent"), std::string::npos)
        << wrong.output;

    EXPECT_EQ(tarnwDbf("pack " + file).status, 0);
    EXPECT_EQ(tarnwDbf("check " + file).output, "3 tags checked, no fault\n");
}
