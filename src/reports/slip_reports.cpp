#include "reports/slip_reports.h"

#include <cstdio>
#include <stdexcept>

#include "reports/csv_writer.h"
#include "reports/report_format.h"
#include "ui/data_cursor.h"
#include "ui/dataset.h"

namespace reports {

using report::JustifyLeft;
using report::JustifyRight;

namespace {

// Margin of every cell: 2 hundredths of an inch.
constexpr double kCellMargin = 0.02;

// The slip row: Slip, Date, Activity, Project, Staff, Type, Status, Hours, Rate, Tax, Total.
constexpr std::array<Column, 11> kSlipColumns = { { { JustifyLeft, 0.4 }, { JustifyLeft, 0.7 },
    { JustifyLeft, 0.9 }, { JustifyLeft, 0.9 }, { JustifyLeft, 0.5 }, { JustifyLeft, 0.6 },
    { JustifyLeft, 0.6 }, { JustifyRight, 0.55 }, { JustifyRight, 0.7 }, { JustifyRight, 0.6 },
    { JustifyRight, 1.0 } } };
constexpr std::size_t kTypeCell = 5;

constexpr std::array<Column, 2> kClientGroupColumns = { { { JustifyLeft, 2.0 },
    { JustifyLeft, 1.0 } } };
constexpr std::array<Column, 2> kActivityGroupColumns = { { { JustifyLeft, 1.1 },
    { JustifyLeft, 2.0 } } };
constexpr std::array<Column, 3> kTotalsColumns = { { { JustifyLeft, 1.0 }, { JustifyLeft, 2.5 },
    { JustifyRight, 1.0 } } };

// Group totals and report totals rules run from here to the area's right edge.
constexpr double kTotalRuleLeft = 5.0;

const std::array<std::string, 11> kSlipTitles = { "Slip", "Date", "Activity", "Project", "Staff",
    "Type", "Status", "Hours", "Rate", "Tax", "Total" };

std::size_t fieldOf(const ui::DataCursor &cursor, const char *name)
{
    const auto index = cursor.layout().indexOf(name);
    if (!index)
        throw std::runtime_error(std::string("The slip table has no field ") + name + ".");
    return *index;
}

Cents centsOf(const QVariant &v)
{
    return Cents::fromDouble(v.toDouble());
}

std::string text(const ui::Dataset &d, const char *field)
{
    return latin1(d.text(QString::fromLatin1(field)));
}

// A Latin-1 report text as UTF-8, for files other programs read.
std::string utf8(const std::string &latin1Text)
{
    return QString::fromLatin1(latin1Text.data(), qsizetype(latin1Text.size())).toStdString();
}

std::string hoursPlain(double hours)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", hours);
    return buf;
}

// Starts a new page when fewer than `lines` lines are left on this one.
void keepLines(report::TBaseReport &r, int lines)
{
    if (r.LinesRemaining() < lines)
        r.StartNextPage();
}

} // namespace

const char *SlipLine::status() const
{
    if (billed == 1)
        return "Billed";
    return done != 0 ? "Completed" : "Pending";
}

// ---- SlipReader ------------------------------------------------------------------------------

SlipReader::SlipReader(const ui::Dataset &slips, const SelectionRules &rules, const QString &tag)
    : m_rules(rules)
    , m_reader(slips.cursor()->reader())
{
    m_reader->setTag(tag);
    m_reader->cancelRange();
    const ui::DataCursor &c = *m_reader;
    m_number = fieldOf(c, "SL_NUMBER");
    m_client = fieldOf(c, "SL_CLIENT");
    m_project = fieldOf(c, "SL_PROJECT");
    m_activity = fieldOf(c, "SL_ACT");
    m_staff = fieldOf(c, "SL_EMPLOY");
    m_dateBegin = fieldOf(c, "SL_DATEBEG");
    m_dateEnd = fieldOf(c, "SL_DATEEND");
    m_hours = fieldOf(c, "SL_HOURS");
    m_rate = fieldOf(c, "SL_RATE");
    m_total = fieldOf(c, "SL_TOTAL");
    m_expense = fieldOf(c, "SL_EXPAMT");
    m_tax = fieldOf(c, "SL_TAXAMT");
    m_done = fieldOf(c, "SL_DONE");
    m_billed = fieldOf(c, "SL_BILLED");
}

SlipReader::~SlipReader() = default;

bool SlipReader::first(const QString &key)
{
    const QVariantList k{ key };
    m_reader->setRange(k, k);
    return m_reader->first() && settle();
}

bool SlipReader::firstOfAll()
{
    m_reader->cancelRange();
    return m_reader->first() && settle();
}

bool SlipReader::next()
{
    return m_reader->next() && settle();
}

bool SlipReader::settle()
{
    const ui::DataCursor &c = *m_reader;
    const auto day = [&](std::size_t field) -> std::optional<DayNumber> {
        const QDate d = c.value(field).toDate();
        return d.isValid() ? std::optional<DayNumber>(d.toJulianDay()) : std::nullopt;
    };
    do {
        m_facts.dateBegin = day(m_dateBegin);
        m_facts.dateEnd = day(m_dateEnd);
        m_facts.activity = latin1(c.value(m_activity).toString());
        m_facts.staff = latin1(c.value(m_staff).toString());
        m_facts.project = latin1(c.value(m_project).toString());
        m_facts.billed = c.value(m_billed).toInt();
        m_facts.done = c.value(m_done).toInt();
        m_facts.expenseAmount = c.value(m_expense).toDouble();
        if (!m_rules.qualifiesSlip(m_facts))
            continue;
        SlipLine &s = m_slip;
        s.number = static_cast<std::int64_t>(c.value(m_number).toDouble());
        s.date = m_facts.dateBegin ? QDate::fromJulianDay(*m_facts.dateBegin) : QDate();
        s.client = latin1(c.value(m_client).toString());
        s.activity = m_facts.activity;
        s.project = m_facts.project;
        s.staff = m_facts.staff;
        s.hours = c.value(m_hours).toDouble();
        s.rate = centsOf(c.value(m_rate));
        s.total = centsOf(c.value(m_total));
        s.tax = centsOf(c.value(m_tax));
        s.expense = m_facts.expenseAmount != 0;
        s.billed = m_facts.billed;
        s.done = m_facts.done;
        return true;
    } while (m_reader->next());
    return false;
}

// ---- CellRow ---------------------------------------------------------------------------------

CellRow::CellRow(std::span<const Column> columns)
    : m_columns(columns.begin(), columns.end())
{
    double x = kAreaLeft;
    for (const Column &c : m_columns) {
        m_starts.push_back(x);
        x += c.width;
    }
    m_end = x;
}

void CellRow::set(report::TBaseReport &r) const
{
    addColumns(r, m_columns);
}

void CellRow::emitRow(report::TBaseReport &r, std::span<const std::string> texts,
    unsigned wholeMask, bool endLine) const
{
    const std::size_t n = std::min(texts.size(), m_columns.size());
    // Each text once measured: right-justified without its leading blanks.
    std::array<std::string, 16> cell;
    std::array<double, 16> width{};
    for (std::size_t i = 0; i < n && i < cell.size(); ++i) {
        cell[i] = texts[i];
        if (m_columns[i].justify == JustifyRight) {
            const std::size_t lead = cell[i].find_first_not_of(' ');
            cell[i].erase(0, lead == std::string::npos ? cell[i].size() : lead);
        }
        width[i] = cell[i].empty() ? 0 : r.TextWidth(cell[i]);
    }
    // Where the first text after cell i begins: the start of a left cell; the left end of a
    // right-justified or centred text, though never before its cell's start (the text after it
    // gives way); the end of the last cell when no text follows.
    const auto nextTextAt = [&](std::size_t i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (cell[j].empty())
                continue;
            const Column &col = m_columns[j];
            if (col.justify == JustifyLeft)
                return m_starts[j];
            const double begins = col.justify == JustifyRight
                ? m_starts[j] + col.width - kCellMargin - width[j]
                : m_starts[j] + (col.width - width[j]) / 2;
            return std::max(m_starts[j], begins - kCellMargin);
        }
        return m_end;
    };
    std::string line;
    double printedTo = r.CursorX(); // the right end of what this line printed so far
    for (std::size_t i = 0; i < n; ++i) {
        line += '\t';
        std::string &t = cell[i];
        if (t.empty())
            continue;
        const Column &col = m_columns[i];
        const double start = m_starts[i];
        double room = 0;
        if (col.justify == JustifyLeft)
            room = nextTextAt(i) - start - kCellMargin;
        else if (col.justify == JustifyRight)
            room = start + col.width - kCellMargin - (printedTo + kCellMargin);
        else
            room = col.width - 2 * kCellMargin;
        if (width[i] > room && !((wholeMask >> i) & 1u)) {
            t = clipToWidth(r, t, room);
            width[i] = r.TextWidth(t);
        }
        if (col.justify == JustifyLeft)
            printedTo = start + kCellMargin + width[i];
        else if (col.justify == JustifyRight)
            printedTo = start + col.width - kCellMargin;
        else
            printedTo = start + (col.width + width[i]) / 2;
        line += t;
    }
    if (endLine)
        r.EmitLine(line);
    else
        r.EmitText(line);
}

// ---- Slip listings and summaries -------------------------------------------------------------

SlipAnalysis::SlipAnalysis(ReportContext &context, Grouping grouping, bool detailed)
    : ReportLayout(context)
    , m_grouping(grouping)
    , m_detailed(detailed || grouping == Grouping::None)
    , m_slipCells(kSlipColumns)
    , m_groupCells(grouping == Grouping::Activity ? std::span<const Column>(kActivityGroupColumns)
                                                  : std::span<const Column>(kClientGroupColumns))
{
}

bool SlipAnalysis::position()
{
    const ReportData &d = m_context.data;
    switch (m_grouping) {
    case Grouping::Client:
        m_slips =
            std::make_unique<SlipReader>(d.slips, m_context.rules, QStringLiteral("SL_CLIENT"));
        m_walk.emplace(clientWalk(d.clients, m_context.rules));
        m_found = m_walk->first();
        break;
    case Grouping::Activity:
        m_slips =
            std::make_unique<SlipReader>(d.slips, m_context.rules, QStringLiteral("SL_ActOnly"));
        m_walk.emplace(activityWalk(d.activities, m_context.rules));
        m_found = m_walk->first();
        break;
    case Grouping::None:
        m_slips =
            std::make_unique<SlipReader>(d.slips, m_context.rules, QStringLiteral("SL_NUMBER"));
        m_found = m_slips->firstOfAll();
        break;
    }
    return m_found;
}

SlipAnalysis::GroupTexts SlipAnalysis::groupTexts() const
{
    if (m_grouping == Grouping::Client) {
        const ui::Dataset &c = m_context.data.clients;
        return { c.text(QStringLiteral("NUMBER")), text(c, "NAME"), text(c, "NUMBER") };
    }
    const ui::Dataset &a = m_context.data.activities;
    return { a.text(QStringLiteral("ACTIVITY")), text(a, "ACTIVITY"), text(a, "DESC") };
}

std::vector<std::string> SlipAnalysis::groupTitles() const
{
    if (m_grouping == Grouping::Client)
        return { "Client Name", "Client No." };
    return { "Activity Code", "Description" };
}

std::string SlipAnalysis::totalLabel() const
{
    return m_grouping == Grouping::Client ? "Client Total:" : "Activity Total:";
}

std::array<std::string, 11> SlipAnalysis::rowTexts(const SlipLine &s) const
{
    return { std::to_string(s.number), dateText(s.date), s.activity, s.project, s.staff, s.type(),
        s.status(), hoursText(s.hours), moneyText(s.rate.toDouble()), moneyText(s.tax.toDouble()),
        moneyText(s.lineTotal().toDouble()) };
}

void SlipAnalysis::printHeading(report::TBaseReport &r)
{
    const std::string &font = m_context.texts.font;
    r.SetMarginTop(1.3);
    r.UseFont(font, 12);
    r.UseBold(true);
    r.CursorHome();
    if (m_detailed && m_grouping != Grouping::None) {
        m_groupCells.set(r);
        m_groupCells.emitRow(r, groupTitles(), 0, true);
    } else {
        r.AdvanceLine();
    }
    m_slipCells.set(r);
    if (m_detailed) {
        m_slipCells.emitRow(r, kSlipTitles, 0, true);
    } else {
        const std::string first = m_grouping == Grouping::Client ? "Client" : "Activity Code";
        const std::string second = m_grouping == Grouping::Client ? "" : "Description";
        const std::array<std::string, 11> titles = { first, "", second, "", "", "", "", "Hours", "",
            "Tax", "Total" };
        m_slipCells.emitRow(r, titles, 0, true);
    }
    rule(r, 1.7, kAreaLeft, kAreaRight);
    r.UseBold(false);
    r.UseFont(font, 10);
}

void SlipAnalysis::groupLine(report::TBaseReport &r, const GroupTexts &g)
{
    // Detailed: the group line and at least its first slip on this page.
    keepLines(r, m_detailed ? 2 : 1);
    m_groupCells.set(r);
    r.UseBold(m_detailed);
    m_groupCells.emitRow(r, std::array<std::string, 2>{ g.code, g.name }, 0, false);
    if (m_detailed)
        r.AdvanceLine();
    r.UseBold(false);
    m_slipCells.set(r);
}

void SlipAnalysis::groupTotal(report::TBaseReport &r, const SlipSums &sums)
{
    if (m_detailed) {
        // The rule on this line, the sums on the next and a blank line after them.
        if (r.LinesRemaining() < 3) {
            r.StartNextPage();
            m_slipCells.set(r);
        }
        r.PenMoveTo(kTotalRuleLeft, r.CursorY());
        r.PenLineTo(kAreaRight, r.CursorY());
        r.AdvanceLine();
    }
    r.UseBold(true);
    const std::array<std::string, 11> texts = { "", "", "", "", "", m_detailed ? totalLabel() : "",
        "", hoursText(sums.hours), "", moneyText(sums.tax.toDouble()),
        moneyText(sums.total.toDouble()) };
    m_slipCells.emitRow(r, texts, 1u << kTypeCell, true);
    if (m_detailed)
        r.AdvanceLine();
    r.UseBold(false);
    if (r.LinesRemaining() <= 1)
        r.StartNextPage();
}

void SlipAnalysis::reportTotals(report::TBaseReport &r, const SlipSums &sums)
{
    // A blank line, the rule, the sums, a blank line: the sums stand three lines down.
    if (r.LinesRemaining() < 3)
        r.StartNextPage();
    m_slipCells.set(r);
    r.AdvanceLine();
    rule(r, r.CursorY(), kTotalRuleLeft, kAreaRight);
    r.AdvanceLine();
    r.UseFont(m_context.texts.font, 10);
    r.UseBold(true);
    const std::array<std::string, 11> texts = { "", "", "", "", "", "Report Totals:", "",
        hoursText(sums.hours), "", moneyText(sums.tax.toDouble()),
        moneyText(sums.total.toDouble()) };
    m_slipCells.emitRow(r, texts, 1u << kTypeCell, true);
    r.AdvanceLine();
    r.UseBold(false);
}

void SlipAnalysis::print(report::TBaseReport &r)
{
    if (!m_found)
        return;
    SlipSums report;
    m_slipCells.set(r);
    const auto slipRow = [&](const SlipLine &s) {
        if (!m_detailed)
            return;
        m_slipCells.emitRow(r, rowTexts(s), 0, true);
        if (r.LinesRemaining() <= 1)
            r.StartNextPage();
    };
    if (m_grouping == Grouping::None) {
        for (bool on = m_slips->firstOfAll(); on; on = m_slips->next()) {
            report.add(m_slips->slip());
            slipRow(m_slips->slip());
        }
    } else {
        for (bool more = m_walk->first(); more; more = m_walk->next()) {
            const GroupTexts g = groupTexts();
            if (!m_slips->first(g.key))
                continue;
            groupLine(r, g);
            SlipSums group;
            do {
                group.add(m_slips->slip());
                slipRow(m_slips->slip());
            } while (m_slips->next());
            groupTotal(r, group);
            report += group;
        }
    }
    reportTotals(r, report);
}

bool SlipAnalysis::writeCsv(std::ostream &out)
{
    CsvWriter csv(out);
    std::vector<std::string> titles;
    if (m_grouping != Grouping::None)
        titles = groupTitles();
    if (m_detailed)
        titles.insert(titles.end(), kSlipTitles.begin(), kSlipTitles.end());
    else
        titles.insert(titles.end(), { "Hours", "Tax", "Total" });
    csv.writeRow(titles);
    if (!m_found)
        return true;
    const auto slipFields = [](const SlipLine &s) {
        return std::vector<std::string>{ std::to_string(s.number), isoDate(s.date),
            utf8(s.activity), utf8(s.project), utf8(s.staff), s.type(), s.status(),
            hoursPlain(s.hours), s.rate.toPlainString(), s.tax.toPlainString(),
            s.lineTotal().toPlainString() };
    };
    if (m_grouping == Grouping::None) {
        for (bool on = m_slips->firstOfAll(); on; on = m_slips->next())
            csv.writeRow(slipFields(m_slips->slip()));
        return true;
    }
    for (bool more = m_walk->first(); more; more = m_walk->next()) {
        const GroupTexts g = groupTexts();
        if (!m_slips->first(g.key))
            continue;
        SlipSums group;
        do {
            group.add(m_slips->slip());
            if (m_detailed) {
                std::vector<std::string> row{ utf8(g.code), utf8(g.name) };
                const std::vector<std::string> fields = slipFields(m_slips->slip());
                row.insert(row.end(), fields.begin(), fields.end());
                csv.writeRow(row);
            }
        } while (m_slips->next());
        if (!m_detailed)
            csv.writeRow({ utf8(g.code), utf8(g.name), hoursPlain(group.hours),
                group.tax.toPlainString(), group.total.toPlainString() });
    }
    return true;
}

// ---- Activity Totals -------------------------------------------------------------------------

bool ActivityTotals::position()
{
    m_slips = std::make_unique<SlipReader>(
        m_context.data.slips, m_context.rules, QStringLiteral("SL_ActOnly"));
    m_walk.emplace(activityWalk(m_context.data.activities, m_context.rules));
    m_found = m_walk->first();
    m_reportTotal = Cents();
    return m_found;
}

Cents ActivityTotals::activitySum()
{
    Cents sum;
    const QString code = m_context.data.activities.text(QStringLiteral("ACTIVITY"));
    for (bool on = m_slips->first(code); on; on = m_slips->next())
        sum += m_slips->slip().total;
    return sum;
}

bool ActivityTotals::printPage(report::TBaseReport &r)
{
    if (!m_found)
        return false;
    const CellRow cells(kTotalsColumns);
    columnHeadingBlock(r, m_context.texts.font, kTotalsColumns, "\tActivity\tDescription\tTotal");
    const ui::Dataset &a = m_context.data.activities;
    while (!m_walk->finished() && r.LinesRemaining() > 0) {
        const Cents sum = activitySum();
        if (sum.isPositive()) {
            cells.emitRow(r,
                std::array<std::string, 3>{
                    text(a, "ACTIVITY"), text(a, "DESC"), moneyText(sum.toDouble()) },
                0, true);
            m_reportTotal += sum;
        }
        m_walk->next();
    }
    // The rule on the current line and the total on the next: both on this page, or both on
    // the next one.
    if (!m_walk->finished() || r.LinesRemaining() < 2)
        return true;
    r.PenMoveTo(3.5, r.CursorY());
    r.PenLineTo(5.0, r.CursorY());
    r.AdvanceLine();
    r.UseFont(m_context.texts.font, 10);
    r.UseBold(true);
    cells.emitRow(r,
        std::array<std::string, 3>{ "", "Report Totals:", moneyText(m_reportTotal.toDouble()) },
        1u << 1, true);
    return false;
}

bool ActivityTotals::writeCsv(std::ostream &out)
{
    CsvWriter csv(out);
    csv.writeRow({ "Activity", "Description", "Total" });
    if (!m_found)
        return true;
    const ui::Dataset &a = m_context.data.activities;
    for (bool more = m_walk->first(); more; more = m_walk->next()) {
        const Cents sum = activitySum();
        if (sum.isPositive())
            csv.writeRow({ utf8(text(a, "ACTIVITY")), utf8(text(a, "DESC")), sum.toPlainString() });
    }
    return true;
}

} // namespace reports
