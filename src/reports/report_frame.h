#pragma once
// The frame every catalogue report shares: the common settings its OnBeforePrint applies, the
// common page header (title band, sub heading, rule) and footer (page number, date), the column
// heading block of the page layouts, and the rule procedure. All lengths are inches.
#include <span>
#include <string>

#include "report_engine/base_report.h"

namespace reports {

struct FrameTexts
{
    std::string title; // the report's name
    std::string subHeading;
    std::string font; // the report font's face name
    std::string today; // today's date in the short date format
};

// One cell of a row of tab cells; the cells follow on from X 0.55, each where the previous ends.
struct Column
{
    int justify;
    double width;
};

constexpr double kAreaLeft = 0.55;
constexpr double kAreaRight = 8.0;

// Status format and margins (0.55, 0.55, 0.5, 1; labels 0.15, 0, 0, 0).
void applyCommonSettings(report::TBaseReport &r, bool labels);
void printCommonHeader(report::TBaseReport &r, const FrameTexts &texts);
void printCommonFooter(report::TBaseReport &r, const FrameTexts &texts);
// A 0.02-inch black rule at y from x1 to x2; the pen is the 0.01-inch line afterwards.
void rule(report::TBaseReport &r, double y, double x1, double x2);
// Clears the tab cells and adds the columns: margin 0.02, no box lines, no shade.
void addColumns(report::TBaseReport &r, std::span<const Column> columns);
// Top margin 1.3, the bold 14-point heading row, a rule at 1.6, then 10 point on the next line.
void columnHeadingBlock(report::TBaseReport &r, const std::string &font,
    std::span<const Column> columns, const std::string &heading);

} // namespace reports
