#include "reports/statement_document.h"

#include <algorithm>
#include <cmath>

#include <QLocale>

#include "platform/clock.h"
#include "platform/ini_file.h"
#include "ui/dataset.h"
#include "ui/date_text.h"
#include "ui/field_format.h"
#include "ui/messages.h"

namespace reports {

using platform::Cents;
using report::TBaseReport;

namespace {

constexpr double kPageLeft = 0.5;
constexpr double kPageRight = 8.0;
constexpr double kBoxTop = 3.1; // the column frames start here whatever DetailStart says
const report::Colour kLightGrey = report::rgb(192, 192, 192);
const char *const kSection = "Invoice";

// Report texts are single bytes (Latin-1); other characters print as '?'.
std::string bytes(const QString &text)
{
    return text.toLatin1().toStdString();
}

QString text(const ui::Dataset &d, const char *field)
{
    return d.text(QLatin1String(field)).trimmed();
}

double number(const ui::Dataset &d, const char *field)
{
    return d.value(QLatin1String(field)).toDouble();
}

bool flag(const ui::Dataset &d, const char *field)
{
    return text(d, field).compare(QLatin1String("Y"), Qt::CaseInsensitive) == 0;
}

QDate toQDate(const std::chrono::year_month_day &d)
{
    return QDate(int(d.year()), int(unsigned(d.month())), int(unsigned(d.day())));
}

QString money(Cents amount)
{
    return ui::formatMoney(amount);
}

QString twoDecimals(double value)
{
    return QString::number(value, 'f', 2).trimmed();
}

// A number of the settings file: decimal text; text that is not a number reads as 0.
double iniNumber(const platform::IniFile &ini, const char *key, const char *fallback)
{
    bool ok = false;
    const double v =
        QString::fromStdString(ini.readString(kSection, key, fallback)).trimmed().toDouble(&ok);
    return ok ? v : 0.0;
}

QString iniText(const platform::IniFile &ini, const char *key, const char *fallback)
{
    return QString::fromLatin1(ini.readString(kSection, key, fallback).c_str());
}

bool iniTruth(const platform::IniFile &ini, const char *key, bool fallback)
{
    const auto v = ini.value(kSection, key);
    if (!v)
        return fallback;
    const QString s = QString::fromStdString(*v).trimmed().toLower();
    if (s == QLatin1String("false") || s == QLatin1String("0") || s == QLatin1String("no")
        || s == QLatin1String("n"))
        return false;
    if (s == QLatin1String("true") || s == QLatin1String("1") || s == QLatin1String("yes")
        || s == QLatin1String("y"))
        return true;
    return fallback;
}

QString slipTagFor(const QString &sort)
{
    if (sort == QLatin1String("By Project & Activity"))
        return QStringLiteral("SL_CPrjAct");
    if (sort == QLatin1String("By Project"))
        return QStringLiteral("SL_CProj");
    if (sort == QLatin1String("By Activity"))
        return QStringLiteral("SL_CAct");
    if (sort == QLatin1String("By Date Order"))
        return QStringLiteral("SL_CDate");
    return QStringLiteral("SL_CLIENT"); // "By Entry Order", and anything unknown
}

// A black rule across the page, 0.03 inch.
void rule(TBaseReport &r, double y)
{
    r.PenMoveTo(kPageLeft, y);
    r.SetLinePen(report::kBlack, report::kPenSolid, -3, report::kPenModeCopy);
    r.PenLineTo(kPageRight, y);
    r.SetLinePen(report::kBlack, report::kPenSolid, -1, report::kPenModeCopy);
}

} // namespace

StatementLayout StatementLayout::read(ui::Dataset &setup, const platform::IniFile &ini)
{
    StatementLayout l;
    l.graphic = flag(setup, "PRINTGRAPH");
    l.shade = flag(setup, "PRINTSHADE");
    l.head = flag(setup, "PRINTHEAD");
    l.box = flag(setup, "PRINTBOX");
    l.hours = flag(setup, "PRINTHOURS");
    l.rate = flag(setup, "PRINTRATE");
    l.desc = flag(setup, "PRINTDESC");
    l.previousBalance = flag(setup, "PRINTPREVB");
    l.subProject = flag(setup, "SUBPROJ");
    l.subActivity = flag(setup, "SUBACT");
    l.slipTag = slipTagFor(text(setup, "INVSORT"));
    const QString font = setup.text(QStringLiteral("INVFONT")).left(30).trimmed();
    if (!font.isEmpty())
        l.font = bytes(font);
    const double start = number(setup, "STARTTOTAL");
    l.startTotal = start < 1 || start > 15 ? 9.5 : start;
    l.message = bytes(setup.text(QStringLiteral("INVMESS1")));
    l.terms = text(setup, "PTERMS");
    l.companyName = text(setup, "COMPNAME");
    l.companyAddress1 = text(setup, "COMPADD1");
    l.companyAddress2 = text(setup, "COMPADD2");
    l.companyCity = text(setup, "COMPCITY");
    l.companyState = text(setup, "COMPST");
    l.companyZip = text(setup, "COMPZIP");
    l.companyPhone = text(setup, "COMPPH");

    l.detailStart = iniNumber(ini, "DetailStart", "3.1");
    l.clientAddressH = iniNumber(ini, "ClientAddressH", "0.7");
    l.clientAddressV = iniNumber(ini, "ClientAddressV", "2.1");
    l.billingStatementLabel = iniText(ini, "BillingStatement", "Billing Statement:");
    l.servicesThroughLabel = iniText(ini, "ServicesThrough", "Services Through:");
    l.subtotalLabel = iniText(ini, "Subtotal", "Subtotal");
    l.previousBalanceLabel = iniText(ini, "PreviousBalance", "Previous Balance");
    l.taxLabel = iniText(ini, "Tax", "Tax");
    l.totalDueLabel = iniText(ini, "TotalDue", "Total Due");
    l.printTaxDetail = iniTruth(ini, "PrintTaxDetail", true);
    return l;
}

QString cityLine(const QString &city, const QString &state, const QString &zip)
{
    QString z = zip.trimmed();
    if (z.endsWith(u'-'))
        z.chop(1);
    const QString line =
        (city.trimmed() + QStringLiteral(", ") + state.trimmed() + u' ' + z).left(50).trimmed();
    return line == QLatin1String(",") ? QString() : line;
}

bool StatementDocument::Group::hasAmount() const
{
    return !amount.isZero() || std::llround(hours * 100) != 0;
}

void StatementDocument::Group::clear()
{
    hours = 0;
    amount = Cents();
}

StatementDocument::StatementDocument(StatementTables tables,
    const billing::RunParameters &parameters, const platform::IniFile &settings,
    const platform::Clock &clock, ui::Messages &messages)
    : m_tables(tables)
    , m_parameters(parameters)
    , m_settings(settings)
    , m_clock(clock)
    , m_messages(messages)
{
}

StatementDocument::StatementDocument(StatementTables tables, Sample,
    const platform::IniFile &settings, const platform::Clock &clock, ui::Messages &messages)
    : m_tables(tables)
    , m_settings(settings)
    , m_clock(clock)
    , m_messages(messages)
    , m_sample(true)
{
}

StatementDocument::~StatementDocument() = default;

void StatementDocument::attach(TBaseReport &r)
{
    r.OnBeforePrint = [this](TBaseReport &rep) { beforePrint(rep); };
    r.OnNewPage = [this](TBaseReport &rep) { newPage(rep); };
    r.OnPrintHeader = [this](TBaseReport &rep) { printHeader(rep); };
    r.OnPrintPage = [this](TBaseReport &rep, int) { return printPage(rep); };
    r.OnPrintFooter = [this](TBaseReport &rep) { printFooter(rep); };
    r.OnPrint = nullptr;
    r.OnAfterPrint = nullptr;
    r.OnNewColumn = nullptr;
}

// ---- B: preparation -------------------------------------------------------------------------

void StatementDocument::beforePrint(TBaseReport &r)
{
    m_report = &r;
    m_layout = StatementLayout::read(m_tables.setup, m_settings);
    m_today = toQDate(m_clock.today());
    m_plan = billing::BillingPlan{};
    m_nothingToPrint = false;
    m_footerDone = false;
    m_project = Group{};
    m_activity = Group{};

    r.StatusFormat = "Printing Page %p\r%0\r%1";
    r.StatusText = { std::string(), std::string() };
    r.SetMarginLeft(0.5);
    r.SetMarginRight(0.5);
    r.SetMarginTop(0.5);
    r.SetAreaTop(0.5);
    r.SetMarginBottom(m_layout.startTotal);
    r.SetAreaBottom(m_layout.startTotal - 0.25);

    m_message.LoadMemoField(m_layout.message);
    m_description.LoadMemoField(std::string());

    if (m_sample) {
        m_number = std::llround(number(m_tables.track, "NEXTINV"));
        m_subtotal = Cents();
        m_tax = Cents();
        m_previousBalance = Cents();
        return;
    }

    m_parameters.printPreviousBalance = m_layout.previousBalance;
    m_plan.parameters = m_parameters;
    m_plan.runDate = m_today;
    prepareCursors();
    if (!firstClient()) {
        m_messages.information(
            QStringLiteral("There were no Billing Statements to print for the selected range."));
        m_nothingToPrint = true;
    }
}

void StatementDocument::prepareCursors()
{
    m_number = billing::firstStatementNumber(m_tables.track, m_tables.invoices);
    m_tables.slips.cancelRange();
    m_tables.slips.setTag(m_layout.slipTag);
    m_tables.projects.setTag(QStringLiteral("CLIENT_COD"));
    m_tables.activities.setTag(QStringLiteral("ACTIVITY"));
    const ui::Dataset &slips = m_tables.slips;
    const auto index = [&slips](const char *name) { return slips.fieldIndex(QLatin1String(name)); };
    m_slipFields = { index("SL_CLIENT"), index("SL_ACT"), index("SL_PROJECT"), index("SL_DATEBEG"),
        index("SL_HOURS"), index("SL_RATE"), index("SL_TOTAL"), index("SL_TAXABLE"),
        index("SL_TAXAMT"), index("SL_DESCCLN") };
    m_activityCache.clear();
    m_selection = std::make_unique<billing::Selection>(
        m_parameters, m_tables.clients, m_tables.slips, m_tables.invoices);
    m_walk = std::make_unique<billing::ClientWalk>(m_parameters, m_tables.clients);
}

bool StatementDocument::firstClient()
{
    if (!m_walk->first())
        return false;
    return takeClientIfQualifies() || nextClient();
}

// N: the next client of the range that is in the run's cycles and qualifies.
bool StatementDocument::nextClient()
{
    while (m_walk->next()) {
        if (m_report && m_report->OnProcessMessages)
            m_report->OnProcessMessages();
        if (takeClientIfQualifies())
            return true;
    }
    return false;
}

bool StatementDocument::takeClientIfQualifies()
{
    if (!m_selection->inCycle())
        return false;
    const billing::Qualification q = m_selection->qualify();
    if (!q.qualifies)
        return false;
    beginStatement(q);
    return true;
}

void StatementDocument::beginStatement(const billing::Qualification &q)
{
    m_statement = billing::PrintedStatement{};
    m_statement.clientNumber = clientNumber();
    m_statement.clientName = text(m_tables.clients, "NAME");
    m_statement.invoiceNumber = m_number;
    m_statement.previousBalance = q.previousBalance;
    m_subtotal = Cents();
    m_tax = Cents();
    m_previousBalance = q.previousBalance;
    // A group left open by a statement without project codes must not run into this one.
    m_project = Group{};
    m_activity = Group{};
    m_footerDone = false;
    m_selection->seekFirstSlip(m_statement.clientNumber);
}

QString StatementDocument::clientNumber() const
{
    return text(m_tables.clients, "NUMBER");
}

// ---- page events ----------------------------------------------------------------------------

void StatementDocument::newPage(TBaseReport &r)
{
    if (m_nothingToPrint) {
        r.CancelReport();
        return;
    }
    m_detailOnPage = false;
}

void StatementDocument::printHeader(TBaseReport &r)
{
    if (m_nothingToPrint) {
        r.CancelReport();
        return;
    }
    const StatementLayout &l = m_layout;
    const double H = l.hoursAllowance();
    const double R = l.rateAllowance();
    const ui::Dataset &client = m_tables.clients;

    r.SetMarginTop(0.5);
    r.ClearTabStops();
    r.SetLinePen(report::kBlack, report::kPenSolid, -1, report::kPenModeCopy);

    if (l.box) {
        if (l.shade)
            r.SetFill(kLightGrey, report::kBrushSolid);
        r.DrawRoundedBox(kPageLeft, 1.9, kPageRight, kBoxTop, 0, 0);
        if (l.shade)
            r.ResetPageState();
        r.SetLinePen(report::kBlack, report::kPenSolid, -1, report::kPenModeCopy);
        if (l.head)
            r.DrawRoundedBox(kPageLeft, 0.5, l.graphic ? 4.75 : kPageRight, 1.9, 0, 0);
    } else {
        rule(r, l.detailStart);
    }

    if (l.graphic) {
        r.AddTabStop(0.5, report::JustifyCenter, 4.25, 2, 0, 0);
        if (l.box)
            r.DrawRoundedBox(4.75, 0.5, kPageRight, 1.9, 0, 0);
        r.UseFont(l.font, 65);
        r.EmitAtXY(4.8, 1.7, "Invoice");
    } else {
        r.AddTabStop(0.5, report::JustifyCenter, 7.73, 2, 0, 0);
    }

    r.UseFont(l.font, 16);
    r.UseBold(true);
    r.CursorHome();
    if (l.head) {
        r.EmitLine("\t" + bytes(l.companyName));
        r.EmitLine("\t" + bytes(l.companyAddress1));
        if (!l.companyAddress2.isEmpty())
            r.EmitLine("\t" + bytes(l.companyAddress2));
        r.EmitLine("\t" + bytes(cityLine(l.companyCity, l.companyState, l.companyZip)));
        if (!l.companyPhone.isEmpty())
            r.EmitLine("\tPhone: " + bytes(l.companyPhone));
    }

    // Client block, placed for a window envelope.
    r.UseFont(l.font, 14);
    r.UseBold(true);
    r.ClearTabStops();
    r.AddTabStop(l.clientAddressH, report::JustifyLeft, 4.4, 2, 0, 0);
    r.MoveCursor(l.clientAddressH, l.clientAddressV);
    QString misc1;
    if (m_sample) {
        r.EmitLine("\tAttn: Contact Name");
        r.EmitLine("\tTest Client Name");
        r.EmitLine("\tAddress One");
        r.EmitLine("\tAddress Two");
        r.EmitLine("\tDallas, Texas 75244");
    } else {
        const QString contact = text(client, "CONTACT");
        r.EmitLine(contact.isEmpty() ? std::string() : "\tAttn: " + bytes(contact));
        r.EmitLine("\t" + bytes(text(client, "NAME")));
        r.EmitLine("\t" + bytes(text(client, "SADD")));
        const QString sadd2 = text(client, "SADD2");
        if (!sadd2.isEmpty())
            r.EmitLine("\t" + bytes(sadd2));
        r.EmitLine(
            "\t" + bytes(cityLine(text(client, "SCITY"), text(client, "SSTATE"), text(client, "SZIP"))));
        misc1 = client.text(QStringLiteral("MISC1"));
    }
    const bool po = misc1.startsWith(QLatin1String("[PO]"));

    // Statement labels and values.
    r.UseFont(l.font, 12);
    r.UseBold(true);
    r.ClearTabStops();
    r.AddTabStop(4.5, report::JustifyRight, 1.5, 2, 0, 0);
    r.MoveCursor(4.6, 2.1);
    if (l.desc)
        r.EmitLine("\t" + bytes(l.billingStatementLabel));
    r.EmitLine("\t" + bytes(l.servicesThroughLabel));
    if (po)
        r.EmitLine("\tPO Number:");
    r.UseBold(false);
    r.ClearTabStops();
    r.AddTabStop(6.2, report::JustifyLeft, 1.7, 2, 0, 0);
    r.MoveCursor(6.3, 2.1);
    if (l.desc)
        r.EmitLine("\t" + std::to_string(m_number));
    const QDate through = !m_sample && m_parameters.dateToGiven ? m_parameters.dateTo : m_today;
    r.EmitLine("\t" + bytes(QLocale::c().toString(through, QStringLiteral("MMMM d, yyyy"))));
    if (po)
        r.EmitLine("\t" + bytes(misc1.mid(4, 21).trimmed()));

    // Column headings.
    r.UseBold(true);
    r.UseItalic(true);
    r.ClearTabStops();
    r.AddTabStop(0.5, report::JustifyCenter, 0.9, 2, 0, 0);
    r.AddTabStop(1.4, report::JustifyCenter, 3.9 + H, 2, 0, 0);
    if (l.hours)
        r.AddTabStop(5.3, report::JustifyCenter, 0.9, 2, 0, 0);
    if (l.rate)
        r.AddTabStop(6.2, report::JustifyCenter, 0.9, 2, 0, 0);
    r.AddTabStop(7.1 - R, report::JustifyCenter, 0.9 + R, 2, 0, 0);
    r.MoveCursor(0.5, l.detailStart + 0.2);
    r.EmitText("\tDate");
    r.EmitText("\tProfessional Services");
    if (l.hours)
        r.EmitText("\tHours");
    if (l.rate)
        r.EmitText("\tRate");
    r.EmitLine("\tAmount");

    // Column frames.
    if (l.box) {
        const double bottom = l.startTotal;
        r.DrawRoundedBox(0.5, kBoxTop, 1.4, bottom, 0, 0);
        r.DrawRoundedBox(1.4, kBoxTop, 5.3 + H, bottom, 0, 0);
        if (l.hours)
            r.DrawRoundedBox(5.3, kBoxTop, 6.2, bottom, 0, 0);
        if (l.rate)
            r.DrawRoundedBox(6.2, kBoxTop, 7.1, bottom, 0, 0);
        r.DrawRoundedBox(7.1 - R, kBoxTop, kPageRight, bottom, 0, 0);
    } else {
        rule(r, l.startTotal);
    }
    r.UseBold(false);
    r.SetAreaBottom(l.startTotal - 0.25);
}

// S: one whole statement.
bool StatementDocument::printPage(TBaseReport &r)
{
    if (m_nothingToPrint) {
        r.CancelReport();
        return false;
    }
    detailSetup(r, false);
    if (m_sample) {
        printSampleLine(r);
        return false;
    }

    ui::Dataset &slips = m_tables.slips;
    const SlipFields &f = m_slipFields;
    const QString client = m_statement.clientNumber;
    bool first = true;
    for (;;) {
        // On to the next billable slip of the client, or past its last slip.
        while (!slips.eof() && slipText(f.client) == client && !m_selection->isBillable(client))
            slips.next();
        const bool end = slips.eof() || slipText(f.client) != client;
        if (!first)
            closeGroups(r, end ? QString() : slipText(f.activity),
                end ? QString() : slipText(f.project), end);
        if (end)
            break;
        printSlip(r);
        first = false;
        slips.next();
    }

    printFooter(r); // T, directly: the statement's totals on its last page
    m_plan.statements.push_back(m_statement);
    const bool more = nextClient();
    m_footerDone = true;
    return more;
}

void StatementDocument::detailSetup(TBaseReport &r, bool continuation)
{
    const double H = m_layout.hoursAllowance();
    const double R = m_layout.rateAllowance();
    r.UseFont(m_layout.font, 10);
    r.ClearTabStops();
    r.AddTabStop(0.5, report::JustifyCenter, 0.9, 6, 0, 0);
    r.AddTabStop(1.4, report::JustifyLeft, 3.9 + H, 6, 0, 0);
    if (m_layout.hours) {
        if (continuation)
            r.AddTabStop(5.3, report::JustifyCenter, 0.9, 6, 0, 0);
        else
            r.AddTabStop(5.3, report::JustifyRight, 0.85, 6, 0, 0);
    }
    if (m_layout.rate)
        r.AddTabStop(6.2, report::JustifyRight, 0.9, 10, 0, 0);
    r.AddTabStop(7.09 - R, report::JustifyRight, 0.9 + R / 2, 10, 0, 0);
    m_description.PrintStart = 1.45;
    m_description.PrintEnd = 5.3 + H;
    r.SetAreaBottom(m_layout.startTotal - 0.25);
}

// A page break inside a statement: its page gets no totals.
void StatementDocument::pageBreak(TBaseReport &r)
{
    m_footerDone = true;
    r.StartNextPage();
    detailSetup(r, true);
}

void StatementDocument::printSlip(TBaseReport &r)
{
    const ui::Dataset &slip = m_tables.slips;
    const SlipFields &f = m_slipFields;
    const QString act = slipText(f.activity);
    const QString project = slipText(f.project);
    if (m_project.code.isEmpty())
        m_project.code = project;
    if (m_activity.code.isEmpty())
        m_activity.code = act;

    m_description.LoadMemoField(bytes(slip.value(f.description).toString()));
    const int lines = r.CountMemoLines(m_description);

    // A missing activity prints its code and no rate of another record.
    const Activity &activityRecord = activity(act);
    const QString actDesc = activityRecord.description;

    const Cents total = Cents::fromDouble(slip.value(f.total).toDouble());
    const bool taxable = slipText(f.taxable).compare(QLatin1String("Y"), Qt::CaseInsensitive) == 0;
    const Cents slipTax = taxable ? Cents::fromDouble(slip.value(f.taxAmount).toDouble()) : Cents();
    const bool taxLine = !slipTax.isZero() && m_layout.printTaxDetail;
    const double hours = slip.value(f.hours).toDouble();

    if (r.LinesRemaining() - 2 < lines + (taxLine ? 1 : 0) && m_detailOnPage)
        pageBreak(r);

    m_subtotal += total;
    m_tax += slipTax;
    for (Group *g : { &m_project, &m_activity }) {
        g->hours += hours;
        g->amount += total + slipTax;
    }
    m_activity.description = actDesc;
    m_statement.slips.push_back(m_selection->printedSlip());

    r.AdvanceLine();
    r.EmitText("\t" + bytes(ui::DateText::format(slip.value(f.date).toDate())));
    r.EmitText(lines > 0 ? std::string("\t") : "\t" + bytes(actDesc));
    if (m_layout.hours)
        r.EmitText("\t" + bytes(twoDecimals(hours)));
    if (m_layout.rate)
        r.EmitText("\t" + bytes(money(Cents::fromDouble(slip.value(f.rate).toDouble()))));
    r.EmitText("\t" + bytes(money(total)));
    m_detailOnPage = true;
    if (lines > 0)
        printDescription(r);
    else
        r.AdvanceLine();

    if (taxLine) {
        if (r.LinesRemaining() - 1 < 1) {
            pageBreak(r);
            r.AdvanceLine();
        }
        const QString taxText = (activityRecord.found
                                        ? twoDecimals(activityRecord.taxRate)
                                            + QStringLiteral("% Tax on ")
                                        : QStringLiteral("Tax on "))
            + money(total);
        r.EmitText("\t");
        r.EmitText("\t" + bytes(taxText.left(50)));
        if (m_layout.hours)
            r.EmitText("\t");
        if (m_layout.rate)
            r.EmitText("\t");
        r.EmitLine("\t" + bytes(money(slipTax)));
    }
}

const StatementDocument::Activity &StatementDocument::activity(const QString &code)
{
    const auto cached = m_activityCache.constFind(code);
    if (cached != m_activityCache.constEnd())
        return *cached;
    Activity a;
    ui::Dataset &acts = m_tables.activities;
    a.found = !code.isEmpty() && acts.findKey({ code });
    a.description = a.found ? text(acts, "DESC") : code;
    a.taxRate = a.found ? number(acts, "TAXRATE") : 0.0;
    return *m_activityCache.insert(code, a);
}

QString StatementDocument::slipText(int field) const
{
    return m_tables.slips.value(field).toString().trimmed();
}

// The billing description from the current line down; what does not fit above the totals area
// (one line kept spare) goes on the next page, from where the memo stands.
void StatementDocument::printDescription(TBaseReport &r)
{
    for (;;) {
        const int room = r.LinesRemaining() - 1;
        if (room < 1 && !m_detailOnPage) {
            // No detail area at all (totals placed above the headings): print it through.
            r.EmitMemo(m_description, 0, false);
            return;
        }
        if (r.CountMemoLines(m_description) <= room) {
            r.EmitMemo(m_description, 0, false);
            return;
        }
        if (room >= 1)
            r.EmitMemo(m_description, room, false);
        pageBreak(r);
        r.AdvanceLine();
    }
}

void StatementDocument::printSampleLine(TBaseReport &r)
{
    const Cents amount = Cents::fromCents(125000);
    r.AdvanceLine();
    r.EmitText("\t12/31/1997");
    r.EmitText("\tBilling Description");
    if (m_layout.hours)
        r.EmitText("\t10.00");
    if (m_layout.rate)
        r.EmitText("\t" + bytes(money(Cents::fromCents(12500))));
    r.EmitText("\t" + bytes(money(amount)));
    r.AdvanceLine();
    m_subtotal = amount;
    m_detailOnPage = true;
}

// The subtotals due before the next billable slip (or at the client's end), activity first.
void StatementDocument::closeGroups(
    TBaseReport &r, const QString &nextActivity, const QString &nextProject, bool end)
{
    if (m_layout.subActivity && (end || nextActivity != m_activity.code) && m_activity.hasAmount())
        printSubtotal(r, m_activity, false, nextActivity);
    if (m_layout.subProject && (end || nextProject != m_project.code) && m_project.hasAmount())
        printSubtotal(r, m_project, true, nextProject);
}

// G: a project or activity subtotal line; the group then starts over with the next code.
void StatementDocument::printSubtotal(
    TBaseReport &r, Group &group, bool project, const QString &next)
{
    if (!project || !group.code.isEmpty()) {
        QString description;
        if (project) {
            ui::Dataset &projects = m_tables.projects;
            description = projects.findKey({ m_statement.clientNumber, group.code })
                ? text(projects, "PJ_DESC")
                : group.code;
        } else {
            description = group.description.isEmpty() ? group.code : group.description;
        }
        if (r.LinesRemaining() - 2 < 1 && m_detailOnPage)
            pageBreak(r);
        r.AdvanceLine();
        r.UseBold(true);
        r.EmitText("\t");
        r.EmitText("\t" + bytes(description + QStringLiteral(" Subtotal:")));
        if (m_layout.hours)
            r.EmitText("\t" + bytes(twoDecimals(group.hours)));
        if (m_layout.rate)
            r.EmitText("\t");
        r.EmitLine("\t" + bytes(money(group.amount)));
        r.AdvanceLine();
        r.UseBold(false);
        m_detailOnPage = true;
    }
    group.code = next;
    group.clear();
}

// ---- T: the totals area ---------------------------------------------------------------------

QString StatementDocument::termsLine() const
{
    if (!m_layout.terms.isEmpty())
        return m_layout.terms.left(40);
    const QString terms = text(m_tables.clients, "TERMS");
    if (terms == QLatin1String("Due on Receipt"))
        return QStringLiteral("Total Due on Receipt");
    return (QStringLiteral("Total Due by ")
               + ui::DateText::format(billing::dueDate(m_today, terms)))
        .left(40);
}

void StatementDocument::printFooter(TBaseReport &r)
{
    if (m_nothingToPrint) {
        r.CancelReport();
        return;
    }
    const StatementLayout &l = m_layout;
    r.UseFont(l.font, 12);
    r.UseBold(true);
    if (m_footerDone) {
        m_footerDone = false;
        return;
    }
    m_footerDone = true;
    if (!m_sample)
        m_statement.invoiceNumber = m_number++;

    if (l.box) {
        if (l.shade)
            r.SetFill(kLightGrey, report::kBrushSolid);
        r.DrawRoundedBox(kPageLeft, l.startTotal - 0.01, kPageRight, l.startTotal + 1.2, 0, 0);
        if (l.shade)
            r.ResetPageState();
    } else {
        rule(r, l.startTotal);
    }
    r.SetLinePen(report::kBlack, report::kPenSolid, -1, report::kPenModeCopy);

    r.MoveCursor(0.5, l.startTotal + 0.05);
    r.AdvanceLine();
    r.EmitLeftAt(bytes(termsLine()), 0.75);

    // The printed lines always add up to the total due: a credit balance and a credit tax are
    // printed too; a tax of a cent or less is not.
    const double amountRight = 7.95 - l.rateAllowance() / 2;
    const bool taxPrinted = m_tax > Cents::fromCents(1) || m_tax.isNegative();
    const bool balancePrinted = !m_previousBalance.isZero();
    auto amountLine = [&](const QString &label, Cents amount, bool advance) {
        r.EmitRightAt(bytes(label), 6.4);
        r.EmitRightAt(bytes(money(amount)), amountRight);
        if (advance)
            r.AdvanceLine();
    };
    if (taxPrinted || balancePrinted)
        amountLine(l.subtotalLabel, m_subtotal, true);
    if (balancePrinted)
        amountLine(l.previousBalanceLabel, m_previousBalance, true);
    if (taxPrinted)
        amountLine(l.taxLabel, m_tax, true);
    amountLine(l.totalDueLabel, m_tax + m_subtotal + m_previousBalance, false);

    // The statement message, ending near the bottom of the totals box.
    r.UseFont(l.font, 10);
    r.UseBold(true);
    r.UseItalic(true);
    m_message.PrintStart = 0.6;
    m_message.PrintEnd = 5.0;
    m_message.RewindMemo();
    const int n = std::min(r.CountMemoLines(m_message), 5);
    if (n > 0) {
        r.MoveCursor(0.5, l.startTotal + 1.2 - 0.14 * n);
        r.EmitMemo(m_message, 5, false);
    }
}

} // namespace reports
