// Memo word-wrapping and printing: paragraph indentation, long words, exact fits, continuing
// where the last call stopped.
#include "report_engine/memo_buf.h"
#include "report_test_support.h"
#include <gtest/gtest.h>

using namespace report;
using report::test::LogReport;

namespace {

constexpr double kChar = 6.5 / 96; // one character of the fixed measurer at 10 points

std::vector<std::string> wrap(const std::string &text, int widthChars)
{
    FixedWidthMeasurer m;
    LogReport r(m);
    std::vector<std::string> lines;
    r.OnPrint = [&](TBaseReport &rep) {
        rep.UseFont("Arial", 10);
        TMemoBuf memo(text);
        memo.BaseReport = &rep;
        memo.PrintStart = 1;
        memo.PrintEnd = 1 + widthChars * kChar;
        std::string line;
        while (memo.NextLine(line))
            lines.push_back(line);
    };
    r.RunReport();
    return lines;
}

TEST(MemoWrap, BreaksLinesAsWrittenText)
{
    struct Case
    {
        const char *name;
        std::string text;
        int width;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        { "indentation kept on first line only", "    Indented paragraph text goes on here", 20,
            { "    Indented", "paragraph text goes", "on here" } },
        { "every paragraph keeps its indentation", "  one two\r\n  three\nfour", 20,
            { "  one two", "  three", "four" } },
        { "word ending exactly at the width fits", "aaaaaaaaaa bbbbbbbbb c", 20,
            { "aaaaaaaaaa bbbbbbbbb", "c" } },
        { "long word split character by character", std::string(45, 'x') + " end", 20,
            { std::string(20, 'x'), std::string(20, 'x'), std::string(5, 'x') + " end" } },
        { "empty paragraph is an empty line", "a\r\n\r\nb", 20, { "a", "", "b" } },
        { "tabs count as white space", "a\tb", 20, { "a\tb" } },
        { "trailing breaks add no lines", "a\r\n\r\n  ", 20, { "a" } },
        { "nothing to print", "  \r\n ", 20, {} },
    };
    for (const Case &c : cases)
        EXPECT_EQ(wrap(c.text, c.width), c.lines) << c.name;
}

TEST(MemoPrint, EmitMemoFiveThenTheRemainingThree)
{
    FixedWidthMeasurer m;
    LogReport r(m);
    int before = 0, between = 0, after = 0;
    double y0 = 0, y1 = 0;
    r.OnPrint = [&](TBaseReport &rep) {
        rep.UseFont("Arial", 10);
        rep.CursorHome();
        TDBMemoBuf memo;
        memo.LoadMemoField("L1\rL2\rL3\rL4\rL5\rL6\rL7\rL8");
        memo.PrintStart = 2;
        memo.PrintEnd = 4;
        before = rep.CountMemoLines(memo);
        y0 = rep.CursorY();
        rep.EmitMemo(memo, 5, false);
        y1 = rep.CursorY();
        between = rep.CountMemoLines(memo);
        rep.EmitMemo(memo, 0, false);
        after = rep.CountMemoLines(memo);
        memo.RewindMemo();
        EXPECT_EQ(rep.CountMemoLines(memo), 8);
    };
    r.RunReport();
    EXPECT_EQ(before, 8);
    EXPECT_EQ(between, 3);
    EXPECT_EQ(after, 0);
    // Five lines printed from the current line; the cursor ends on the line after the fifth.
    EXPECT_NEAR(y1 - y0, 5 * 10.0 / 60, 1e-9);
    const auto texts = r.texts();
    ASSERT_EQ(texts.size(), 8u);
    double y = y0;
    for (int i = 0; i < 8; ++i, y += 10.0 / 60) {
        const std::string expected =
            "text 1" + report::test::fmt(" %.4f %.4f", 2, y) + " 'L" + std::to_string(i + 1) + "'";
        EXPECT_EQ(texts[static_cast<std::size_t>(i)], expected);
    }
}

TEST(MemoPrint, PrefixTabsStepThroughTheCellsFirst)
{
    FixedWidthMeasurer m;
    LogReport r(m);
    r.OnPrint = [&](TBaseReport &rep) {
        rep.AddTabStop(0.5, JustifyLeft, 1, 0, BOXLINELEFT, 0);
        rep.AddTabStop(1.5, JustifyLeft, 1, 0, BOXLINELEFT, 0);
        rep.CursorHome();
        TMemoBuf memo("one\rtwo");
        memo.PrintStart = 3;
        memo.PrintEnd = 5;
        rep.EmitMemo(memo, 0, true);
    };
    r.RunReport();
    int lines = 0;
    for (const auto &l : r.log)
        lines += l.rfind("line", 0) == 0;
    EXPECT_EQ(lines, 4); // the left rule of both cells on both memo lines
    EXPECT_EQ(r.texts().size(), 2u);
}

TEST(MemoPrint, ErrorsForMissingReportAndEmptyColumn)
{
    TMemoBuf memo("text");
    std::string line;
    try {
        memo.NextLine(line);
        FAIL();
    } catch (const ReportError &e) {
        EXPECT_STREQ(e.what(), "TMemoBuf.BaseReport not assigned.");
    }
    FixedWidthMeasurer m;
    LogReport r(m);
    std::string message;
    r.OnPrint = [&](TBaseReport &rep) {
        memo.PrintStart = 3;
        memo.PrintEnd = 3;
        try {
            rep.EmitMemo(memo, 0, false);
        } catch (const ReportError &e) {
            message = e.what();
        }
    };
    r.RunReport();
    EXPECT_EQ(message, "TMemoBuf.PrintEnd must be greater than TMemoBuf.PrintStart");
}

} // namespace
