#include "reports/budget_report.h"

#include <array>
#include <cmath>

#include "reports/csv_writer.h"
#include "reports/report_format.h"
#include "ui/data_cursor.h"
#include "ui/dataset.h"

namespace reports {

using report::JustifyLeft;
using report::JustifyRight;

namespace {

// Project Description, Status, Est. Hours, Actual Hours, Variance, Est. Billings, Actual
// Billings, Variance, Days Over: from X 0.55, each after the previous, margin 0.02.
constexpr std::array<Column, 9> kCells = { { { JustifyLeft, 2.2 }, { JustifyLeft, 0.7 },
    { JustifyRight, 0.5 }, { JustifyRight, 0.5 }, { JustifyRight, 0.7 }, { JustifyRight, 0.8 },
    { JustifyRight, 0.8 }, { JustifyRight, 0.8 }, { JustifyRight, 0.5 } } };
constexpr double kCellMargin = 0.02;
constexpr double kBodyPoints = 10;
// The client totals' line starts under the numbers.
constexpr double kTotalRuleLeft = 3.5;

// A value of a row and how it keeps to its cell.
struct CellValue
{
    enum Kind {
        Text, // cut where the next cell that prints text begins
        Label, // printed whole: the totals' labels
        Number, // right in its own cell; drawn smaller rather than cut or run into the text
                // before it
    };
    std::string text;
    Kind kind = Text;
};

double cellStart(std::size_t i)
{
    double x = kAreaLeft;
    for (std::size_t j = 0; j < i; ++j)
        x += kCells[j].width;
    return x;
}

std::string trimmedLeft(const std::string &s)
{
    const std::size_t at = s.find_first_not_of(' ');
    return at == std::string::npos ? std::string() : s.substr(at);
}

// Prints one row into the budget cells (the tab cursor at the start of the line). Empty values
// leave their cell empty.
void emitRow(report::TBaseReport &r, const std::string &font, bool bold,
    const std::vector<CellValue> &values, bool endLine)
{
    std::string tabs;
    for (std::size_t i = 0; i < values.size() && i < kCells.size(); ++i) {
        tabs += '\t';
        std::string text = values[i].text;
        if (values[i].kind == CellValue::Number)
            text = trimmedLeft(text);
        if (text.empty())
            continue;
        const double start = cellStart(i);
        const double end = start + kCells[i].width;
        double points = kBodyPoints;
        if (values[i].kind == CellValue::Text) {
            double next = cellStart(kCells.size());
            for (std::size_t j = i + 1; j < values.size() && j < kCells.size(); ++j)
                if (!trimmedLeft(values[j].text).empty()) {
                    next = cellStart(j);
                    break;
                }
            text = clipToWidth(r, text, next - start - kCellMargin);
        } else if (values[i].kind == CellValue::Number) {
            // What was printed before on this line ends at the cursor.
            const double left = std::max(start, r.CursorX()) + kCellMargin;
            const double room = end - kCellMargin - left;
            const double width = r.TextWidth(text);
            if (width > room && room > 0)
                points = std::floor(kBodyPoints * room / width * 4) / 4;
        }
        if (points != kBodyPoints) {
            r.UseFont(font, points);
            r.UseBold(bold);
        }
        r.EmitText(tabs + text);
        tabs.clear();
        if (points != kBodyPoints) {
            r.UseFont(font, kBodyPoints);
            r.UseBold(bold);
        }
    }
    if (endLine)
        r.AdvanceLine();
}

std::vector<CellValue> lineValues(const BudgetLine &p)
{
    return { { p.description }, { p.completed ? "Completed" : "Pending" },
        { hoursText(p.estimatedHours), CellValue::Number },
        { hoursText(p.actualHours), CellValue::Number },
        { hoursText(p.hoursVariance()), CellValue::Number },
        { moneyText(p.estimatedBillings.toDouble()), CellValue::Number },
        { moneyText(p.actualBillings.toDouble()), CellValue::Number },
        { moneyText(p.billingsVariance().toDouble()), CellValue::Number },
        { generalText(double(p.daysOver), 4), CellValue::Number } };
}

std::string plainHours(double hours)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", hours);
    return buf;
}

} // namespace

BudgetLine BudgetLine::from(const QString &description, const QDate &estimated, const QDate &done,
    double estimatedHours, double actualHours, double estimatedCost, double actualCost)
{
    BudgetLine p;
    p.description = latin1(description);
    p.completed = done.isValid();
    p.estimatedHours = estimatedHours;
    p.actualHours = actualHours;
    p.estimatedBillings = platform::Cents::fromDouble(estimatedCost);
    p.actualBillings = platform::Cents::fromDouble(actualCost);
    if (done.isValid() && estimated.isValid())
        p.daysOver = estimated.daysTo(done);
    return p;
}

void BudgetSums::add(const BudgetLine &line)
{
    estimatedHours += line.estimatedHours;
    actualHours += line.actualHours;
    estimatedBillings += line.estimatedBillings;
    actualBillings += line.actualBillings;
    daysOver += line.daysOver;
}

void BudgetSums::add(const BudgetSums &sums)
{
    estimatedHours += sums.estimatedHours;
    actualHours += sums.actualHours;
    estimatedBillings += sums.estimatedBillings;
    actualBillings += sums.actualBillings;
    daysOver += sums.daysOver;
}

bool ProjectBudgetLayout::position()
{
    ui::Dataset &projects = m_context.data.projects;
    projects.cancelRange();
    projects.setTag(QStringLiteral("PJ_CLIENT"));
    readProjects();
    m_walk.emplace(clientWalk(m_context.data.clients, m_context.rules));
    m_found = m_walk->first();
    return m_found;
}

void ProjectBudgetLayout::readProjects()
{
    m_projects.clear();
    const ui::Dataset &projects = m_context.data.projects;
    auto field = [&](const char *name) {
        return std::size_t(projects.fieldIndex(QString::fromLatin1(name)));
    };
    const std::size_t client = field("PJ_CLIENT"), code = field("PJ_CODE"),
                      desc = field("PJ_DESC"), estDate = field("PJ_ESTDATE"),
                      estHours = field("PJ_ESTHOUR"), estCost = field("PJ_ESTCOST"),
                      doneDate = field("PJ_DONEDT"), totHours = field("PJ_TOTHOUR"),
                      totCharge = field("PJ_TOTCHG");
    const std::unique_ptr<ui::DataCursor> reader = projects.cursor()->reader();
    for (bool more = reader->first(); more; more = reader->next()) {
        if (m_context.rules.projectPlace(latin1(reader->value(code).toString()))
            != RangePlace::Inside)
            continue;
        m_projects[latin1(reader->value(client).toString())].push_back(
            BudgetLine::from(reader->value(desc).toString(), reader->value(estDate).toDate(),
                reader->value(doneDate).toDate(), reader->value(estHours).toDouble(),
                reader->value(totHours).toDouble(), reader->value(estCost).toDouble(),
                reader->value(totCharge).toDouble()));
    }
}

const std::vector<BudgetLine> *ProjectBudgetLayout::clientProjects() const
{
    const auto it = m_projects.find(latin1(m_context.data.clients.text(QStringLiteral("NUMBER"))));
    return it == m_projects.end() || it->second.empty() ? nullptr : &it->second;
}

void ProjectBudgetLayout::printHeading(report::TBaseReport &r)
{
    const std::string &font = m_context.texts.font;
    r.SetMarginTop(1.3);
    r.UseFont(font, 12);
    r.UseBold(true);
    r.CursorHome();
    addColumns(r, kCells);
    r.EmitLine("\tClient Name\tProject\tEst.\tActual\t\tEst.\tActual\t\tDays");
    r.EmitLine("\tProject Description\tStatus\tHours\tHours\tVariance\tBillings\tBillings\tVariance"
               "\tOver");
    rule(r, 1.7, kAreaLeft, kAreaRight);
    r.UseBold(false);
    r.UseFont(font, kBodyPoints);
}

void ProjectBudgetLayout::printTotal(
    report::TBaseReport &r, const char *label, const BudgetSums &sums)
{
    r.UseBold(true);
    emitRow(r, m_context.texts.font, true,
        { {}, { label, CellValue::Label }, { hoursText(sums.estimatedHours), CellValue::Number },
            { hoursText(sums.actualHours), CellValue::Number }, {},
            { moneyText(sums.estimatedBillings.toDouble()), CellValue::Number },
            { moneyText(sums.actualBillings.toDouble()), CellValue::Number }, {},
            { generalText(double(sums.daysOver), 4), CellValue::Number } },
        false);
}

void ProjectBudgetLayout::print(report::TBaseReport &r)
{
    const std::string &font = m_context.texts.font;
    const bool detailed = m_context.options.detailed;
    if (!m_found)
        return;
    BudgetSums report;
    for (bool more = !m_walk->finished(); more; more = m_walk->next()) {
        const std::vector<BudgetLine> *projects = clientProjects();
        if (!projects)
            continue;
        // The client's name runs over the empty cells of its line, up to the right margin.
        r.ClearTabStops();
        r.AddTabStop(kAreaLeft, JustifyLeft, 2.0, 2, 0, 0);
        r.UseBold(true);
        r.EmitText("\t"
            + clipToWidth(r, latin1(m_context.data.clients.text(QStringLiteral("NAME"))),
                kAreaRight - kAreaLeft - kCellMargin));
        r.AdvanceLine();
        r.UseBold(false);
        addColumns(r, kCells);

        BudgetSums client;
        for (const BudgetLine &p : *projects) {
            emitRow(r, font, false, lineValues(p), true);
            client.add(p);
            if (r.LinesRemaining() <= 1)
                r.StartNextPage();
        }
        // The total (with its line above it when detailed) is kept in one piece.
        if (r.LinesRemaining() < (detailed ? 2 : 1))
            r.StartNextPage();
        if (detailed) {
            r.PenMoveTo(kTotalRuleLeft, r.CursorY());
            r.PenLineTo(kAreaRight, r.CursorY());
            r.AdvanceLine();
        }
        printTotal(r, "Client Total:", client);
        r.AdvanceLine();
        r.UseBold(false);
        report.add(client);
        if (r.LinesRemaining() <= 1)
            r.StartNextPage();
    }
    if (r.LinesRemaining() <= 3)
        r.StartNextPage();
    r.AdvanceLine();
    if (detailed) {
        r.PenMoveTo(kTotalRuleLeft, r.CursorY());
        r.PenLineTo(kAreaRight, r.CursorY());
        r.AdvanceLine();
    }
    r.UseFont(font, kBodyPoints);
    printTotal(r, "Report Total:", report);
    r.UseBold(false);
}

bool ProjectBudgetLayout::writeCsv(std::ostream &out)
{
    CsvWriter csv(out);
    csv.writeRow({ "Client Name", "Project Description", "Status", "Est. Hours", "Actual Hours",
        "Hours Variance", "Est. Billings", "Actual Billings", "Billings Variance", "Days Over" });
    if (!m_walk)
        position();
    const ui::Dataset &clients = m_context.data.clients;
    for (bool more = m_walk->first(); more; more = m_walk->next()) {
        const std::vector<BudgetLine> *projects = clientProjects();
        if (!projects)
            continue;
        const std::string name = clients.text(QStringLiteral("NAME")).toStdString();
        for (const BudgetLine &p : *projects)
            csv.writeRow({ name, QString::fromLatin1(p.description.c_str()).toStdString(),
                p.completed ? "Completed" : "Pending", plainHours(p.estimatedHours),
                plainHours(p.actualHours), plainHours(p.hoursVariance()),
                p.estimatedBillings.toPlainString(), p.actualBillings.toPlainString(),
                p.billingsVariance().toPlainString(), std::to_string(p.daysOver) });
    }
    return true;
}

} // namespace reports
