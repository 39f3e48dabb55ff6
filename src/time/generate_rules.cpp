#include "time/generate_rules.h"

#include <array>

#include "billing/billing_rules.h"
#include "dbf/errors.h"
#include "platform/clock.h"
#include "report_engine/base_report.h"
#include "reports/report_format.h"
#include "reports/report_frame.h"
#include "time/auto_billing_rules.h"
#include "ui/data_cursor.h"
#include "ui/dataset.h"
#include "ui/date_text.h"

namespace timecap {

using report::JustifyCenter;
using report::JustifyLeft;
using report::JustifyRight;

namespace {

QString trimmedRight(QString s)
{
    while (s.endsWith(u' '))
        s.chop(1);
    return s;
}

} // namespace

std::optional<int> parseCycle(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 2)
        return std::nullopt;
    for (const QChar c : t)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    const int v = t.toInt();
    if (v < 1 || v > 10)
        return std::nullopt;
    return v;
}

const QString &cycleRefusedText()
{
    static const QString text = QStringLiteral("Cycles must be whole numbers from 1 to 10.");
    return text;
}

QString generateOutcomeText(const GenerateResult &result)
{
    if (!result.engineMessage.isEmpty()) {
        if (result.created == 0)
            return QStringLiteral("Auto Billing generation stopped.  No slips were created.");
        return QStringLiteral("Auto Billing generation stopped.  %1 %2 created, the last for %3.")
            .arg(result.created)
            .arg(result.created == 1 ? QStringLiteral("slip was") : QStringLiteral("slips were"))
            .arg(result.lastClient);
    }
    if (result.created > 0)
        return QStringLiteral("Auto Billing generation complete.  ");
    return QStringLiteral("No Auto Billings existed within selected criteria.");
}

// --- AutoBillingWalk -------------------------------------------------------------------------

AutoBillingWalk::AutoBillingWalk(const GenerateTables &tables, const platform::Clock &clock)
    : m_tables(tables)
    , m_clock(clock)
{
    if (m_tables.activities.isOpen()) {
        m_activity = m_tables.activities.cursor()->reader();
        m_activity->cancelRange();
        m_activity->setTag(QStringLiteral("ACTIVITY"));
    }
}

AutoBillingWalk::~AutoBillingWalk() = default;

bool AutoBillingWalk::generates(int slot, int lowCycle, int highCycle)
{
    const ui::Dataset &c = m_tables.clients;
    const QVariant cycleValue = c.value(slotField("D_CYCLE", slot));
    const int cycle = cycleValue.isNull() ? 0 : int(cycleValue.toDouble());
    if (cycle < lowCycle || cycle > highCycle)
        return false;
    const QString activity = c.text(slotField("D_ACT", slot));
    if (activity.trimmed().isEmpty() || !m_activity)
        return false;
    return m_activity->findKey({ activity });
}

void AutoBillingWalk::walk(
    const GenerateRange &range, const std::function<void(const GeneratingSlot &)> &each)
{
    billing::RunParameters p;
    p.beginName = range.beginName;
    p.endName = trimmedRight(range.endName.left(30));
    billing::ClientWalk clients(p, m_tables.clients);
    for (bool on = clients.first(); on; on = clients.next()) {
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            if (!generates(slot, range.lowCycle, range.highCycle))
                continue;
            const ui::Dataset &c = m_tables.clients;
            each({ slot, c.text(QStringLiteral("NUMBER")),
                trimmedRight(c.text(QStringLiteral("NAME"))) });
        }
    }
}

void AutoBillingWalk::createSlip(int slot)
{
    const ui::Dataset &c = m_tables.clients;
    ui::Dataset &s = m_tables.slips;
    const auto activityValue = [this](const char *name) {
        return m_activity->value(m_activity->layout().indexOf(name).value_or(0));
    };
    const double total = c.value(slotField("D_TOTAL", slot)).toDouble();
    const double taxRate = activityValue("TAXRATE").toDouble();
    s.insert();
    try {
        s.setValue(QStringLiteral("SL_CLIENT"), c.value(QStringLiteral("NUMBER")));
        s.setValue(QStringLiteral("SL_ACT"), c.value(slotField("D_ACT", slot)));
        s.setValue(QStringLiteral("SL_PROJECT"), c.value(slotField("D_PROJECT", slot)));
        s.setValue(QStringLiteral("SL_EMPLOY"), c.value(slotField("D_EMPLOY", slot)));
        s.setValue(QStringLiteral("SL_HOURS"), c.value(slotField("D_HOURS", slot)));
        s.setValue(QStringLiteral("SL_RATE"), c.value(slotField("D_RATE", slot)));
        s.setValue(QStringLiteral("SL_TOTAL"), c.value(slotField("D_TOTAL", slot)));
        s.setValue(QStringLiteral("SL_DATEBEG"), ui::toQDate(m_clock.today()));
        s.setValue(QStringLiteral("SL_RATESRC"), c.value(QStringLiteral("B_RATESRC")));
        s.setValue(QStringLiteral("SL_TAXABLE"), activityValue("TAXABLE"));
        s.setValue(QStringLiteral("SL_TAXAMT"), total * (taxRate / 100));
        if (activityValue("ACTTYPE").toString().trimmed() == QLatin1String("E"))
            s.setValue(QStringLiteral("SL_EXPAMT"), total);
        s.setValue(QStringLiteral("SL_DONE"), 1);
        s.setValue(QStringLiteral("SL_BILLED"), 0);
        s.setValue(QStringLiteral("SL_INVOICE"), -1);
        s.setValue(QStringLiteral("SL_TIMERON"), 0);
        s.setValue(QStringLiteral("SL_BEGISPM"), QStringLiteral("N"));
        s.setValue(QStringLiteral("SL_ENDISPM"), QStringLiteral("N"));
        s.post();
    } catch (...) {
        if (s.isEditing())
            s.cancel();
        throw;
    }
}

GenerateResult AutoBillingWalk::generate(const GenerateRange &range)
{
    GenerateResult result;
    try {
        walk(range, [&](const GeneratingSlot &g) {
            createSlip(g.slot);
            ++result.created;
            result.lastClient = g.clientName;
            if (OnCreated)
                OnCreated(result.created);
        });
    } catch (const std::exception &e) {
        result.engineMessage = QString::fromLocal8Bit(e.what());
        if (result.engineMessage.isEmpty())
            result.engineMessage = QStringLiteral("The table engine refused the slip.");
    }
    return result;
}

// --- AutoEntryListing ------------------------------------------------------------------------

namespace {

struct Cell
{
    int justify;
    double width;
};
constexpr std::array<Cell, 8> kCells{ { { JustifyLeft, 2.0 }, { JustifyLeft, 0.8 },
    { JustifyLeft, 0.8 }, { JustifyRight, 0.8 }, { JustifyRight, 0.9 }, { JustifyRight, 1.0 },
    { JustifyCenter, 0.65 }, { JustifyCenter, 0.55 } } };
constexpr double kFirstCell = 0.5;

} // namespace

AutoEntryListing::AutoEntryListing(AutoBillingWalk &walk, const GenerateRange &range,
    const std::string &font, const QDate &today)
    : m_walk(walk)
    , m_range(range)
    , m_font(font)
    , m_today(reports::dateText(today))
{
}

void AutoEntryListing::attach(report::TBaseReport &r)
{
    r.SetTitle("Tarnwick");
    r.StatusFormat = "Printing page %p";
    r.StatusText.clear();
    r.OnBeforePrint = [](report::TBaseReport &rep) {
        rep.SetMarginLeft(0.5);
        rep.SetMarginRight(0.5);
        rep.SetMarginTop(0.5);
        rep.SetMarginBottom(1);
    };
    r.OnPrintHeader = [this](report::TBaseReport &rep) { header(rep); };
    r.OnPrintFooter = [this](report::TBaseReport &rep) { footer(rep); };
    r.OnPrintPage = [this](report::TBaseReport &rep, int) { return page(rep); };
    m_pending.clear();
    m_next = 0;
    m_gathered = false;
    m_lines = 0;
}

void AutoEntryListing::header(report::TBaseReport &r)
{
    r.SetAreaTop(0.5);
    r.UseFont(m_font, 24);
    r.UseUnderline(false);
    r.CursorHome();
    r.EmitCenteredAt("Proforma Auto Entry Report", r.PageWidthInches() / 2);
    r.UseFont(m_font, 18);
    r.AdvanceLine();
    r.EmitCenteredAt(m_today, r.PageWidthInches() / 2);
    r.UseBold(true);
    reports::rule(r, 1.25, reports::kAreaLeft, reports::kAreaRight);
    r.UseBold(false);
}

void AutoEntryListing::footer(report::TBaseReport &r)
{
    r.UseFont(m_font, 8);
    r.SetMarginBottom(0.5);
    r.EmitAtBottom("Page " + std::to_string(r.CurrentPage()), JustifyLeft);
    r.EmitAtBottom("Date " + m_today, JustifyRight);
    r.SetMarginBottom(1);
}

void AutoEntryListing::columns(report::TBaseReport &r)
{
    bool first = true;
    for (const Cell &c : kCells) {
        r.AddTabStop(first ? kFirstCell : -1, c.justify, c.width, 2, 0, 0);
        first = false;
    }
}

bool AutoEntryListing::page(report::TBaseReport &r)
{
    if (!m_gathered) {
        m_gathered = true;
        const ui::Dataset &c = m_walk.tables().clients;
        m_walk.walk(m_range, [&](const GeneratingSlot &g) {
            const auto field = [&](const char *base) { return slotField(base, g.slot); };
            const auto number = [&](const char *base) { return c.value(field(base)).toDouble(); };
            const std::string cells[] = { reports::latin1(g.clientName),
                reports::latin1(c.text(field("D_ACT"))),
                reports::latin1(c.text(field("D_PROJECT"))),
                reports::moneyText(number("D_RATE")), reports::plainNumber(number("D_HOURS")),
                reports::moneyText(number("D_TOTAL")),
                reports::latin1(c.text(field("D_EMPLOY"))),
                reports::latin1(c.text(field("D_CYCLE"))) };
            std::string text;
            for (std::size_t i = 0; i < std::size(cells); ++i)
                text += (i == 0 ? "" : "\t") + cells[i];
            m_pending.push_back({ std::move(text) });
        });
    }
    // The column heading of every page.
    r.SetMarginTop(1.3);
    r.UseFont(m_font, 14);
    r.UseBold(true);
    r.CursorHome();
    r.ClearTabStops();
    columns(r);
    r.EmitLine("\tClient\tActivity\tProject\tRate\tHours\tAmount\tStaff\tCycle");
    r.ClearTabStops();
    r.UseBold(true);
    reports::rule(r, 1.6, reports::kAreaLeft, reports::kAreaRight);
    r.UseBold(false);
    r.AdvanceLine();
    columns(r);
    r.UseFont(m_font, 10);
    bool printed = false;
    while (m_next < m_pending.size() && (!printed || r.LinesRemaining() > 0)) {
        const std::string &text = m_pending[m_next].text;
        std::size_t from = 0;
        while (true) {
            const std::size_t tab = text.find('\t', from);
            if (tab == std::string::npos) {
                r.EmitLine("\t" + text.substr(from));
                break;
            }
            r.EmitText("\t" + text.substr(from, tab - from));
            from = tab + 1;
        }
        ++m_next;
        ++m_lines;
        printed = true;
    }
    return m_next < m_pending.size();
}

} // namespace timecap
