#include "reports/receivables_reports.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "reports/csv_writer.h"
#include "reports/report_format.h"
#include "ui/data_cursor.h"
#include "ui/dataset.h"

namespace reports {

using report::JustifyCenter;
using report::JustifyLeft;
using report::JustifyRight;

namespace {

constexpr double kCellMargin = 0.02;
// A client's sums print only when one of them is above this in absolute value.
constexpr Cents kPrintLimit = Cents::fromCents(5);

// Aged receivables: the client line, the statement line (whose last four cells take the
// sums), the summary line (the phone cut where the Current cell begins) and the report totals.
constexpr std::array<Column, 2> kClientCells = { { { JustifyLeft, 2.0 }, { JustifyLeft, 1.5 } } };
constexpr std::array<Column, 7> kStatementCells = { { { JustifyLeft, 1.0 }, { JustifyLeft, 1.0 },
    { JustifyLeft, 0.9 }, { JustifyRight, 1.1 }, { JustifyRight, 1.1 }, { JustifyRight, 1.1 },
    { JustifyRight, 1.1 } } };
constexpr std::array<Column, 6> kSummaryCells = { { { JustifyLeft, 2.0 }, { JustifyLeft, 0.9 },
    { JustifyRight, 1.1 }, { JustifyRight, 1.1 }, { JustifyRight, 1.1 }, { JustifyRight, 1.1 } } };
constexpr std::array<Column, 7> kAgedTotalCells = { { { JustifyLeft, 1.0 }, { JustifyCenter, 1.0 },
    { JustifyCenter, 1.0 }, { JustifyRight, 1.1 }, { JustifyRight, 1.1 }, { JustifyRight, 1.1 },
    { JustifyRight, 1.1 } } };

std::size_t fieldOf(const ui::DataCursor &c, const char *name)
{
    const auto index = c.layout().indexOf(name);
    if (!index)
        throw std::runtime_error(std::string("the table has no field ") + name);
    return *index;
}

Cents centsOf(const ui::DataCursor &c, std::size_t field)
{
    return Cents::fromDouble(c.value(field).toDouble());
}

std::string textOf(const ui::DataCursor &c, std::size_t field)
{
    return latin1(c.value(field).toString());
}

std::string plainText(const ui::DataCursor &c, std::size_t field)
{
    return c.value(field).toString().toStdString();
}

std::optional<DayNumber> dayOf(const QDate &d)
{
    if (!d.isValid())
        return std::nullopt;
    return d.toJulianDay();
}

// A statement or payment number as printed: a whole number.
std::string wholeNumber(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
}

std::string money(Cents c)
{
    return moneyText(c.toDouble());
}

std::string heading(const std::vector<std::string> &titles)
{
    std::string h;
    for (const std::string &t : titles)
        h += "\t" + t;
    return h;
}

ClientFacts clientFacts(const ui::Dataset &clients)
{
    return { clients.text(QStringLiteral("NUMBER")),
        latin1(clients.text(QStringLiteral("NAME")).trimmed()),
        latin1(clients.text(QStringLiteral("PHONE")).trimmed()) };
}

std::string plainName(const ui::Dataset &clients)
{
    return clients.text(QStringLiteral("NAME")).trimmed().toStdString();
}

void clientRange(ui::DataCursor &reader, const QString &number)
{
    const QVariantList key{ number };
    reader.setRange(key, key);
}

// The line at the cursor's baseline with the current pen, then the next line.
void lineAcross(report::TBaseReport &r, double x1, double x2)
{
    r.PenMoveTo(x1, r.CursorY());
    r.PenLineTo(x2, r.CursorY());
    r.AdvanceLine();
}

// Whether `lines` fit on the page; when nothing has been printed since the page's headings
// (`linesAtTop` still remain), whatever is next prints there, so a run always moves on.
bool fits(report::TBaseReport &r, int lines, int linesAtTop)
{
    const int left = r.LinesRemaining();
    return left >= lines || left == linesAtTop;
}

} // namespace

void emitCells(report::TBaseReport &r, std::span<const Column> columns,
    const std::vector<RowCell> &cells, bool endLine, const std::string &lead,
    const std::string &keep)
{
    std::vector<double> starts(columns.size());
    double x = kAreaLeft;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        starts[i] = x;
        x += columns[i].width;
    }
    const double end = x;
    const std::size_t n = std::min(cells.size(), columns.size());
    // The start of the first cell after `i` that prints text, or the end of the last cell.
    const auto nextText = [&](std::size_t i) {
        for (std::size_t j = i; j < n; ++j)
            if (!cells[j].text.empty())
                return starts[j];
        return end;
    };
    if (!lead.empty()) {
        const double room = nextText(0) - kAreaLeft - kCellMargin;
        const std::string head = lead.substr(0, lead.size() - keep.size());
        r.EmitText(clipToWidth(r, head, room - r.TextWidth(keep)) + keep);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const RowCell &c = cells[i];
        r.UseBold(c.bold);
        std::string text = c.text;
        if (!text.empty() && !c.whole) {
            const double room = columns[i].justify == JustifyLeft
                ? nextText(i + 1) - starts[i] - kCellMargin
                : columns[i].width - 2 * kCellMargin;
            text = clipToWidth(r, text, room);
        }
        r.EmitText("\t" + text);
    }
    if (endLine)
        r.AdvanceLine();
}

// ---- Aged receivables ------------------------------------------------------------------------

bool AgedReceivables::position()
{
    m_statements = m_context.data.invoices.cursor()->reader();
    m_statements->setTag(QStringLiteral("INV_CLIENT"));
    m_walk.emplace(clientWalk(m_context.data.clients, m_context.rules));
    m_found = m_walk->first();
    m_started = false;
    return m_found;
}

std::optional<AgedReceivables::ClientAging> AgedReceivables::nextClient()
{
    const QDate today = QDate::fromJulianDay(m_context.today);
    ui::DataCursor &s = *m_statements;
    const std::size_t number = fieldOf(s, "INV_NUMBER"), date = fieldOf(s, "INV_DATE"),
                      due = fieldOf(s, "INV_DUE"), total = fieldOf(s, "INV_TOTAL"),
                      paid = fieldOf(s, "INV_PAID");
    for (;;) {
        const bool on = m_started ? m_walk->next() : !m_walk->finished();
        m_started = true;
        if (!on)
            return std::nullopt;
        ClientAging c;
        c.client = clientFacts(m_context.data.clients);
        clientRange(s, c.client.number);
        for (bool more = s.first(); more; more = s.next()) {
            const QDate dueDate = s.value(due).toDate();
            const billing::Aging aging =
                billing::ageStatement(centsOf(s, total), centsOf(s, paid), dueDate, today);
            if (!aging.hasBalance())
                continue;
            c.statements.push_back(
                { s.value(number).toDouble(), s.value(date).toDate(), dueDate, aging });
            c.sums += aging;
        }
        if (!c.statements.empty())
            return c;
    }
}

void AgedReceivables::printHeading(report::TBaseReport &r)
{
    const std::string &font = m_context.texts.font;
    r.UseFont(font, 14);
    r.MoveCursor(kAreaLeft, 1.13);
    r.EmitRightAt("Age figured as of " + dateText(QDate::fromJulianDay(m_context.today)), 7.95);
    r.SetMarginTop(1.3);
    r.UseFont(font, 14);
    r.UseBold(true);
    r.CursorHome();
    addColumns(r, kClientCells);
    r.EmitLine("\tClient\tPhone");
    addColumns(r, kStatementCells);
    r.EmitLine("\tInvoice No.\tTran. Date\tDue Date\tCurrent\tOver 30\tOver 60\tTotal");
    r.ClearTabStops();
    rule(r, 1.8, kAreaLeft, kAreaRight);
    r.UseBold(false);
    r.UseFont(font, 10);
}

void AgedReceivables::nameLine(report::TBaseReport &r, const ClientFacts &c, bool advance)
{
    addColumns(r, kClientCells);
    emitCells(r, kClientCells, { { c.name, true }, { c.phone, false } }, advance);
}

void AgedReceivables::print(report::TBaseReport &r)
{
    if (!m_found)
        return;
    const bool detailed = m_context.options.detailed;
    int atTop = r.LinesRemaining();
    const auto breakUnless = [&](int lines, const ClientFacts *repeat) {
        if (fits(r, lines, atTop))
            return;
        r.StartNextPage();
        atTop = r.LinesRemaining();
        if (repeat)
            nameLine(r, *repeat, true);
    };
    billing::Aging report;
    while (std::optional<ClientAging> c = nextClient()) {
        report += c->sums;
        const bool shown = c->sums.anyAbove(kPrintLimit);
        const billing::Aging &s = c->sums;
        if (detailed) {
            breakUnless(2, nullptr);
            nameLine(r, c->client, true);
            addColumns(r, kStatementCells);
            for (const Statement &st : c->statements) {
                if (!fits(r, 1, atTop)) {
                    breakUnless(1, &c->client);
                    addColumns(r, kStatementCells);
                }
                const billing::Aging &a = st.aging;
                emitCells(r, kStatementCells,
                    { { wholeNumber(st.number) }, { dateText(st.date) }, { dateText(st.due) },
                        { money(a.current) }, { money(a.over30) }, { money(a.over60) }, {} },
                    true);
            }
            if (shown) {
                if (!fits(r, 2, atTop)) {
                    breakUnless(2, &c->client);
                    addColumns(r, kStatementCells);
                }
                lineAcross(r, 3.75, kAreaRight);
                emitCells(r, kStatementCells,
                    { {}, {}, {}, { money(s.current), true }, { money(s.over30), true },
                        { money(s.over60), true }, { money(s.total()), true } },
                    true);
                r.AdvanceLine();
                r.UseBold(false);
            }
        } else if (shown) {
            // One line: the name and the four sums bold, the phone plain; then a blank line.
            breakUnless(1, nullptr);
            addColumns(r, kSummaryCells);
            emitCells(r, kSummaryCells,
                { { c->client.name, true }, { c->client.phone, false }, { money(s.current), true },
                    { money(s.over30), true }, { money(s.over60), true },
                    { money(s.total()), true } },
                true);
            r.AdvanceLine();
            r.UseBold(false);
        }
    }
    // The report totals: a blank line, the rule, the totals.
    breakUnless(3, nullptr);
    addColumns(r, kAgedTotalCells);
    r.AdvanceLine();
    rule(r, r.CursorY(), 3.75, kAreaRight);
    r.AdvanceLine();
    r.UseFont(m_context.texts.font, 10);
    emitCells(r, kAgedTotalCells,
        { {}, { "Report Totals:", true, true }, {}, { money(report.current), true },
            { money(report.over30), true }, { money(report.over60), true },
            { money(report.total()), true } },
        true);
    r.AdvanceLine();
    r.UseBold(false);
}

bool AgedReceivables::writeCsv(std::ostream &out)
{
    if (!m_context.options.detailed)
        return false;
    CsvWriter csv(out);
    csv.writeRow({ "Client", "Phone", "Invoice No.", "Tran. Date", "Due Date", "Current", "Over 30",
        "Over 60", "Total" });
    if (!m_found)
        return true;
    while (std::optional<ClientAging> c = nextClient()) {
        const std::string name = plainName(m_context.data.clients);
        const std::string phone =
            m_context.data.clients.text(QStringLiteral("PHONE")).trimmed().toStdString();
        for (const Statement &st : c->statements) {
            const billing::Aging &a = st.aging;
            csv.writeRow({ name, phone, wholeNumber(st.number), isoDate(st.date), isoDate(st.due),
                a.current.toPlainString(), a.over30.toPlainString(), a.over60.toPlainString(),
                a.total().toPlainString() });
        }
    }
    return true;
}

// ---- Invoice and payment reports -------------------------------------------------------------

bool ClientGroupReport::position()
{
    m_reader = rowReader();
    m_walk.emplace(clientWalk(m_context.data.clients, m_context.rules));
    m_found = m_walk->first();
    m_walkStarted = false;
    m_stage = Stage::Group;
    m_reportSums.clear();
    return m_found;
}

bool ClientGroupReport::loadGroup()
{
    m_rows.clear();
    m_next = 0;
    m_groupSums.clear();
    for (;;) {
        const bool on = m_walkStarted ? m_walk->next() : !m_walk->finished();
        m_walkStarted = true;
        if (!on)
            return false;
        m_client = clientFacts(m_context.data.clients);
        clientRange(*m_reader, m_client.number);
        for (bool more = m_reader->first(); more; more = m_reader->next())
            if (std::optional<Row> r = row(*m_reader))
                m_rows.push_back(std::move(*r));
        if (!m_rows.empty())
            return true;
    }
}

void ClientGroupReport::addTo(std::vector<Cents> &sums, const std::vector<Cents> &amounts)
{
    sums.resize(std::max(sums.size(), amounts.size()));
    for (std::size_t i = 0; i < amounts.size(); ++i)
        sums[i] += amounts[i];
}

void ClientGroupReport::groupLine(report::TBaseReport &r)
{
    r.UseBold(true);
    r.EmitLine(clipToWidth(r, m_client.name, kAreaRight - kAreaLeft));
    r.UseBold(false);
}

void ClientGroupReport::totalLine(
    report::TBaseReport &r, const std::vector<Cents> &sums, bool report)
{
    const auto [x1, x2] = totalRule();
    lineAcross(r, x1, x2);
    r.UseFont(m_context.texts.font, 10);
    r.UseBold(true);
    std::vector<RowCell> cells = totalCells(sums, report);
    for (RowCell &c : cells)
        c.bold = true;
    if (report)
        emitCells(r, columns(), cells, true);
    else
        emitCells(r, columns(), cells, true, m_client.name + " Total:", " Total:");
    r.UseBold(false);
}

bool ClientGroupReport::printPage(report::TBaseReport &r)
{
    if (!m_found)
        return false;
    columnHeadingBlock(r, m_context.texts.font, columns(), heading(titles()));
    const int atTop = r.LinesRemaining();
    // A group the last page broke begins this one with its group line again.
    if (m_stage == Stage::Rows || m_stage == Stage::GroupTotal)
        groupLine(r);
    for (;;) {
        switch (m_stage) {
        case Stage::Group:
            m_stage = loadGroup() ? Stage::GroupLine : Stage::ReportTotal;
            break;
        case Stage::GroupLine: // the group line and its first row
            if (!fits(r, 2, atTop))
                return true;
            groupLine(r);
            m_stage = Stage::Rows;
            break;
        case Stage::Rows:
            for (; m_next < m_rows.size(); ++m_next) {
                if (!fits(r, 1, atTop))
                    return true;
                emitCells(r, columns(), m_rows[m_next].cells, true);
                addTo(m_groupSums, m_rows[m_next].amounts);
            }
            m_stage = Stage::GroupTotal;
            break;
        case Stage::GroupTotal: // the rule's line and the total line
            if (!fits(r, 2, atTop))
                return true;
            totalLine(r, m_groupSums, false);
            addTo(m_reportSums, m_groupSums);
            r.AdvanceLine();
            m_stage = Stage::Group;
            break;
        case Stage::ReportTotal:
            if (!fits(r, 2, atTop))
                return true;
            totalLine(r, m_reportSums, true);
            m_stage = Stage::Done;
            return false;
        case Stage::Done:
            return false;
        }
    }
}

bool ClientGroupReport::writeCsv(std::ostream &out)
{
    CsvWriter csv(out);
    std::vector<std::string> titleRow{ "Client" };
    for (const std::string &t : titles())
        titleRow.push_back(t);
    csv.writeRow(titleRow);
    if (!m_found)
        return true;
    while (loadGroup()) {
        const std::string name = plainName(m_context.data.clients);
        for (const Row &row : m_rows) {
            std::vector<std::string> fields{ name };
            fields.insert(fields.end(), row.plain.begin(), row.plain.end());
            csv.writeRow(fields);
        }
    }
    return true;
}

std::span<const Column> InvoiceReport::columns() const
{
    static constexpr std::array<Column, 6> kCells = { { { JustifyRight, 1.2 }, { JustifyLeft, 1.2 },
        { JustifyRight, 1.2 }, { JustifyRight, 1.2 }, { JustifyLeft, 1.2 },
        { JustifyRight, 1.2 } } };
    return kCells;
}

std::vector<std::string> InvoiceReport::titles() const
{
    return { "Inv. No.", "Inv. Date", "Inv. Amount", "Tax Amount", "Due Date", "Amount Paid" };
}

std::unique_ptr<ui::DataCursor> InvoiceReport::rowReader() const
{
    auto reader = m_context.data.invoices.cursor()->reader();
    reader->setTag(QStringLiteral("INV_CLIENT"));
    return reader;
}

std::optional<ClientGroupReport::Row> InvoiceReport::row(const ui::DataCursor &s) const
{
    const QDate date = s.value(fieldOf(s, "INV_DATE")).toDate();
    if (!m_context.rules.withinDateRange(dayOf(date)))
        return std::nullopt;
    const double number = s.value(fieldOf(s, "INV_NUMBER")).toDouble();
    const QDate due = s.value(fieldOf(s, "INV_DUE")).toDate();
    const Cents total = centsOf(s, fieldOf(s, "INV_TOTAL"));
    const Cents tax = centsOf(s, fieldOf(s, "INV_TAXAMT"));
    const Cents paid = centsOf(s, fieldOf(s, "INV_PAID"));
    return Row{ { { wholeNumber(number) }, { dateText(date) }, { money(total) }, { money(tax) },
                    { dateText(due) }, { money(paid) } },
        { wholeNumber(number), isoDate(date), total.toPlainString(), tax.toPlainString(),
            isoDate(due), paid.toPlainString() },
        { total, tax, paid } };
}

std::vector<RowCell> InvoiceReport::totalCells(const std::vector<Cents> &sums, bool report) const
{
    const auto sum = [&](std::size_t i) { return money(i < sums.size() ? sums[i] : Cents()); };
    return { {}, report ? RowCell{ "Report Totals:", true, true } : RowCell{}, { sum(0) },
        { sum(1) }, {}, { sum(2) } };
}

std::span<const Column> PaymentReport::columns() const
{
    static constexpr std::array<Column, 5> kCells = { { { JustifyLeft, 1.0 }, { JustifyLeft, 1.0 },
        { JustifyLeft, 2.4 }, { JustifyLeft, 1.2 }, { JustifyRight, 1.2 } } };
    return kCells;
}

std::vector<std::string> PaymentReport::titles() const
{
    return { "Tran. No.", "Date", "Description", "Invoice No.", "Payment Amt." };
}

std::unique_ptr<ui::DataCursor> PaymentReport::rowReader() const
{
    auto reader = m_context.data.payments.cursor()->reader();
    reader->setTag(QStringLiteral("PMT_CLIENT"));
    return reader;
}

std::optional<ClientGroupReport::Row> PaymentReport::row(const ui::DataCursor &p) const
{
    const QDate date = p.value(fieldOf(p, "PMT_DATE")).toDate();
    if (!m_context.rules.withinDateRange(dayOf(date)))
        return std::nullopt;
    const std::size_t check = fieldOf(p, "PMT_CHECK"), desc = fieldOf(p, "PMT_DESC");
    const std::string invoice = wholeNumber(p.value(fieldOf(p, "PMT_INVOIC")).toDouble());
    const Cents amount = centsOf(p, fieldOf(p, "PMT_AMOUNT"));
    return Row{ { { textOf(p, check) }, { dateText(date) }, { textOf(p, desc) }, { invoice },
                    { money(amount) } },
        { plainText(p, check), isoDate(date), plainText(p, desc), invoice, amount.toPlainString() },
        { amount } };
}

std::vector<RowCell> PaymentReport::totalCells(const std::vector<Cents> &sums, bool report) const
{
    return { {}, report ? RowCell{ "Report Totals:", true, true } : RowCell{}, {}, {},
        { money(sums.empty() ? Cents() : sums[0]) } };
}

// ---- Sales tax report ------------------------------------------------------------------------

namespace {

constexpr std::array<Column, 4> kSalesTaxCells = { { { JustifyRight, 1.2 }, { JustifyRight, 1.2 },
    { JustifyRight, 1.2 }, { JustifyRight, 1.6 } } };

} // namespace

bool SalesTaxReport::position()
{
    const auto s = m_context.data.slips.cursor()->reader();
    s->setTag(QStringLiteral("SL_NUMBER"));
    const std::size_t dateBeg = fieldOf(*s, "SL_DATEBEG"), dateEnd = fieldOf(*s, "SL_DATEEND"),
                      act = fieldOf(*s, "SL_ACT"), employ = fieldOf(*s, "SL_EMPLOY"),
                      project = fieldOf(*s, "SL_PROJECT"), billed = fieldOf(*s, "SL_BILLED"),
                      done = fieldOf(*s, "SL_DONE"), expense = fieldOf(*s, "SL_EXPAMT"),
                      taxable = fieldOf(*s, "SL_TAXABLE"), taxAmount = fieldOf(*s, "SL_TAXAMT"),
                      total = fieldOf(*s, "SL_TOTAL");
    m_sums = {};
    m_found = false;
    SlipFacts f;
    for (bool on = s->first(); on; on = s->next()) {
        f.dateBegin = dayOf(s->value(dateBeg).toDate());
        f.dateEnd = dayOf(s->value(dateEnd).toDate());
        f.activity = textOf(*s, act);
        f.staff = textOf(*s, employ);
        f.project = textOf(*s, project);
        f.billed = int(s->value(billed).toDouble());
        f.done = int(s->value(done).toDouble());
        f.expenseAmount = s->value(expense).toDouble();
        if (!m_context.rules.qualifiesSlip(f))
            continue;
        m_found = true;
        // A slip counts as taxable only when it is marked taxable and carries tax.
        const Cents tax =
            s->value(taxable).toString() == QLatin1String("Y") ? centsOf(*s, taxAmount) : Cents();
        const Cents amount = centsOf(*s, total);
        m_sums.tax += tax;
        m_sums.total += amount;
        (tax.isPositive() ? m_sums.taxable : m_sums.nonTaxable) += amount;
    }
    return m_found;
}

bool SalesTaxReport::printPage(report::TBaseReport &r)
{
    if (!m_found)
        return false;
    columnHeadingBlock(r, m_context.texts.font, kSalesTaxCells,
        "\tTax Amount\tTotal Sales\tTaxable Sales\tNon-Taxable Sales");
    emitCells(r, kSalesTaxCells,
        { { money(m_sums.tax) }, { money(m_sums.total) }, { money(m_sums.taxable) },
            { money(m_sums.nonTaxable) } },
        true);
    return false;
}

bool SalesTaxReport::writeCsv(std::ostream &out)
{
    CsvWriter csv(out);
    csv.writeRow({ "Tax Amount", "Total Sales", "Taxable Sales", "Non-Taxable Sales" });
    csv.writeRow({ m_sums.tax.toPlainString(), m_sums.total.toPlainString(),
        m_sums.taxable.toPlainString(), m_sums.nonTaxable.toPlainString() });
    return true;
}

} // namespace reports
