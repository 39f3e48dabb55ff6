#pragma once
// "Time Entry Worksheet": one sheet of four blank paper time slips, two across and two down,
// under a black band with the company's name, for staff to fill in by hand. Nothing is read but
// the company setup's name.
//
// The form is drawn for a letter sheet: its boxes reach 7.9 inches across and 10.5 down. On a
// sheet too small to hold them with a quarter inch to spare at the right and the bottom, the
// whole form (positions, fonts and pens) is drawn smaller about the sheet's top-left corner
// until it fits, rather than being cut off.
#include "reports/report_layout.h"

namespace reports {

class WorksheetLayout : public ReportLayout
{
public:
    using ReportLayout::ReportLayout;

    bool position() override;
    bool printPage(report::TBaseReport &r) override;

    // The factor (at most 1) the form is drawn at on a sheet of that size.
    static double scaleFor(double sheetWidth, double sheetHeight);

private:
    std::string m_companyName; // COMPNAME, trimmed
};

} // namespace reports
