#include "reports/worksheet_layout.h"

#include <algorithm>
#include <cmath>

#include "reports/report_format.h"
#include "ui/data_cursor.h"
#include "ui/dataset.h"

namespace reports {

using report::JustifyCenter;
using report::kBlack;
using report::kPenModeCopy;
using report::kPenSolid;
using report::kWhite;

namespace {

constexpr double kFormRight = 7.9;
constexpr double kFormBottom = 10.5;
constexpr double kSpare = 0.25;

struct SlipLabel
{
    double y, x; // baseline and left edge, from the slip box's row and column offsets
    const char *text;
};

constexpr SlipLabel kLabels[] = {
    { 1.1, 0.5, "Client:" },
    { 1.3, 0.5, "Activity:" },
    { 1.6, 0.5, "Project:" },
    { 1.9, 0.5, "Staff:" },
    { 2.2, 0.5, "Date Started:" },
    { 2.2, 2.5, "Time Started:" },
    { 2.5, 0.5, "Date Ended:" },
    { 2.5, 2.5, "Time Ended:" },
    { 3.0, 0.5, "Billing Rate:" },
    { 3.0, 2.5, "Billing Total:" },
    { 3.4, 0.5, "Completed: (  ) Yes  (  ) No" },
    { 3.6, 0.5, "Taxable: (  ) Yes  (  ) No" },
    { 3.8, 0.5, "Billing Description:" },
    { 4.9, 0.5, "Internal Description:" },
};

// Writing lines across both boxes of a row, from the row's offset.
constexpr double kWritingLines[] = { 1.2, 1.5, 1.8, 2.1, 2.9, 3.2, 3.7, 4.8 };

// A pen of `inches` width as the engine takes it (ten-thousandths of an inch).
int penWidth(double inches)
{
    return -(10000 + int(std::lround(inches * 10000)));
}

} // namespace

double WorksheetLayout::scaleFor(double sheetWidth, double sheetHeight)
{
    return std::min(
        { 1.0, (sheetWidth - kSpare) / kFormRight, (sheetHeight - kSpare) / kFormBottom });
}

bool WorksheetLayout::position()
{
    const ui::Dataset &setup = m_context.data.setup;
    const std::unique_ptr<ui::DataCursor> reader = setup.cursor()->reader();
    m_companyName = reader->first()
        ? latin1(reader->value(std::size_t(setup.fieldIndex(QStringLiteral("COMPNAME"))))
                     .toString()
                     .trimmed())
        : std::string();
    return true;
}

bool WorksheetLayout::printPage(report::TBaseReport &r)
{
    const std::string &font = m_context.texts.font;
    const double s = scaleFor(r.PageWidthInches(), r.PageHeightInches());
    auto line = [&](double x1, double y1, double x2, double y2) {
        r.PenMoveTo(x1 * s, y1 * s);
        r.PenLineTo(x2 * s, y2 * s);
    };

    // The black band from 0.5 to 7.9 with the title centred in white. A title wider than the
    // band is drawn in a smaller size on the band's baseline.
    r.SetAreaTop(0.65 * s);
    r.UseFont(font, 20 * s);
    r.CursorHome();
    r.UseFontColor(kWhite);
    r.ClearTabStops();
    r.SetLinePen(kBlack, kPenSolid, penWidth(0.02 * s), kPenModeCopy);
    r.AddTabStop(0.5 * s, JustifyCenter, 7.4 * s, 5 * s, 15, 100);
    const std::string title = m_companyName + " Time & Billing Worksheet";
    const double room = (7.4 - 0.1) * s;
    const double width = r.TextWidth(title);
    if (width <= room) {
        r.EmitText("\t" + title);
    } else {
        r.EmitText("\t ");
        r.UseFont(font, std::floor(20 * s * room / width * 4) / 4);
        r.UseFontColor(kWhite);
        r.EmitCenteredAt(title, 4.2 * s);
    }
    r.ClearTabStops();

    // Four slip boxes, two across and two down.
    for (double y : { 1.0, 5.7, 10.5 })
        line(0.5, y, kFormRight, y);
    for (double x : { 0.5, 4.2, kFormRight })
        line(x, 1.0, x, kFormBottom);

    r.SetLinePen(kBlack, kPenSolid, penWidth(0.01 * s), kPenModeCopy);
    r.UseFont(font, 8 * s);
    r.UseFontColor(kBlack);
    for (double row : { 0.0, 4.7 }) {
        for (double y : kWritingLines)
            line(0.5, row + y, kFormRight, row + y);
        for (double column : { 0.07, 3.77 })
            for (const SlipLabel &l : kLabels) {
                r.MoveCursor((column + l.x) * s, (row + l.y) * s);
                r.EmitText(l.text);
            }
    }
    return false;
}

} // namespace reports
