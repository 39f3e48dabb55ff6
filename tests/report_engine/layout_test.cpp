// Layout of TBaseReport: line heights, baselines, lines remaining, tab cells, pens, status text,
// event order and cancelling.
#include <cmath>

#include "report_engine/base_report.h"
#include "report_test_support.h"
#include <gtest/gtest.h>

using namespace report;
using report::test::LogReport;

namespace {

constexpr double kPpi = 96;
// The fixed measurer's descent is 20 percent of the rounded pixel height.
double descentOf(double points)
{
    return 0.2 * std::round(points / 72 * kPpi) / kPpi;
}

struct Fixture
{
    FixedWidthMeasurer measurer;
    LogReport report{ measurer };
};

TEST(ReportLayout, HeadingBaselineUnderAreaTopAndAdvanceUsesCurrentFont)
{
    Fixture f;
    double y14 = 0, yAfter = 0;
    f.report.OnBeforePrint = [](TBaseReport &r) { r.SetMarginTop(1.3); };
    f.report.OnPrint = [&](TBaseReport &r) {
        r.UseFont("Arial", 14);
        r.CursorHome();
        y14 = r.CursorY();
        r.UseFont("Arial", 10);
        r.AdvanceLine();
        yAfter = r.CursorY();
    };
    f.report.RunReport();
    EXPECT_NEAR(y14, 1.3 + 14.0 / 60 - descentOf(14), 1e-12);
    EXPECT_NEAR(yAfter - y14, 10.0 / 60, 1e-12);
}

TEST(ReportLayout, LinesRemainingOnLetterPaperTruncatesAndCountsExactFit)
{
    Fixture f;
    int fresh = -1, exact = -1, past = -1, linesPerInch = -1;
    f.report.OnBeforePrint = [](TBaseReport &r) {
        r.SetMarginTop(1.3);
        r.SetMarginBottom(1);
    };
    f.report.OnPrint = [&](TBaseReport &r) {
        r.UseFont("Times New Roman", 10);
        r.CursorHome();
        fresh = r.LinesRemaining();
        // The descent of line 3 ends exactly on the bottom edge: line 3 still counts.
        const double b = r.CursorY() + r.Descent();
        r.SetAreaBottom(b + 2 * (10.0 / 60));
        exact = r.LinesRemaining();
        r.AdvanceLine();
        r.AdvanceLine();
        r.AdvanceLine();
        past = r.LinesRemaining();
        r.SetAreaBottom(10);
        r.SetLineHeightMethod(LineHeightMethod::lhmLinesPerInch);
        r.CursorHome();
        linesPerInch = r.LinesRemaining();
    };
    f.report.RunReport();
    const double y = 1.3 + 10.0 / 60 - descentOf(10);
    EXPECT_EQ(fresh, static_cast<int>(std::trunc((10 - (y + descentOf(10))) / (10.0 / 60))) + 1);
    EXPECT_EQ(fresh, 52);
    EXPECT_EQ(exact, 3);
    EXPECT_EQ(past, 0);
    EXPECT_EQ(linesPerInch, 52);
}

TEST(ReportLayout, TabCellsPlaceJustifyShadeAndBoxTheirText)
{
    Fixture f;
    f.report.OnBeforePrint = [](TBaseReport &r) {
        r.SetMarginLeft(0.5);
        r.SetMarginTop(1);
    };
    f.report.OnPrint = [&](TBaseReport &r) {
        r.UseFont("Arial", 10);
        r.ClearTabStops();
        r.AddTabStop(-32768, JustifyLeft, 1.0, 5, BOXLINEALL, 0);
        r.AddTabStop(-32768, JustifyRight, 2.0, 5, 0, 100);
        r.AddTabStop(4.0, JustifyCenter, 1.0, 10, 0, 50);
        r.AddTabStop(6.0, JustifySpread, 2.0, 10, 0, 0);
        r.AddTabStop(8.0, JustifyRight, 0, 10, BOXLINEALL, 100); // plain stop: no box, no shade
        r.CursorHome();
        f.report.log.clear();
        r.EmitText("\tA\tBB\tC\tD E\tF\tsurplus\tmore");
    };
    f.report.RunReport();
    const double d = descentOf(10), y = 1 + 10.0 / 60 - d, top = y + d - 10.0 / 60, bot = y + d;
    const double cw = 6.5 / 96; // one character at 10 points
    using report::test::fmt;
    const std::vector<std::string> expected = {
        "line" + fmt(" %.4f %.4f", 0.5, top) + fmt(" %.4f %.4f", 0.5, bot),
        "line" + fmt(" %.4f %.4f", 1.5, top) + fmt(" %.4f %.4f", 1.5, bot),
        "line" + fmt(" %.4f %.4f", 0.5, top) + fmt(" %.4f %.4f", 1.5, top),
        "line" + fmt(" %.4f %.4f", 0.5, bot) + fmt(" %.4f %.4f", 1.5, bot),
        "text 1" + fmt(" %.4f %.4f", 0.55, y) + " 'A'",
        "shade" + fmt(" %.4f %.4f", 1.5, top) + fmt(" %.4f %.4f", 3.5, bot) + " #000000",
        "text 2" + fmt(" %.4f %.4f", 3.45, y) + " 'BB'",
        "shade" + fmt(" %.4f %.4f", 4.0, top) + fmt(" %.4f %.4f", 5.0, bot) + " #7F7F7F",
        "text 0" + fmt(" %.4f %.4f", 4.5, y) + " 'C'",
        "text 3" + fmt(" %.4f %.4f", 6.1, y) + " 'D E' w 1.80000",
        "text 2" + fmt(" %.4f %.4f", 8.0, y) + " 'F'",
        "text 1" + fmt(" %.4f %.4f", 8.0, y) + " 'surplus'",
        "text 1" + fmt(" %.4f %.4f", 8.0 + 7 * cw, y) + " 'more'",
        "page-",
        "end",
    };
    EXPECT_EQ(f.report.log, expected);
}

TEST(ReportLayout, ShadeMixesBlackTowardWhiteAndFallsBackToTabShade)
{
    struct Case
    {
        int cellShade, tabShade;
        const char *colour; // nullptr: nothing drawn
    };
    const Case cases[] = { { 100, 0, "#000000" }, { 50, 0, "#7F7F7F" }, { 25, 0, "#BFBFBF" },
        { 1, 0, "#FCFCFC" }, { 0, 0, nullptr }, { 0, 20, "#CCCCCC" } };
    for (const Case &c : cases) {
        Fixture f;
        f.report.OnPrint = [&](TBaseReport &r) {
            r.SetTabShade(c.tabShade);
            r.AddTabStop(1, JustifyLeft, 7.45, 0, 0, c.cellShade);
            r.CursorHome();
            r.UseFontColor(kWhite);
            f.report.log.clear();
            r.EmitText("\tX");
        };
        f.report.RunReport();
        std::string shade;
        for (const auto &l : f.report.log)
            if (l.rfind("shade", 0) == 0)
                shade = l.substr(l.size() - 7);
        EXPECT_EQ(shade, c.colour ? c.colour : "") << "cell " << c.cellShade;
    }
}

TEST(ReportLayout, PenWidthsInPixelsHundredthsAndTenThousandths)
{
    struct Case
    {
        int width;
        double inches;
        int px;
    };
    const Case cases[] = { { 1, 1 / 96.0, 1 }, { 3, 3 / 96.0, 3 }, { -2, 0.02, 2 }, { -1, 0.01, 1 },
        { -10100, 0.01, 1 }, { -10500, 0.05, 5 }, { -10025, 1 / 96.0, 1 }, { 0, 1 / 96.0, 1 },
        { -25, 0.25, 24 } };
    Fixture f;
    f.report.OnPrint = [&](TBaseReport &r) {
        for (const Case &c : cases) {
            r.SetLinePen(kBlack, kPenSolid, c.width, kPenModeCopy);
            EXPECT_NEAR(r.Pen().widthInches, c.inches, 1e-12) << c.width;
            EXPECT_EQ(r.Pen().widthPx, c.px) << c.width;
        }
    };
    f.report.RunReport();
}

TEST(ReportLayout, EmitAtBottomAndExplicitPositionsAndOrigin)
{
    Fixture f;
    f.report.OnBeforePrint = [](TBaseReport &r) {
        r.SetMarginRight(0.75);
        r.SetMarginBottom(1);
        r.SetMarginLeft(0.5);
    };
    f.report.OnPrint = [&](TBaseReport &r) {
        r.UseFont("Arial", 10);
        f.report.log.clear();
        r.SetMarginBottom(0.5);
        r.EmitAtBottom("Page 1", JustifyRight);
        r.SetMarginBottom(1);
        r.EmitLeftAt("A\tB", 1.0);
        r.EmitCenteredAt("C", 4.25);
        r.MoveOrigin(1, 2);
        r.EmitAtXY(0.5, 0.5, "O");
        r.PenMoveTo(0, 0);
        r.PenLineTo(1, 0);
        r.DrawRoundedBox(0, 0, 1, 1, 0.1, 0.1);
        r.StartNextPage();
        r.EmitAtXY(0.5, 0.5, "P");
    };
    f.report.RunReport();
    const double d = descentOf(10), yb = 11 - 0.5 - d;
    using report::test::fmt;
    const std::vector<std::string> expected = {
        "text 2" + fmt(" %.4f %.4f", 8.5 - 0.75, yb) + " 'Page 1'",
        // Moving the bottom edge back above the cursor pulls the cursor onto it.
        "text 1" + fmt(" %.4f %.4f", 1.0, 10.0) + " 'A'",
        "text 1" + fmt(" %.4f %.4f", 1.5, 10.0) + " 'B'",
        "text 0" + fmt(" %.4f %.4f", 4.25, 10.0) + " 'C'",
        "text 1" + fmt(" %.4f %.4f", 1.5, 2.5) + " 'O'",
        "line" + fmt(" %.4f %.4f", 1, 2) + fmt(" %.4f %.4f", 2, 2),
        "box" + fmt(" %.4f %.4f", 1, 2) + fmt(" %.4f %.4f", 2, 3) + fmt(" %.4f %.4f", 0.1, 0.1),
        "page-",
        "page+",
        "text 1" + fmt(" %.4f %.4f", 0.5, 0.5) + " 'P'",
        "page-",
        "end",
    };
    EXPECT_EQ(f.report.log, expected);
}

TEST(ReportLayout, StatusTextExpandsEveryCode)
{
    Fixture f;
    std::vector<std::string> labels;
    f.report.OnStatus = [&](const std::string &s) { labels.push_back(s); };
    f.report.StatusFormat = "Printing Page %p\r%0|%1|%2 %F-%l %% %x %D/%R/%T";
    f.report.StatusText = { "a", "b" };
    f.report.OnPrintPage = [](TBaseReport &, int page) { return page < 2; };
    f.report.RunReport();
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[1],
        "Printing Page 2\ra|b| 1-9999 % <ERROR-%X> Preview Only/Preview Only/"
        "Preview Only");
}

TEST(ReportLayout, EventOrderAndCancelDuringPageThreeLeavesNoFooter)
{
    Fixture f;
    std::vector<std::string> events;
    auto ev = [&](const char *name) {
        return [&events, name](TBaseReport &r) {
            events.push_back(std::string(name) + std::to_string(r.CurrentPage()));
        };
    };
    f.report.OnBeforePrint = ev("before");
    f.report.OnNewPage = ev("new");
    f.report.OnPrintHeader = ev("header");
    f.report.OnPrintFooter = ev("footer");
    f.report.OnAfterPrint = ev("after");
    f.report.OnPrintPage = [&](TBaseReport &r, int page) {
        events.push_back("page" + std::to_string(page));
        if (page == 3) {
            r.CancelReport();
            r.EmitLine("never drawn");
            events.push_back("not reached");
        }
        return page < 5;
    };
    f.report.RunReport();
    const std::vector<std::string> expected = { "before0", "new1", "header1", "page1", "footer1",
        "new2", "header2", "page2", "footer2", "new3", "header3", "page3", "after3" };
    EXPECT_EQ(events, expected);
    EXPECT_TRUE(f.report.Aborted());
    EXPECT_FALSE(f.report.Printing());
    EXPECT_EQ(f.report.log.back(), "end aborted");
    EXPECT_TRUE(f.report.texts().empty());
}

TEST(ReportLayout, StateErrorsOutsideAndDuringAJob)
{
    Fixture f;
    try {
        f.report.EmitText("x");
        FAIL();
    } catch (const ReportError &e) {
        EXPECT_STREQ(e.what(), "Invalid method call.  Report engine is not printing.");
    }
    std::string during;
    f.report.OnPrint = [&](TBaseReport &r) {
        try {
            r.SetTitle("other");
        } catch (const ReportError &e) {
            during = e.what();
        }
        r.UseFont("Arial", 0); // ignored
        EXPECT_EQ(r.Font().points, 10);
        throw std::runtime_error("document failed");
    };
    EXPECT_THROW(f.report.RunReport(), std::runtime_error);
    EXPECT_EQ(during, "Invalid method call.  Report engine already printing.");
    EXPECT_FALSE(f.report.Printing());
    EXPECT_EQ(f.report.log.back(), "end aborted");
}

} // namespace
