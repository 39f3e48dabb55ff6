#include "reports/proforma_document.h"

#include <array>

#include "platform/clock.h"
#include "reports/report_format.h"
#include "reports/report_frame.h"
#include "ui/dataset.h"
#include "ui/date_text.h"
#include "ui/field_format.h"

namespace reports {

using platform::Cents;
using report::JustifyLeft;
using report::JustifyRight;
using report::TBaseReport;

namespace {

// The six columns of the slip rows, from X 0.55: Slip #, Activity, Project, Rate, Hours, Amount.
constexpr std::array<Column, 6> kSlipColumns = { {
    { JustifyLeft, 0.8 },
    { JustifyLeft, 2.0 },
    { JustifyLeft, 2.0 },
    { JustifyRight, 0.8 },
    { JustifyRight, 0.8 },
    { JustifyRight, 1.0 },
} };
constexpr double kStaffX = 0.75; // the second row of a slip: staff, start date, tax
constexpr double kDateX = 1.3;
constexpr double kTaxRight = 3.0;
constexpr double kTotalLabelRight = 6.5;
constexpr double kTotalRight = 7.9;

QString trimmedRight(QString s)
{
    while (s.endsWith(u' '))
        s.chop(1);
    return s;
}

bool onRecord(const ui::Dataset &d)
{
    return d.bookmark().isValid();
}

Cents centsOf(const ui::Dataset &d, const char *field)
{
    return Cents::fromDouble(d.value(QLatin1String(field)).toDouble());
}

// "%8.2m": the program's currency text, right-aligned in at least eight characters.
std::string money(Cents amount)
{
    std::string text = latin1(ui::formatMoney(amount));
    if (text.size() < 8)
        text.insert(0, 8 - text.size(), ' ');
    return text;
}

} // namespace

ProformaQualification proformaQualify(
    billing::Selection &selection, ui::Dataset &clients, ui::Dataset &slips)
{
    ProformaQualification q;
    const QString number = clients.text(QStringLiteral("NUMBER"));
    selection.seekFirstSlip(number);
    while (!slips.eof() && onRecord(slips) && slips.text(QStringLiteral("SL_CLIENT")) == number) {
        if (selection.isBillable(number)) {
            q.total += centsOf(slips, "SL_TOTAL");
            if (slips.text(QStringLiteral("SL_TAXABLE")) == QLatin1String("Y"))
                q.tax += centsOf(slips, "SL_TAXAMT");
        }
        slips.next();
    }
    if (selection.parameters().printPreviousBalance)
        q.previousBalance = selection.previousBalance(number);
    const Cents minimum = Cents::fromCents(std::int64_t(selection.parameters().minimumBill) * 100);
    q.listed = q.previousBalance + q.total > minimum && q.total.isPositive();
    return q;
}

ProformaDocument::ProformaDocument(StatementTables tables, const billing::RunParameters &parameters,
    std::string font, const platform::Clock &clock)
    : m_tables(tables)
    , m_parameters(parameters)
    , m_font(std::move(font))
    , m_clock(clock)
{
}

ProformaDocument::~ProformaDocument() = default;

void ProformaDocument::attach(TBaseReport &r)
{
    r.OnBeforePrint = [this](TBaseReport &rr) { beforePrint(rr); };
    r.OnPrintHeader = [this](TBaseReport &rr) { printHeader(rr); };
    r.OnPrint = [this](TBaseReport &rr) { print(rr); };
    r.OnPrintFooter = [this](TBaseReport &rr) { printFooter(rr); };
    r.OnPrintPage = nullptr;
    r.OnNewPage = nullptr;
}

void ProformaDocument::beforePrint(TBaseReport &r)
{
    m_today = ui::toQDate(m_clock.today());
    m_reportTotal = Cents();
    m_listed.clear();
    m_activities.clear();
    r.StatusFormat = "Printing Page %p\r%0\r%1";
    r.StatusText = { std::string(), std::string() };
    r.SetMarginLeft(0.5);
    r.SetMarginRight(0.5);
    r.SetMarginTop(0.5);
    r.SetMarginBottom(1);

    ui::Dataset &setup = m_tables.setup;
    if (setup.isOpen() && onRecord(setup))
        m_parameters.printPreviousBalance =
            setup.text(QStringLiteral("PRINTPREVB")).trimmed() == QLatin1String("Y");
    m_tables.slips.cancelRange();
    m_tables.slips.setTag(QStringLiteral("SL_CLIENT"));
    m_tables.projects.setTag(QStringLiteral("CLIENT_COD"));
    m_tables.activities.setTag(QStringLiteral("ACTIVITY"));
}

void ProformaDocument::printHeader(TBaseReport &r)
{
    printCommonHeader(r, { "Proforma Billing Report", dateText(m_today), m_font, {} });

    r.SetMarginTop(1.3);
    r.UseFont(m_font, 14);
    r.UseBold(true);
    r.CursorHome();
    addColumns(r, kSlipColumns);
    r.EmitLine("\tSlip #\tActivity\tProject\tRate\tHours\tAmount");
    r.ClearTabStops();
    r.AddTabStop(kStaffX, JustifyLeft, 0.55, 2, 0, 0);
    r.AddTabStop(-1, JustifyLeft, 0.9, 2, 0, 0);
    r.AddTabStop(-1, JustifyRight, 0.8, 2, 0, 0);
    r.EmitLine("\tStaff\tStart Date\tTax");
    r.ClearTabStops();
    r.UseBold(true);
    rule(r, 1.8, kAreaLeft, kAreaRight);
    r.UseBold(false);
    addColumns(r, kSlipColumns);
    r.UseFont(m_font, 10);
}

void ProformaDocument::print(TBaseReport &r)
{
    billing::Selection selection(m_parameters, m_tables.clients, m_tables.slips, m_tables.invoices);
    billing::ClientWalk walk(m_parameters, m_tables.clients);
    for (bool more = walk.first(); more; more = walk.next()) {
        if (selection.inCycle()) {
            const ProformaQualification q =
                proformaQualify(selection, m_tables.clients, m_tables.slips);
            if (q.listed)
                printClient(r, q, selection);
        }
        processMessages(r);
    }

    if (r.LinesRemaining() <= 2)
        r.StartNextPage();
    r.AdvanceLine();
    r.UseBold(true);
    r.EmitRightAt("Report Total", kTotalLabelRight);
    r.EmitRightAt(money(m_reportTotal), kTotalRight);
    r.UseBold(false);
}

void ProformaDocument::printClient(
    TBaseReport &r, const ProformaQualification &q, billing::Selection &selection)
{
    ui::Dataset &clients = m_tables.clients;
    ui::Dataset &slips = m_tables.slips;
    const QString number = clients.text(QStringLiteral("NUMBER"));
    const QString name = trimmedRight(clients.text(QStringLiteral("NAME")));
    m_listed.push_back(name);

    if (r.LinesRemaining() <= 2)
        r.StartNextPage();
    r.AdvanceLine();
    r.UseBold(true);
    r.EmitLeftAt(latin1(name), kAreaLeft);
    r.AdvanceLine();
    r.UseBold(false);

    selection.seekFirstSlip(number);
    while (!slips.eof() && onRecord(slips) && slips.text(QStringLiteral("SL_CLIENT")) == number) {
        if (selection.isBillable(number)) {
            printSlip(r);
            if (r.LinesRemaining() <= 1)
                r.StartNextPage();
            processMessages(r);
        }
        slips.next();
    }

    const Cents clientTotal = q.total + q.tax;
    m_reportTotal += clientTotal;
    r.UseBold(true);
    r.EmitRightAt(latin1(QStringLiteral("Total Billings for ") + name.trimmed()), kTotalLabelRight);
    r.EmitRightAt(money(clientTotal), kTotalRight);
    r.AdvanceLine();
    r.UseBold(false);
}

void ProformaDocument::printSlip(TBaseReport &r)
{
    const ui::Dataset &s = m_tables.slips;
    const auto field = [&s](const char *name) { return s.text(QLatin1String(name)).trimmed(); };
    const QString project = field("SL_PROJECT");
    const QString projectColumn = project.isEmpty()
        ? QStringLiteral("N/A")
        : projectText(s.text(QStringLiteral("SL_CLIENT")), project);

    r.EmitText("\t" + latin1(field("SL_NUMBER")));
    r.EmitText("\t" + latin1(activityText(field("SL_ACT"))));
    r.EmitText("\t" + latin1(projectColumn));
    r.EmitText("\t" + money(centsOf(s, "SL_RATE")));
    r.EmitText("\t" + plainNumber(s.value(QStringLiteral("SL_HOURS")).toDouble()));
    r.EmitLine("\t" + money(centsOf(s, "SL_TOTAL")));
    r.EmitLeftAt(latin1(field("SL_EMPLOY")), kStaffX);
    r.EmitLeftAt(dateText(s.value(QStringLiteral("SL_DATEBEG")).toDate()), kDateX);
    r.EmitRightAt(money(centsOf(s, "SL_TAXAMT")), kTaxRight);
    r.AdvanceLine();
}

void ProformaDocument::printFooter(TBaseReport &r)
{
    r.UseFont(m_font, 8);
    r.SetMarginBottom(0.5);
    r.EmitAtBottom("Page " + std::to_string(r.CurrentPage()), JustifyLeft);
    r.EmitAtBottom("Date " + dateText(m_today), JustifyRight);
    r.SetMarginBottom(1);
}

void ProformaDocument::processMessages(TBaseReport &r)
{
    if (r.OnProcessMessages)
        r.OnProcessMessages();
}

// A missing activity prints its code: the description of whatever record the cursor stands on
// would name another activity.
QString ProformaDocument::activityText(const QString &code)
{
    const auto cached = m_activities.constFind(code);
    if (cached != m_activities.constEnd())
        return *cached;
    ui::Dataset &acts = m_tables.activities;
    const bool found = !code.isEmpty() && acts.findKey({ code });
    return *m_activities.insert(code, found ? acts.text(QStringLiteral("DESC")).trimmed() : code);
}

// The same for a project that is not on file.
QString ProformaDocument::projectText(const QString &client, const QString &code)
{
    ui::Dataset &projects = m_tables.projects;
    if (projects.findKey({ client, code }))
        return projects.text(QStringLiteral("PJ_DESC")).trimmed();
    return code;
}

} // namespace reports
