#include "billing/billing_rules.h"

#include <algorithm>
#include <chrono>

#include "platform/clock.h"
#include "ui/counter_taker.h"
#include "ui/data_cursor.h"
#include "ui/dataset.h"
#include "ui/date_text.h"

namespace billing {

namespace {

// A blank date box, a from box left blank or a to box left blank, reaches this far (ten years).
constexpr int kBlankDateReach = 3650;
// Terms read as more days than this are taken as this many: a due date stays a real date.
constexpr int kMostDueDays = 99999;

QDate toQDate(const std::chrono::year_month_day &d)
{
    return QDate(int(d.year()), int(unsigned(d.month())), int(unsigned(d.day())));
}

// The masked box shows "  /  /  " when nothing was typed.
bool isBlankDateBox(const QString &text)
{
    for (QChar c : text)
        if (c != u' ' && c != u'/')
            return false;
    return true;
}

// One date box: nullopt (and the message) for a date that is incomplete or impossible.
std::optional<QDate> readDateBox(const QString &text, const QDate &blank, QString *error)
{
    if (isBlankDateBox(text))
        return blank;
    const ui::DateText::Parsed parsed = ui::DateText::parse(text);
    if (parsed.status != ui::DateText::Status::Valid) {
        if (error)
            *error = QStringLiteral("%1 is not a valid date.").arg(text.trimmed());
        return std::nullopt;
    }
    return parsed.date;
}

// Whether the dataset stands on a record. (Dataset::isEmpty() counts the rows: too slow per slip.)
bool onRecord(const ui::Dataset &d)
{
    return d.bookmark().isValid();
}

QString clientNumberOf(const ui::Dataset &clients)
{
    return clients.text(QStringLiteral("NUMBER"));
}

} // namespace

std::optional<SlipDates> resolveSlipDates(
    const QString &fromText, const QString &toText, const platform::Clock &clock, QString *error)
{
    const QDate today = toQDate(clock.today());
    const auto from = readDateBox(fromText, today.addDays(-kBlankDateReach), error);
    if (!from)
        return std::nullopt;
    const auto to = readDateBox(toText, today.addDays(kBlankDateReach), error);
    if (!to)
        return std::nullopt;
    return SlipDates{ *from, *to, !isBlankDateBox(toText) };
}

int dueDays(const QString &terms)
{
    const QString t = terms.trimmed();
    qsizetype start = t.size();
    while (start > 0 && t.at(start - 1).isDigit() && t.at(start - 1).unicode() < 128)
        --start;
    std::int64_t days = 0;
    for (qsizetype i = start; i < t.size(); ++i) {
        days = days * 10 + (t.at(i).unicode() - u'0');
        if (days > kMostDueDays)
            return kMostDueDays;
    }
    return int(days);
}

QDate dueDate(const QDate &runDate, const QString &terms)
{
    return runDate.addDays(dueDays(terms));
}

Cents PrintedStatement::subtotal() const
{
    Cents sum;
    for (const PrintedSlip &s : slips)
        sum += s.total;
    return sum;
}

Cents PrintedStatement::tax() const
{
    Cents sum;
    for (const PrintedSlip &s : slips)
        if (s.taxable)
            sum += s.taxAmount;
    return sum;
}

std::int64_t BillingPlan::highestNumber() const
{
    std::int64_t highest = 0;
    for (const PrintedStatement &s : statements)
        highest = std::max(highest, s.invoiceNumber);
    return highest;
}

// --- Selection -------------------------------------------------------------------------------

Selection::Selection(const RunParameters &parameters, ui::Dataset &clients, ui::Dataset &slips,
    ui::Dataset &invoices)
    : m_parameters(parameters)
    , m_clients(clients)
    , m_slips(slips)
    , m_invoices(invoices)
{
}

Selection::~Selection() = default;

bool Selection::isBillable(const QString &clientNumber) const
{
    if (!onRecord(m_slips))
        return false;
    if (m_slips.text(QStringLiteral("SL_CLIENT")) != clientNumber)
        return false;
    if (m_slips.value(QStringLiteral("SL_BILLED")).toDouble() != 0)
        return false;
    if (m_slips.value(QStringLiteral("SL_DONE")).toDouble() != 1)
        return false;
    const QDate date = m_slips.value(QStringLiteral("SL_DATEBEG")).toDate();
    return date.isValid() && date >= m_parameters.dateFrom && date <= m_parameters.dateTo;
}

bool Selection::inCycle() const
{
    const double cycle = m_clients.value(QStringLiteral("CYCLE")).toDouble();
    return cycle >= m_parameters.lowCycle && cycle <= m_parameters.highCycle;
}

Cents Selection::previousBalance(const QString &clientNumber)
{
    if (!m_invoiceReader) {
        m_invoiceReader = m_invoices.cursor()->reader();
        m_invoiceReader->setTag(QStringLiteral("INV_CLIENT"));
        m_invoiceTotal = m_invoices.fieldIndex(QStringLiteral("INV_TOTAL"));
        m_invoicePaid = m_invoices.fieldIndex(QStringLiteral("INV_PAID"));
    }
    ui::DataCursor &r = *m_invoiceReader;
    r.setRange({ clientNumber }, { clientNumber });
    Cents balance;
    if (!r.first())
        return balance;
    do {
        balance += Cents::fromDouble(r.value(std::size_t(m_invoiceTotal)).toDouble());
        balance -= Cents::fromDouble(r.value(std::size_t(m_invoicePaid)).toDouble());
    } while (r.next());
    return balance;
}

void Selection::seekFirstSlip(const QString &clientNumber)
{
    if (m_slips.hasRange())
        m_slips.cancelRange();
    m_slips.findNearest({ clientNumber });
}

Qualification Selection::qualify()
{
    Qualification q;
    const QString number = clientNumberOf(m_clients);
    seekFirstSlip(number);
    while (!m_slips.eof() && onRecord(m_slips)
        && m_slips.text(QStringLiteral("SL_CLIENT")) == number) {
        if (isBillable(number)) {
            q.sawBillable = true;
            q.billable += Cents::fromDouble(m_slips.value(QStringLiteral("SL_TOTAL")).toDouble());
        }
        m_slips.next();
    }
    if (m_parameters.printPreviousBalance)
        q.previousBalance = previousBalance(number);
    if (m_parameters.previousBalanceOnly)
        q.qualifies = q.previousBalance.isPositive();
    else
        q.qualifies = q.sawBillable
            && q.previousBalance + q.billable
                >= Cents::fromCents(std::int64_t(m_parameters.minimumBill) * 100);
    return q;
}

PrintedSlip Selection::printedSlip() const
{
    PrintedSlip s;
    s.recNo = m_slips.bookmark().recNo;
    s.number = m_slips.value(QStringLiteral("SL_NUMBER")).toDouble();
    s.total = Cents::fromDouble(m_slips.value(QStringLiteral("SL_TOTAL")).toDouble());
    s.taxAmount = Cents::fromDouble(m_slips.value(QStringLiteral("SL_TAXAMT")).toDouble());
    s.taxable = m_slips.text(QStringLiteral("SL_TAXABLE")) == QLatin1String("Y");
    s.hours = m_slips.value(QStringLiteral("SL_HOURS")).toDouble();
    s.project = m_slips.text(QStringLiteral("SL_PROJECT")).trimmed();
    s.date = m_slips.value(QStringLiteral("SL_DATEBEG")).toDate();
    return s;
}

// --- ClientWalk ------------------------------------------------------------------------------

ClientWalk::ClientWalk(const RunParameters &parameters, ui::Dataset &clients)
    : m_parameters(parameters)
    , m_clients(clients)
{
}

bool ClientWalk::inRange() const
{
    if (!onRecord(m_clients))
        return false;
    QString name = m_clients.text(QStringLiteral("NAME"));
    while (name.endsWith(u' '))
        name.chop(1);
    return name <= m_parameters.endName;
}

bool ClientWalk::first()
{
    if (m_clients.tag().compare(QLatin1String("NAME"), Qt::CaseInsensitive) != 0)
        m_clients.setTag(QStringLiteral("NAME"));
    if (m_clients.hasRange())
        m_clients.cancelRange();
    if (m_parameters.beginName.isEmpty())
        m_clients.first();
    else
        m_clients.findNearest({ m_parameters.beginName });
    if (!onRecord(m_clients))
        return false;
    // findNearest stays on the last client when every name is below the begin name.
    QString name = m_clients.text(QStringLiteral("NAME"));
    if (name < m_parameters.beginName)
        return false;
    return inRange();
}

bool ClientWalk::next()
{
    m_clients.next();
    if (m_clients.eof())
        return false;
    return inRange();
}

// --- Numbers ---------------------------------------------------------------------------------

std::int64_t highestInvoiceNumber(const ui::Dataset &invoices)
{
    return std::int64_t(
        ui::highestOnFile(invoices, QStringLiteral("INV_NUMBER"), QStringLiteral("INV_NUMBER")));
}

std::int64_t firstStatementNumber(ui::Dataset &track, ui::Dataset &invoices)
{
    std::int64_t next = 1;
    if (onRecord(track)) {
        const QVariant stored = track.value(QStringLiteral("NEXTINV"));
        if (!stored.isNull())
            next = std::int64_t(stored.toDouble());
    }
    return std::max({ next, std::int64_t(1), highestInvoiceNumber(invoices) + 1 });
}

// --- The plan of a run -----------------------------------------------------------------------

BillingPlan planRun(const RunParameters &parameters, const QDate &runDate, ui::Dataset &clients,
    ui::Dataset &slips, ui::Dataset &invoices, ui::Dataset &track)
{
    BillingPlan plan;
    plan.parameters = parameters;
    plan.runDate = runDate;
    std::int64_t number = firstStatementNumber(track, invoices);
    Selection selection(parameters, clients, slips, invoices);
    ClientWalk walk(parameters, clients);
    for (bool more = walk.first(); more; more = walk.next()) {
        if (!selection.inCycle())
            continue;
        const Qualification q = selection.qualify();
        if (!q.qualifies)
            continue;
        PrintedStatement statement;
        statement.clientNumber = clientNumberOf(clients);
        statement.clientName = clients.text(QStringLiteral("NAME")).trimmed();
        statement.invoiceNumber = number++;
        statement.previousBalance = q.previousBalance;
        selection.seekFirstSlip(statement.clientNumber);
        while (!slips.eof() && onRecord(slips)
            && slips.text(QStringLiteral("SL_CLIENT")) == statement.clientNumber) {
            if (selection.isBillable(statement.clientNumber))
                statement.slips.push_back(selection.printedSlip());
            slips.next();
        }
        plan.statements.push_back(std::move(statement));
    }
    return plan;
}

} // namespace billing
