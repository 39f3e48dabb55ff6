#pragma once

// Rows for billing tests, written the way another program would (through the table engine), and
// the datasets a billing run reads, over a data directory made from the templates.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QString>

#include "billing/billing_rules.h"
#include "dataset_dir.h"
#include "dbf/cursor.h"
#include "dbf/date.h"
#include "dbf/table.h"
#include "ui/dataset.h"

struct SlipRow
{
    std::string client = {};
    double total = 0;
    dbf::Date date = dbf::Date(2026, 11, 15);
    int done = 1;
    int billed = 0;
    std::string taxable = "N";
    double tax = 0;
    std::string project = {};
    double hours = 1;
    double number = 0; // 0: the next number of this writer
    double invoice = -1;
};

// Writes rows into the tables of one data directory through its own table handles.
class BillingRows
{
public:
    explicit BillingRows(std::filesystem::path directory)
        : m_dir(std::move(directory))
    {
    }

    dbf::Table &table(const std::string &name)
    {
        auto &t = m_tables[name];
        if (!t)
            t = dbf::Table::open(m_dir, name, dbf::OpenMode::Shared);
        return *t;
    }

    void client(const std::string &number, const std::string &name, int cycle = 1,
        const std::string &terms = "Net 30", const std::string &misc1 = {})
    {
        dbf::Cursor c(table("TWCLIENT"));
        c.append();
        c.setText("NUMBER", number);
        c.setText("NAME", name);
        c.setInteger("CYCLE", cycle);
        c.setText("TERMS", terms);
        c.setText("ACTIVE", "Y");
        c.setText("MISC1", misc1);
        c.post();
    }

    dbf::RecNo slip(const SlipRow &s)
    {
        dbf::Cursor c(table("TWSLIP"));
        c.append();
        c.setNumber("SL_NUMBER", s.number != 0 ? s.number : ++m_slipNumber);
        c.setText("SL_CLIENT", s.client);
        c.setText("SL_PROJECT", s.project);
        c.setText("SL_ACT", "WORK");
        c.setDate("SL_DATEBEG", s.date);
        c.setNumber("SL_HOURS", s.hours);
        c.setNumber("SL_TOTAL", s.total);
        c.setText("SL_TAXABLE", s.taxable);
        c.setNumber("SL_TAXAMT", s.tax);
        c.setInteger("SL_DONE", s.done);
        c.setInteger("SL_BILLED", s.billed);
        c.setNumber("SL_INVOICE", s.invoice);
        c.post();
        return c.recNo();
    }

    void invoice(double number, const std::string &client, double total, double paid = 0)
    {
        dbf::Cursor c(table("TWINVOIC"));
        c.append();
        c.setNumber("INV_NUMBER", number);
        c.setText("INV_CLIENT", client);
        c.setNumber("INV_TOTAL", total);
        c.setNumber("INV_PAID", paid);
        c.setDate("INV_DATE", dbf::Date(2026, 10, 1));
        c.post();
    }

    void project(const std::string &client, const std::string &code, double hours = 0,
        double charges = 0, dbf::Date start = {})
    {
        dbf::Cursor c(table("TWPROJCT"));
        c.append();
        c.setText("PJ_CLIENT", client);
        c.setText("PJ_CODE", code);
        c.setText("PJ_DESC", "Project " + code);
        c.setNumber("PJ_TOTHOUR", hours);
        c.setNumber("PJ_TOTCHG", charges);
        c.setDate("PJ_STARTDT", start);
        c.post();
    }

    void setNextInvoice(double next)
    {
        dbf::Cursor c(table("TWTRACK"));
        c.edit();
        c.setNumber("NEXTINV", next);
        c.post();
    }

    void flush()
    {
        for (auto &[name, t] : m_tables)
            t->flush();
    }

private:
    std::filesystem::path m_dir;
    std::map<std::string, std::unique_ptr<dbf::Table>> m_tables;
    double m_slipNumber = 0;
};

// Client number i (0-based) of the generated tests: "000001", "000002", ...
inline std::string clientNumber(int i)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06d", i + 1);
    return buf;
}

// `count` finished slips of client i with random amounts (5.00 up to `highest`) and hours, one in
// three taxable at `taxPercent`, some of the others carrying a tax amount that is not taxable;
// each on one of `projects` ("" for none) when there are any.
inline void enterRandomSlips(BillingRows &rows, std::mt19937_64 &rng, int i, int count,
    double highest, double taxPercent, const std::vector<std::string> &projects = {})
{
    for (int n = 0; n < count; ++n) {
        SlipRow s;
        s.client = clientNumber(i);
        s.total = double(500 + rng() % std::uint64_t(highest * 100 - 499)) / 100;
        s.hours = double(rng() % 40000) / 10000;
        s.date = dbf::Date(2026, 11, int(1 + rng() % 28));
        if (rng() % 3 == 0) {
            s.taxable = "Y";
            s.tax = std::round(s.total * taxPercent) / 100;
        } else if (rng() % 4 == 0) {
            s.tax = 0.35; // stored, not taxable: only the project sees it
        }
        if (!projects.empty())
            s.project = projects[rng() % projects.size()];
        rows.slip(s);
    }
}

// The datasets a billing run reads, over one data directory, in the main window's orders.
struct BillingDatasets
{
    explicit BillingDatasets(const std::filesystem::path &dir)
    {
        open(clients, dir, "TWCLIENT", QStringLiteral("NAME"));
        open(slips, dir, "TWSLIP", QStringLiteral("SL_CLIENT"));
        open(invoices, dir, "TWINVOIC", QStringLiteral("INV_CLIENT"));
        open(track, dir, "TWTRACK", {});
    }
    static void open(
        ui::Dataset &d, const std::filesystem::path &dir, const char *table, const QString &tag)
    {
        d.open(ui::EngineCursor::open(dir, table));
        if (!tag.isEmpty())
            d.setTag(tag);
        d.first();
    }

    billing::BillingPlan plan(const billing::RunParameters &p, const QDate &runDate)
    {
        clients.first();
        track.refresh();
        return billing::planRun(p, runDate, clients, slips, invoices, track);
    }

    ui::Dataset clients;
    ui::Dataset slips;
    ui::Dataset invoices;
    ui::Dataset track;
};

// A project's totals as stored.
struct ProjectTotals
{
    std::int64_t tenThousandthHours = 0;
    std::int64_t chargeCents = 0;
    bool operator==(const ProjectTotals &) const = default;
};

inline std::map<std::string, ProjectTotals> projectTotals(const std::filesystem::path &dir)
{
    std::map<std::string, ProjectTotals> totals;
    auto t = dbf::Table::open(dir, "TWPROJCT", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    for (bool more = !c.isEmpty(); more; more = c.next())
        totals[c.text("PJ_CLIENT") + "/" + c.text("PJ_CODE")] = {
            std::llround(c.number("PJ_TOTHOUR") * 10000), std::llround(c.number("PJ_TOTCHG") * 100)
        };
    return totals;
}

// The faults of a data directory after finalization, one line each (empty when sound):
//   F1 no INV_NUMBER on two live invoices
//   F2 a billed slip names a live invoice of its own client; an unbilled slip names -1
//   F3 each invoice's INV_TOTAL = sum SL_TOTAL + sum SL_TAXAMT of its taxable slips, INV_TAXAMT
//      the latter, INV_PAID 0 (invoices on file before, with `before` numbers, are skipped)
//   F4 each project's totals = its totals before + hours and total + tax of its slips billed
//      since (slips billed before carry SL_INVOICE below `firstNew`)
//   F5 NEXTINV above the highest INV_NUMBER
inline std::vector<std::string> billingFaults(const std::filesystem::path &dir,
    const std::map<std::string, ProjectTotals> &projectsBefore, double firstNew = 0)
{
    std::vector<std::string> faults;
    struct Invoice
    {
        std::string client;
        std::int64_t total = 0, tax = 0, paid = 0;
        std::int64_t slipTotal = 0, slipTax = 0;
    };
    std::map<std::int64_t, Invoice> invoices;
    std::int64_t highest = 0;
    {
        auto t = dbf::Table::open(dir, "TWINVOIC", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        for (bool more = !c.isEmpty(); more; more = c.next()) {
            const std::int64_t n = c.integer("INV_NUMBER");
            highest = std::max(highest, n);
            if (invoices.count(n))
                faults.push_back("F1 invoice " + std::to_string(n) + " twice");
            invoices[n] = { c.text("INV_CLIENT"), std::llround(c.number("INV_TOTAL") * 100),
                std::llround(c.number("INV_TAXAMT") * 100),
                std::llround(c.number("INV_PAID") * 100), 0, 0 };
        }
    }
    std::map<std::string, ProjectTotals> added;
    {
        auto t = dbf::Table::open(dir, "TWSLIP", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        for (bool more = !c.isEmpty(); more; more = c.next()) {
            const std::int64_t n = c.integer("SL_INVOICE");
            const std::string slip = "slip " + c.text("SL_NUMBER");
            if (c.integer("SL_BILLED") == 0) {
                if (n != -1)
                    faults.push_back("F2 unbilled " + slip + " names invoice " + std::to_string(n));
                continue;
            }
            const auto it = invoices.find(n);
            if (it == invoices.end() || it->second.client != c.text("SL_CLIENT")) {
                faults.push_back(
                    "F2 billed " + slip + " names no invoice of its client: " + std::to_string(n));
                continue;
            }
            const std::int64_t total = std::llround(c.number("SL_TOTAL") * 100);
            const std::int64_t tax = std::llround(c.number("SL_TAXAMT") * 100);
            it->second.slipTotal += total;
            if (c.text("SL_TAXABLE") == "Y")
                it->second.slipTax += tax;
            if (double(n) >= firstNew && !c.text("SL_PROJECT").empty()) {
                ProjectTotals &p = added[c.text("SL_CLIENT") + "/" + c.text("SL_PROJECT")];
                p.tenThousandthHours += std::llround(c.number("SL_HOURS") * 10000);
                p.chargeCents += total + tax;
            }
        }
    }
    for (const auto &[n, inv] : invoices) {
        if (double(n) < firstNew)
            continue;
        if (inv.total != inv.slipTotal + inv.slipTax || inv.tax != inv.slipTax || inv.paid != 0)
            faults.push_back("F3 invoice " + std::to_string(n) + " total "
                + std::to_string(inv.total) + " tax " + std::to_string(inv.tax) + ", its slips "
                + std::to_string(inv.slipTotal) + " + " + std::to_string(inv.slipTax));
    }
    for (const auto &[key, now] : projectTotals(dir)) {
        ProjectTotals expected =
            projectsBefore.count(key) ? projectsBefore.at(key) : ProjectTotals{};
        if (added.count(key)) {
            expected.tenThousandthHours += added[key].tenThousandthHours;
            expected.chargeCents += added[key].chargeCents;
        }
        if (!(now == expected))
            faults.push_back("F4 project " + key + " holds "
                + std::to_string(now.tenThousandthHours) + "/" + std::to_string(now.chargeCents)
                + ", expected " + std::to_string(expected.tenThousandthHours) + "/"
                + std::to_string(expected.chargeCents));
    }
    {
        auto t = dbf::Table::open(dir, "TWTRACK", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        if (c.integer("NEXTINV") <= highest)
            faults.push_back("F5 NEXTINV " + std::to_string(c.integer("NEXTINV"))
                + " not above invoice " + std::to_string(highest));
    }
    return faults;
}

// Run parameters as the billing window makes them with blank date boxes around `today`.
inline billing::RunParameters wideOpenRun(const QDate &today)
{
    billing::RunParameters p;
    p.beginName = QString();
    p.endName = QString(QChar(0xff)); // above every name
    p.dateFrom = today.addDays(-3650);
    p.dateTo = today.addDays(3650);
    p.minimumBill = 5;
    return p;
}
