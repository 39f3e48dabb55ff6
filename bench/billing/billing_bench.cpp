// The billing run at the size of a busy practice: 1,000 clients with 250,000 slips (about two
// thirds of them complete and unbilled), three projects each, earlier statements for previous
// balances. Times, on a fresh copy of the data for each of three runs:
//   plan      the print half's selection walk alone (client range, qualification, the slips of
//             each statement), as planRun does it
//   print     the whole print half: the statement document written to the report file
//   finalize  posting the printed plan (locks, checks, journal, tables, flushes)
// and prints the medians: statements per second for the two print-half times, slips per second
// for finalization. Goals: at least 200 statements per second printed to the report file, at
// least 5,000 slips per second finalized. Run by hand:
//   tarnw-bench-billing [clients] [slips] [directory]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QDate>
#include <QTemporaryDir>

#include "billing/billing_rules.h"
#include "dbf/cursor.h"
#include "dbf/table.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/report_filer.h"
#include "reports/statement_document.h"
#include "store/startup_check.h"
#include "ui/dataset.h"
#include "ui/engine_cursor.h"
#include "ui/scripted_messages.h"

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;
using namespace std::chrono;

namespace {

const QDate kToday(2026, 12, 10);

double secondsSince(Steady::time_point from)
{
    return duration<double>(Steady::now() - from).count();
}

// Processor time of this program so far: on a machine shared with other work the wall-clock
// time says more about the neighbours than about the run.
double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

std::string clientNumber(std::size_t i)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06zu", i + 1);
    return buf;
}

// The practice: written through exclusive table handles (no other program is running).
void generate(const fs::path &dir, std::size_t clients, std::size_t slips)
{
    std::mt19937_64 rng(20261210);
    auto open = [&](const char *name) {
        return dbf::Table::open(dir, name, dbf::OpenMode::Exclusive);
    };
    {
        auto t = open("TWACT");
        dbf::Cursor c(*t);
        for (int a = 0; a < 20; ++a) {
            c.append();
            c.setText("ACTIVITY", "ACT" + std::to_string(a));
            c.setText("DESC", "Activity number " + std::to_string(a));
            c.setText("TAXABLE", a % 4 == 0 ? "Y" : "N");
            c.setNumber("TAXRATE", a % 4 == 0 ? 8.25 : 0);
            c.post();
        }
    }
    {
        auto t = open("TWCLIENT");
        auto p = open("TWPROJCT");
        dbf::Cursor c(*t), pc(*p);
        for (std::size_t i = 0; i < clients; ++i) {
            c.append();
            c.setText("NUMBER", clientNumber(i));
            c.setText("NAME", "Client " + std::to_string(100000 + i));
            c.setText("SADD", std::to_string(i + 1) + " Main Street");
            c.setText("SCITY", "Dallas");
            c.setText("SSTATE", "TX");
            c.setText("SZIP", "75201");
            c.setInteger("CYCLE", 1);
            c.setText("TERMS", i % 3 ? "Net 30" : "Due on Receipt");
            c.setText("ACTIVE", "Y");
            c.post();
            for (int k = 0; k < 3; ++k) {
                pc.append();
                pc.setText("PJ_CLIENT", clientNumber(i));
                pc.setText("PJ_CODE", "P" + std::to_string(i) + "-" + std::to_string(k));
                pc.setText(
                    "PJ_DESC", "Project " + std::to_string(k) + " of client " + std::to_string(i));
                pc.post();
            }
        }
    }
    {
        auto t = open("TWSLIP");
        auto inv = open("TWINVOIC");
        dbf::Cursor c(*t), ic(*inv);
        const std::size_t perClient = std::max<std::size_t>(1, slips / clients);
        std::int64_t invoice = 1;
        for (std::size_t n = 0; n < slips; ++n) {
            const std::size_t i = n / perClient % clients;
            const bool billed = rng() % 3 == 0;
            const double total = double(1000 + rng() % 40000) / 100;
            c.append();
            c.setInteger("SL_NUMBER", std::int64_t(n + 1));
            c.setText("SL_CLIENT", clientNumber(i));
            c.setText("SL_PROJECT",
                rng() % 4 ? "P" + std::to_string(i) + "-" + std::to_string(rng() % 3) : "");
            const int act = int(rng() % 20);
            c.setText("SL_ACT", "ACT" + std::to_string(act));
            c.setText("SL_EMPLOY", "000");
            c.setDate("SL_DATEBEG", dbf::Date(2026, int(1 + rng() % 11), int(1 + rng() % 28)));
            c.setNumber("SL_HOURS", double(rng() % 80) / 4);
            c.setInteger("SL_RATESRC", 1);
            c.setInteger("SL_RATELVL", 1);
            c.setNumber("SL_RATE", 125);
            c.setNumber("SL_TOTAL", total);
            c.setText("SL_TAXABLE", act % 4 == 0 ? "Y" : "N");
            c.setNumber("SL_TAXAMT", act % 4 == 0 ? std::round(total * 8.25) / 100 : 0);
            c.setInteger("SL_DONE", rng() % 10 ? 1 : 0);
            c.setInteger("SL_BILLED", billed ? 1 : 0);
            c.setInteger("SL_INVOICE", billed ? invoice : -1);
            if (n % 5 == 0)
                c.setMemo("SL_DESCCLN",
                    "Review of the file and correspondence with the other side about item "
                        + std::to_string(n) + ".");
            c.post();
            if (billed && rng() % 8 == 0) {
                ic.append();
                ic.setInteger("INV_NUMBER", invoice++);
                ic.setText("INV_CLIENT", clientNumber(i));
                ic.setNumber("INV_TOTAL", total);
                ic.setNumber("INV_PAID", rng() % 2 ? total : 0);
                ic.setDate("INV_DATE", dbf::Date(2026, 6, 1));
                ic.post();
            }
        }
        auto track = open("TWTRACK");
        dbf::Cursor tc(*track);
        tc.edit();
        tc.setInteger("NEXTINV", invoice);
        tc.setInteger("NEXTSLIP", std::int64_t(slips + 1));
        tc.post();
    }
    auto setup = open("TWSETUP");
    dbf::Cursor s(*setup);
    s.edit();
    for (const char *f : { "PRINTHEAD", "PRINTBOX", "PRINTHOURS", "PRINTRATE", "PRINTDESC",
             "PRINTPREVB", "SUBPROJ" })
        s.setText(f, "Y");
    s.setText("INVSORT", "By Project");
    s.setText("COMPNAME", "Tarnwick Test Practice");
    s.post();
}

struct Datasets
{
    explicit Datasets(const fs::path &dir)
    {
        open(clients, dir, "TWCLIENT", "NAME");
        open(slips, dir, "TWSLIP", "SL_CLIENT");
        open(invoices, dir, "TWINVOIC", "INV_CLIENT");
        open(projects, dir, "TWPROJCT", "CLIENT_COD");
        open(activities, dir, "TWACT", "ACTIVITY");
        open(setup, dir, "TWSETUP", "");
        open(track, dir, "TWTRACK", "");
    }
    static void open(ui::Dataset &d, const fs::path &dir, const char *table, const char *tag)
    {
        d.open(ui::EngineCursor::open(dir, table));
        if (*tag)
            d.setTag(QString::fromLatin1(tag));
        d.first();
    }
    ui::Dataset clients, slips, invoices, projects, activities, setup, track;
};

billing::RunParameters runParameters(bool previousBalance)
{
    billing::RunParameters p;
    p.endName = QString(QChar(0xff));
    p.dateFrom = kToday.addDays(-3650);
    p.dateTo = kToday.addDays(3650);
    p.minimumBill = 5;
    p.printPreviousBalance = previousBalance;
    return p;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void copyDirectory(const fs::path &from, const fs::path &to)
{
    fs::create_directories(to);
    for (const auto &e : fs::directory_iterator(from))
        fs::copy_file(e.path(), to / e.path().filename(), fs::copy_options::overwrite_existing);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t clients = argc > 1 ? std::size_t(std::max(1, std::atoi(argv[1]))) : 1000;
    const std::size_t slips = argc > 2 ? std::size_t(std::max(1, std::atoi(argv[2]))) : 250000;
    QTemporaryDir tmp;
    const fs::path root = argc > 3 ? fs::path(argv[3]) : fs::path(tmp.path().toStdString());
    const fs::path master = root / "master";

    auto started = Steady::now();
    fs::create_directories(master);
    for (const auto &e : fs::directory_iterator(fs::path(TARNW_BINARY_DIR) / "templates"))
        fs::copy_file(e.path(), master / e.path().filename(), fs::copy_options::overwrite_existing);
    {
        store::StartupCheck check(master);
        check.restoreMissingFiles();
        check.rebuildMissingIndexes();
    }
    generate(master, clients, slips);
    std::printf(
        "%zu clients, %zu slips generated in %.1f s\n", clients, slips, secondsSince(started));

    const int runs = 3;
    std::vector<double> planRate, printRate, finalRate;
    for (int run = 1; run <= runs; ++run) {
        const fs::path dir = root / ("run" + std::to_string(run));
        fs::remove_all(dir);
        copyDirectory(master, dir);
        platform::ManualClock clock(year_month_day(year(2026), month(12), day(10)));
        const billing::RunParameters p = runParameters(true);

        billing::BillingPlan plan;
        {
            Datasets d(dir);
            started = Steady::now();
            const double cpu = cpuSeconds();
            plan = billing::planRun(p, kToday, d.clients, d.slips, d.invoices, d.track);
            const double t = secondsSince(started);
            planRate.push_back(double(plan.statements.size()) / t);
            std::printf("run %d: plan   %zu statements in %.2f s (%.2f s processor): %.0f "
                        "statements/s\n",
                run, plan.statements.size(), t, cpuSeconds() - cpu, planRate.back());
        }
        {
            Datasets d(dir);
            platform::IniFile settings(dir / "TARNW.INI");
            ui::ScriptedMessages messages;
            reports::StatementDocument document(
                { d.clients, d.slips, d.invoices, d.projects, d.activities, d.setup, d.track }, p,
                settings, clock, messages);
            report::QtTextMeasurer measurer;
            report::TReportFiler filer(measurer);
            filer.FileName = (dir / "TWREPORT.RPT").string();
            document.attach(filer);
            started = Steady::now();
            const double cpu = cpuSeconds();
            filer.RunReport();
            const double t = secondsSince(started);
            const double used = cpuSeconds() - cpu;
            const billing::BillingPlan &printed = document.plan();
            printRate.push_back(double(printed.statements.size()) / t);
            std::printf(
                "run %d: print  %zu statements, %lld bytes of report file in %.2f s (%.2f s "
                "processor): %.0f statements/s\n",
                run, printed.statements.size(),
                static_cast<long long>(fs::file_size(dir / "TWREPORT.RPT")), t, used,
                printRate.back());
            if (printed.statements.size() == plan.statements.size())
                plan = printed; // finalize what was printed
        }
        std::size_t slipCount = 0;
        for (const billing::PrintedStatement &s : plan.statements)
            slipCount += s.slips.size();
        billing::Finalizer finalizer(dir.string(), clock);
        started = Steady::now();
        const double cpu = cpuSeconds();
        const billing::FinalizeResult r = finalizer.run(plan);
        const double t = secondsSince(started);
        finalRate.push_back(double(slipCount) / t);
        std::printf("run %d: finalize %d statements, %zu slips in %.2f s (%.2f s processor): %.0f "
                    "slips/s%s%s\n",
            run, r.posted, slipCount, t, cpuSeconds() - cpu, finalRate.back(),
            r.engineMessage.isEmpty() ? "" : ": ", r.engineMessage.toLocal8Bit().constData());
        fs::remove_all(dir);
    }
    std::printf("median of %d runs: plan %.0f statements/s, print to the report file %.0f "
                "statements/s (goal 200), finalize %.0f slips/s (goal 5000)\n",
        runs, median(planRate), median(printRate), median(finalRate));
    return 0;
}
