#pragma once
// Client mailing labels on Avery 5161 (2 across, 10 down) and 5260 (3 across, 10 down) stock:
// name, first address line, second address line when there is one, and city, state and postal
// code; labels fill a sheet left to right, then top to bottom. No page header and no footer.
//
// A label's text starts at its column's origin (left margin 0.15 + column x step + left offset)
// and a line is cut at the label's width less the stock's gutter, so it never runs into the
// next label.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reports/record_walk.h"
#include "reports/report_layout.h"

namespace reports {

struct LabelStock
{
    int columns;
    int rows;
    double columnStep; // inches
    double rowStep;
    double leftOffset; // of the first label, from the left margin
    double topOffset; // of the first label, from the sheet's top
    double lineWidth; // longest line of text a label takes
};

// 5161 when the report's name holds "5161", else 5260.
const LabelStock &labelStock(std::string_view reportName);

class LabelLayout : public ReportLayout
{
public:
    LabelLayout(ReportContext &context, const LabelStock &stock);

    bool position() override;
    bool printPage(report::TBaseReport &r) override;

    // The lines of the label of the client the client cursor stands on.
    static std::vector<std::string> labelLines(const ui::Dataset &clients);

private:
    const LabelStock &m_stock;
    std::optional<RecordWalk> m_walk;
    bool m_found = false;
};

} // namespace reports
