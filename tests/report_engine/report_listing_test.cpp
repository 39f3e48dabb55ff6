// A document using every drawing operation, recorded and listed record by record, compared with
// the reviewed listing in tests/fixtures/report (TARNW_UPDATE_GOLDEN=1 rewrites it).
#include <fstream>
#include <sstream>

#include "report_engine/memo_buf.h"
#include "report_engine/report_file_reader.h"
#include "report_test_support.h"
#include <gtest/gtest.h>

using namespace report;

TEST(ReportListing, EveryOperationIsRecordedAsAsked)
{
    FixedWidthMeasurer m;
    const std::string bytes = report::test::recordDocument(m, [](TBaseReport &r) {
        r.UseFont("Times New Roman", 14);
        r.UseBold(true);
        r.EmitCenteredAt("Heading", 4.25);
        r.UseFont("Arial", 10);
        r.AdvanceLine();
        r.AddTabStop(-32768, JustifyLeft, 1, 5, BOXLINELEFT | BOXLINEBOTTOM, 0);
        r.AddTabStop(-32768, JustifyRight, 1, 5, 0, 50);
        r.AddTabStop(3, JustifyCenter, 1, 0, 0, 0);
        r.AddTabStop(-32768, JustifySpread, 2, 10, 0, 0);
        r.EmitLine("\tLeft\tRight\tMid\tSpread it");
        r.UseItalic(true);
        r.UseUnderline(true);
        r.UseFontColor(kWhite);
        r.EmitLeftAt("At\tTab", 1);
        r.UseFontColor(kBlack);
        r.UseItalic(false);
        r.UseUnderline(false);
        r.EmitRightAt("Right", 8);
        r.EmitAtXY(2, 5, "XY");
        r.PenMoveTo(1, 6);
        r.SetLinePen(kBlack, kPenSolid, -2, kPenModeCopy);
        r.PenLineTo(7, 6);
        r.SetLinePen(kBlack, kPenSolid, -1, kPenModeCopy);
        r.SetFill(rgb(200, 200, 200), kBrushSolid);
        r.DrawRoundedBox(1, 7, 3, 8, 0.25, 0.25);
        r.MoveOrigin(0.5, 0.5);
        TMemoBuf memo("  Memo text that wraps");
        memo.PrintStart = 1;
        memo.PrintEnd = 1 + 12 * 6.5 / 96;
        r.EmitMemo(memo, 0, false);
        r.StartNextPage();
        r.EmitAtBottom("Page 2", JustifyRight);
    });
    ReportFileReader reader;
    reader.openBytes(bytes);
    const std::string listing = listReportFile(reader);
    const std::string path = TARNW_SOURCE_DIR "/tests/fixtures/report/every_operation.listing";
    if (std::getenv("TARNW_UPDATE_GOLDEN")) {
        std::ofstream(path) << listing;
        GTEST_SKIP() << "listing rewritten";
    }
    std::ifstream in(path);
    std::stringstream golden;
    golden << in.rdbuf();
    EXPECT_EQ(listing, golden.str());
}
