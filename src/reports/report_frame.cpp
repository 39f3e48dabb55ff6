#include "reports/report_frame.h"

namespace reports {

using report::JustifyLeft;
using report::JustifyRight;
using report::kBlack;
using report::kPenModeCopy;
using report::kPenSolid;
using report::kWhite;

void applyCommonSettings(report::TBaseReport &r, bool labels)
{
    r.StatusFormat = "Printing Page %p\r%0\r%1";
    r.StatusText = { "", "" };
    if (labels) {
        r.SetMarginLeft(0.15);
        r.SetMarginRight(0);
        r.SetMarginTop(0);
        r.SetMarginBottom(0);
    } else {
        r.SetMarginLeft(0.55);
        r.SetMarginRight(0.55);
        r.SetMarginTop(0.5);
        r.SetMarginBottom(1);
    }
}

void printCommonHeader(report::TBaseReport &r, const FrameTexts &texts)
{
    r.SetAreaTop(0.5);
    r.UseFont(texts.font, 18);
    r.CursorHome();
    r.UseFontColor(kWhite);
    r.ClearTabStops();
    r.AddTabStop(kAreaLeft, JustifyLeft, 7.45, 5, 0, 100); // the black title band, 0.55 to 8.0
    r.EmitLine("\t" + texts.title);
    r.UseFont(texts.font, 14);
    r.UseFontColor(kBlack);
    r.ClearTabStops();
    r.MoveCursor(kAreaLeft, 1.13);
    r.EmitLeftAt(texts.subHeading, kAreaLeft);
    rule(r, 1.25, kAreaLeft, kAreaRight);
}

void printCommonFooter(report::TBaseReport &r, const FrameTexts &texts)
{
    r.UseFont(texts.font, 8);
    r.SetMarginBottom(0.5);
    r.EmitAtBottom("Page " + std::to_string(r.CurrentPage()), JustifyLeft);
    r.EmitAtBottom("Date: " + texts.today, JustifyRight);
    r.SetMarginBottom(1);
}

void rule(report::TBaseReport &r, double y, double x1, double x2)
{
    r.PenMoveTo(x1, y);
    r.SetLinePen(kBlack, kPenSolid, -2, kPenModeCopy);
    r.PenLineTo(x2, y);
    r.SetLinePen(kBlack, kPenSolid, -1, kPenModeCopy);
}

void addColumns(report::TBaseReport &r, std::span<const Column> columns)
{
    r.ClearTabStops();
    bool first = true;
    for (const Column &c : columns) {
        r.AddTabStop(first ? kAreaLeft : -1, c.justify, c.width, 2, 0, 0);
        first = false;
    }
}

void columnHeadingBlock(report::TBaseReport &r, const std::string &font,
    std::span<const Column> columns, const std::string &heading)
{
    r.SetMarginTop(1.3);
    r.UseFont(font, 14);
    r.UseBold(true);
    r.CursorHome();
    addColumns(r, columns);
    r.EmitLine(heading);
    rule(r, 1.6, kAreaLeft, kAreaRight);
    r.UseBold(false);
    r.UseFont(font, 10);
    r.AdvanceLine();
}

} // namespace reports
