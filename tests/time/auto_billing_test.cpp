// Auto billing definitions and generation through real tables: the slot rules of the
// definitions window, which slots of a client range generate, the slips they become, the
// listing read back from the report file, and a run that an engine error stops part-way.
#include <chrono>
#include <map>
#include <set>

#include <QDate>

#include "auto_billing_data.h"
#include "platform/clock.h"
#include "report_engine/report_file_reader.h"
#include "report_engine/report_filer.h"
#include "slip_data.h"
#include "time/auto_billing_rules.h"
#include "time/generate_rules.h"
#include "time/slip_numbering.h"
#include "ui/field_format.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

using namespace timecap;

namespace {

const std::chrono::year_month_day kToday{ std::chrono::year{ 2026 } / 12 / 10 };

// The practice of the edge cases: Beta twice (same name), a slot naming a deleted activity, an
// empty activity, an empty cycle, a non-taxable activity with a tax rate of 6, an expense.
struct Practice
{
    DatasetDir dir;
    ui::Dataset clients, slips, activities, track, projects;
    platform::ManualClock clock{ kToday };

    Practice()
    {
        addAutoActivities(dir.path(),
            { { "RETAIN", "T", "N", 6 }, { "FEE", "T", "Y", 8 }, { "POSTAGE", "E", "N", 0 },
                { "GONE" } });
        addAutoClients(dir.path(),
            {
                { "1001", "Alpha",
                    { autoSlot("RETAIN", 3, 2, 75, 160, "AB", "PRJ1"), autoSlot("GONE", 3, 1, 10, 10),
                        autoSlot("", 3, 1, 10, 10), autoSlot("FEE", 0, 1, 10, 10),
                        autoSlot("POSTAGE", 10, 1, 4.5, 4.5, "CD") },
                    2 },
                { "1002", "Beta", { autoSlot("FEE", 1, 1, 50, 50) }, 1 },
                { "1003", "Beta",
                    { autoSlot("RETAIN", 5, 1, 20, 20), {}, autoSlot("FEE", 6, 1, 1, 1) }, 1 },
                { "1004", "Gamma", { autoSlot("FEE", 4, 2, 30, 60) }, 1 },
            });
        dir.open(activities, "TWACT", QStringLiteral("ACTIVITY"));
        activities.findKey({ QStringLiteral("GONE") });
        activities.remove();
        dir.open(clients, "TWCLIENT", QStringLiteral("NAME"));
        dir.open(slips, "TWSLIP", QStringLiteral("SL_CLIENT"));
        dir.open(track, "TWTRACK");
        dir.open(projects, "TWPROJCT", QStringLiteral("Client_Cod"));
        installSlipNumbering(slips, track, false);
    }
    GenerateTables tables() { return { clients, slips, activities }; }
};

// "Alpha/1" for slot 1 of Alpha: the generating slots of a range, in walk order.
QStringList generating(Practice &p, const GenerateRange &range)
{
    AutoBillingWalk walk(p.tables(), p.clock);
    QStringList seen;
    walk.walk(range, [&](const GeneratingSlot &g) {
        seen += QStringLiteral("%1/%2/%3").arg(g.clientName, g.clientNumber).arg(g.slot);
    });
    return seen;
}

TEST(AutoBillingCycles, OnlyWholeNumbersFromOneToTenAreBounds)
{
    const struct
    {
        const char *text;
        std::optional<int> cycle;
    } cases[] = { { "1", 1 }, { " 10 ", 10 }, { "7", 7 }, { "1O", std::nullopt },
        { "", std::nullopt }, { "0", std::nullopt }, { "11", std::nullopt },
        { "2.5", std::nullopt }, { "-1", std::nullopt }, { "010", std::nullopt } };
    for (const auto &c : cases)
        EXPECT_EQ(parseCycle(QLatin1String(c.text)), c.cycle) << c.text;
}

TEST(AutoBillingWalk, SlotsThatGenerateForEachRange)
{
    Practice p;
    const struct
    {
        GenerateRange range;
        QStringList expected;
    } cases[] = {
        // Deleted activity, empty activity and the empty cycle (0) never generate.
        { { "Alpha", "Gamma", 1, 10 },
            { "Alpha/1001/1", "Alpha/1001/5", "Beta/1002/1", "Beta/1003/1", "Beta/1003/3",
                "Gamma/1004/1" } },
        // Begin and end on one client: only its slots.
        { { "Alpha", "Alpha", 1, 10 }, { "Alpha/1001/1", "Alpha/1001/5" } },
        // Two clients with exactly the end name are both taken.
        { { "Alpha", "Beta", 1, 5 }, { "Alpha/1001/1", "Beta/1002/1", "Beta/1003/1" } },
        // Cycle 3 with 1 to 5, not with 4 to 10; bounds inclusive.
        { { "Alpha", "Alpha", 4, 10 }, { "Alpha/1001/5" } },
        { { "Alpha", "Alpha", 3, 3 }, { "Alpha/1001/1" } },
        { { "Beta", "Gamma", 4, 6 }, { "Beta/1003/1", "Beta/1003/3", "Gamma/1004/1" } },
        // A range that ends before the last client stops there.
        { { "B", "Beta", 1, 10 }, { "Beta/1002/1", "Beta/1003/1", "Beta/1003/3" } },
        // An empty range.
        { { "Zulu", "Zz", 1, 10 }, {} },
    };
    for (const auto &c : cases)
        EXPECT_EQ(generating(p, c.range), c.expected)
            << c.range.beginName.toStdString() << ".." << c.range.endName.toStdString() << " "
            << c.range.lowCycle << ".." << c.range.highCycle;
}

TEST(AutoBillingGeneration, EverySlipFieldAsTheSlotAndActivityGiveIt)
{
    Practice p;
    const double first = nextSlipOnFile(p.dir.path());
    AutoBillingWalk walk(p.tables(), p.clock);
    const GenerateResult result = walk.generate({ "Alpha", "Alpha", 1, 10 });
    EXPECT_EQ(result.created, 2);
    EXPECT_EQ(result.lastClient, QStringLiteral("Alpha"));
    EXPECT_TRUE(result.engineMessage.isEmpty());
    EXPECT_EQ(generateOutcomeText(result), QStringLiteral("Auto Billing generation complete.  "));

    ui::Dataset slips;
    p.dir.open(slips, "TWSLIP", QStringLiteral("SL_Number"));
    ASSERT_EQ(slips.recordCount(), 2u);
    // Slot 1: total 160 is not 2 x 75 and is copied as it stands; a non-taxable activity with
    // TAXRATE 6 still gets 6 percent; no expense amount for a time activity.
    // Slot 5: an expense activity: SL_EXPAMT is the total.
    const struct
    {
        double number;
        const char *act, *project, *staff;
        double hours, rate, total, taxAmount;
        const char *taxable;
        QVariant expense;
    } expected[] = {
        { first, "RETAIN", "PRJ1", "AB", 2, 75, 160, 9.6, "N", QVariant() },
        { first + 1, "POSTAGE", "", "CD", 1, 4.5, 4.5, 0, "N", 4.5 },
    };
    for (const auto &e : expected) {
        SCOPED_TRACE(e.act);
        EXPECT_EQ(slips.value(QStringLiteral("SL_NUMBER")).toDouble(), e.number);
        EXPECT_EQ(slips.text(QStringLiteral("SL_CLIENT")), QStringLiteral("1001"));
        EXPECT_EQ(slips.text(QStringLiteral("SL_ACT")), QLatin1String(e.act));
        EXPECT_EQ(slips.text(QStringLiteral("SL_PROJECT")), QLatin1String(e.project));
        EXPECT_EQ(slips.text(QStringLiteral("SL_EMPLOY")), QLatin1String(e.staff));
        EXPECT_DOUBLE_EQ(slips.value(QStringLiteral("SL_HOURS")).toDouble(), e.hours);
        EXPECT_DOUBLE_EQ(slips.value(QStringLiteral("SL_RATE")).toDouble(), e.rate);
        EXPECT_DOUBLE_EQ(slips.value(QStringLiteral("SL_TOTAL")).toDouble(), e.total);
        EXPECT_NEAR(slips.value(QStringLiteral("SL_TAXAMT")).toDouble(), e.taxAmount, 0.005);
        EXPECT_EQ(slips.text(QStringLiteral("SL_TAXABLE")), QLatin1String(e.taxable));
        EXPECT_EQ(slips.value(QStringLiteral("SL_EXPAMT")), e.expense);
        EXPECT_EQ(slips.value(QStringLiteral("SL_DATEBEG")).toDate(), QDate(2026, 12, 10));
        EXPECT_TRUE(slips.value(QStringLiteral("SL_DATEEND")).toDate().isNull());
        EXPECT_EQ(slips.value(QStringLiteral("SL_RATESRC")).toDouble(), 2.0);
        EXPECT_TRUE(slips.value(QStringLiteral("SL_RATELVL")).isNull());
        EXPECT_EQ(slips.value(QStringLiteral("SL_DONE")).toDouble(), 1.0);
        EXPECT_EQ(slips.value(QStringLiteral("SL_BILLED")).toDouble(), 0.0);
        EXPECT_EQ(slips.value(QStringLiteral("SL_INVOICE")).toDouble(), -1.0);
        EXPECT_EQ(slips.value(QStringLiteral("SL_TIMERON")).toDouble(), 0.0);
        EXPECT_EQ(slips.text(QStringLiteral("SL_BEGISPM")), QStringLiteral("N"));
        EXPECT_EQ(slips.text(QStringLiteral("SL_ENDISPM")), QStringLiteral("N"));
        for (const char *blank : { "SL_TIMEBEG", "SL_TIMEEND", "SL_DESCINT", "SL_DESCCLN" })
            EXPECT_EQ(slips.text(QLatin1String(blank)), QString()) << blank;
        slips.next();
    }
    EXPECT_EQ(nextSlipOnFile(p.dir.path()), first + 2);

    // Nothing records the generation: the same run again makes a second set, numbered on.
    EXPECT_EQ(walk.generate({ "Alpha", "Alpha", 1, 10 }).created, 2);
    slips.last();
    EXPECT_EQ(slips.value(QStringLiteral("SL_NUMBER")).toDouble(), first + 3);
    EXPECT_EQ(slips.text(QStringLiteral("SL_ACT")), QStringLiteral("POSTAGE"));

    const GenerateResult none = walk.generate({ "Alpha", "Alpha", 2, 2 });
    EXPECT_EQ(none.created, 0);
    EXPECT_EQ(generateOutcomeText(none),
        QStringLiteral("No Auto Billings existed within selected criteria."));
}

TEST(AutoBillingGeneration, AnEngineErrorPartWayTellsHowFarTheRunGot)
{
    Practice p;
    AutoBillingWalk walk(p.tables(), p.clock);
    // After the second slip another program holds the counter record: the next slip cannot be
    // numbered, and the engine's "Record locked" ends the run.
    std::unique_ptr<dbf::Table> other;
    std::unique_ptr<dbf::Cursor> holder;
    walk.OnCreated = [&](int created) {
        if (created != 2)
            return;
        other = dbf::Table::open(p.dir.path(), "TWTRACK", dbf::OpenMode::Shared);
        holder = std::make_unique<dbf::Cursor>(*other);
        holder->first();
        holder->edit();
    };
    const GenerateResult result = walk.generate({ "Alpha", "Gamma", 1, 10 });
    EXPECT_EQ(result.created, 2);
    EXPECT_EQ(result.lastClient, QStringLiteral("Alpha"));
    EXPECT_TRUE(result.engineMessage.startsWith(QStringLiteral("Record locked")))
        << result.engineMessage.toStdString();
    EXPECT_EQ(generateOutcomeText(result),
        QStringLiteral("Auto Billing generation stopped.  2 slips were created, the last for "
                       "Alpha."));
    EXPECT_FALSE(p.slips.isEditing());
    holder->cancel();
    ui::Dataset slips;
    p.dir.open(slips, "TWSLIP");
    EXPECT_EQ(slips.recordCount(), 2u);
}

TEST(AutoBillingListing, RunsOnToMorePagesWithTheHeadingAndEveryLineOnce)
{
    Practice p;
    // 60 more clients with two generating slots each: more lines than one page holds.
    std::vector<AutoClient> more;
    for (int i = 0; i < 60; ++i)
        more.push_back({ std::to_string(2000 + i), "Client " + std::to_string(100 + i),
            { autoSlot("FEE", 2, 1.5, 1234.5, 1851.75, "AB", "P"), autoSlot("RETAIN", 9, 1, 1, 1) },
            1 });
    addAutoClients(p.dir.path(), more);
    p.clients.first();

    report::FixedWidthMeasurer measurer;
    report::TReportFiler filer(measurer);
    filer.FileName = (p.dir.path() / "TWREPORT.RPT").string();
    AutoBillingWalk walk(p.tables(), p.clock);
    AutoEntryListing listing(walk, { "Client", "Client 159", 1, 10 }, "Arial", QDate(2026, 12, 10));
    listing.attach(filer);
    filer.RunReport();
    EXPECT_EQ(listing.lines(), 120);

    report::ReportFileReader reader;
    reader.open(filer.FileName);
    std::map<std::string, int> lines; // "Client 1xx" -> lines naming it
    int pages = 0;
    report::Record r;
    for (int n = 1; reader.gotoPage(n); ++n) {
        ++pages;
        std::set<std::string> texts;
        while (reader.next(r))
            if ((r.code >= report::rpt::CenterText && r.code <= report::rpt::RightText)
                || r.code == report::rpt::SpreadText) {
                texts.insert(r.text);
                if (r.text.rfind("Client 1", 0) == 0)
                    ++lines[r.text];
            }
        for (const char *t : { "Proforma Auto Entry Report", "12/10/2026", "Client", "Activity",
                 "Cycle", "Date 12/10/2026" })
            EXPECT_TRUE(texts.count(t)) << "page " << n << ": " << t;
        EXPECT_TRUE(texts.count("Page " + std::to_string(n))) << n;
    }
    EXPECT_GE(pages, 2);
    ASSERT_EQ(lines.size(), 60u);
    for (const auto &[name, count] : lines)
        EXPECT_EQ(count, 2) << name;
    EXPECT_EQ(std::string(filer.StatusFormat), "Printing page %p");
}

TEST(AutoBillingDefinitions, RateRuleSummaryClientChangeAndProjects)
{
    Practice p;
    addRow(p.projects, { { "PJ_CLIENT", "1003" }, { "PJ_CODE", "BETA-B" } });
    addRow(p.projects, { { "PJ_CLIENT", "1002" }, { "PJ_CODE", "BETA-A" } });
    addRow(p.projects, { { "PJ_CLIENT", "1001" }, { "PJ_CODE", "ALPHA-2" } });
    addRow(p.projects, { { "PJ_CLIENT", "1001" }, { "PJ_CODE", "ALPHA-1" } });
    ui::ScriptedMessages messages;
    AutoBillingRules rules(p.clients, p.projects, messages);
    p.clients.findKey({ QStringLiteral("Gamma") });

    // Hours 2 and rate 75, rate left: 150; hours 3 afterwards leave it until the rate is left.
    rules.chooseSlot(3);
    p.clients.setValue(rules.field("D_HOURS"), 2.0);
    p.clients.setValue(rules.field("D_RATE"), 75.0);
    rules.rateLeft();
    EXPECT_EQ(p.clients.value(QStringLiteral("D_TOTAL3")).toDouble(), 150.0);
    p.clients.setValue(rules.field("D_HOURS"), 3.0);
    EXPECT_EQ(p.clients.value(QStringLiteral("D_TOTAL3")).toDouble(), 150.0);
    const auto rows = rules.summary();
    EXPECT_EQ(rows[2].hours, QStringLiteral("3"));
    EXPECT_EQ(rows[2].total, ui::formatMoney(150.0));
    EXPECT_EQ(rows[1].hours, QString()); // slot 2 is empty
    EXPECT_EQ(summaryHours(1234.5), QStringLiteral("1234")); // four significant digits
    EXPECT_EQ(rows[0].activity, QStringLiteral("FEE"));
    EXPECT_EQ(rows[0].cycle, QStringLiteral("4"));

    // The project list is the client's shown, whatever another cursor stands on.
    p.projects.last();
    EXPECT_EQ(rules.projectCodes(), QStringList());
    ui::Dataset::Bookmark alpha;
    {
        ui::Dataset finder;
        p.dir.open(finder, "TWCLIENT", QStringLiteral("NAME"));
        alpha = finder.bookmark();
    }
    // Choosing another client stores the pending change of the first.
    ASSERT_TRUE(p.clients.isEditing());
    ASSERT_TRUE(rules.chooseClient(alpha));
    EXPECT_FALSE(p.clients.isEditing());
    EXPECT_EQ(p.clients.text(QStringLiteral("NAME")), QStringLiteral("Alpha"));
    EXPECT_EQ(rules.projectCodes(), (QStringList{ "ALPHA-1", "ALPHA-2" }));
    ui::Dataset check;
    p.dir.open(check, "TWCLIENT", QStringLiteral("NAME"));
    check.findKey({ QStringLiteral("Gamma") });
    EXPECT_EQ(check.value(QStringLiteral("D_HOURS3")).toDouble(), 3.0);
    EXPECT_EQ(check.value(QStringLiteral("D_TOTAL3")).toDouble(), 150.0);

    // A typed change dropped by Cancel; the rate rule only while editing.
    p.clients.setValue(rules.field("D_RATE"), 99.0);
    rules.cancel();
    rules.rateLeft();
    EXPECT_FALSE(p.clients.isEditing());
    EXPECT_EQ(p.clients.value(QStringLiteral("D_RATE3")).toDouble(), 10.0);
    EXPECT_TRUE(messages.shown().isEmpty());
}

} // namespace
