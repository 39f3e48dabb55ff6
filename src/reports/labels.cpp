#include "reports/labels.h"

#include "reports/report_format.h"
#include "ui/dataset.h"

namespace reports {

namespace {

// Label sizes: 5161 labels are 4 inches wide, 5260 labels 2 5/8; less 0.2 inch of gutter so a
// line ends before the label does whatever the printer's offsets.
const LabelStock k5161{ 2, 10, 4.1, 1.0, 0.15, 0.55, 4.0 - 0.2 };
const LabelStock k5260{ 3, 10, 2.8, 1.0, 0.12, 0.6, 2.625 - 0.2 };

} // namespace

const LabelStock &labelStock(std::string_view reportName)
{
    return reportName.find("5161") != std::string_view::npos ? k5161 : k5260;
}

LabelLayout::LabelLayout(ReportContext &context, const LabelStock &stock)
    : ReportLayout(context)
    , m_stock(stock)
{
}

bool LabelLayout::position()
{
    m_walk.emplace(clientWalk(m_context.data.clients, m_context.rules));
    m_found = m_walk->first();
    return m_found;
}

std::vector<std::string> LabelLayout::labelLines(const ui::Dataset &clients)
{
    const auto field = [&](const char *name) { return clients.text(QString::fromLatin1(name)); };
    std::vector<std::string> lines;
    lines.push_back(latin1(field("NAME").trimmed()));
    lines.push_back(latin1(field("SADD")));
    if (!field("SADD2").trimmed().isEmpty())
        lines.push_back(latin1(field("SADD2")));
    lines.push_back(
        latin1(field("SCITY") + QStringLiteral(", ") + field("SSTATE") + QLatin1Char(' ')
            + field("SZIP")));
    return lines;
}

bool LabelLayout::printPage(report::TBaseReport &r)
{
    if (!m_found)
        return false;
    r.UseFont(m_context.texts.font, 11);
    for (int row = 0; row < m_stock.rows; ++row)
        for (int col = 0; col < m_stock.columns && !m_walk->finished(); ++col) {
            r.MoveOrigin(col * m_stock.columnStep + m_stock.leftOffset,
                row * m_stock.rowStep + m_stock.topOffset);
            r.CursorHome();
            for (const std::string &line : labelLines(m_context.data.clients))
                r.EmitLine(clipToWidth(r, line, m_stock.lineWidth));
            m_walk->next();
        }
    return !m_walk->finished();
}

} // namespace reports
