#pragma once

// The consistency walk over every table a statement's life touches (billing, payments, deletion,
// billing again). One line per fault, empty when the data directory is sound:
//   W1 no INV_NUMBER on two live statements
//   W2 each billed slip names a live statement of its own client; an unbilled slip names -1
//   W3 INV_TOTAL = sum SL_TOTAL + sum SL_TAXAMT of its slips with SL_TAXABLE "Y", INV_TAXAMT the
//      latter (a 0.00 statement without slips is sound)
//   W4 each live payment names a live statement of its own client (PMT_CLIENT)
//   W5 each INV_PAID is the sum of its payments' amounts
//   W6 each project's totals = its totals before + hours and total + tax of its billed slips
// Amounts are compared in cents, hours in ten-thousandths.
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "billing/invoice_deletion.h"
#include "billing/payment_posting.h"
#include "billing_data.h"
#include "platform/clock.h"

inline std::vector<std::string> ledgerFaults(
    const std::filesystem::path &dir, const std::map<std::string, ProjectTotals> &projectsBefore)
{
    std::vector<std::string> faults;
    struct Statement
    {
        std::string client;
        std::int64_t total = 0, tax = 0, paid = 0;
        std::int64_t slipTotal = 0, slipTax = 0, payments = 0;
    };
    auto cents = [](double v) { return std::llround(v * 100); };
    std::map<std::int64_t, Statement> statements;
    {
        auto t = dbf::Table::open(dir, "TWINVOIC", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        for (bool more = !c.isEmpty(); more; more = c.next()) {
            const std::int64_t n = c.integer("INV_NUMBER");
            if (statements.count(n))
                faults.push_back("W1 statement " + std::to_string(n) + " twice");
            statements[n] = { c.text("INV_CLIENT"), cents(c.number("INV_TOTAL")),
                cents(c.number("INV_TAXAMT")), cents(c.number("INV_PAID")) };
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
                    faults.push_back("W2 unbilled " + slip + " names " + std::to_string(n));
                continue;
            }
            const auto it = statements.find(n);
            if (it == statements.end() || it->second.client != c.text("SL_CLIENT")) {
                faults.push_back("W2 billed " + slip + " names no statement of its client: "
                    + std::to_string(n));
                continue;
            }
            it->second.slipTotal += cents(c.number("SL_TOTAL"));
            if (c.text("SL_TAXABLE") == "Y")
                it->second.slipTax += cents(c.number("SL_TAXAMT"));
            if (!c.text("SL_PROJECT").empty()) {
                ProjectTotals &p = added[c.text("SL_CLIENT") + "/" + c.text("SL_PROJECT")];
                p.tenThousandthHours += std::llround(c.number("SL_HOURS") * 10000);
                p.chargeCents += cents(c.number("SL_TOTAL")) + cents(c.number("SL_TAXAMT"));
            }
        }
    }
    {
        auto t = dbf::Table::open(dir, "TWPMT", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        for (bool more = !c.isEmpty(); more; more = c.next()) {
            const std::int64_t n = c.integer("PMT_INVOIC");
            const auto it = statements.find(n);
            if (it == statements.end() || it->second.client != c.text("PMT_CLIENT")) {
                faults.push_back("W4 payment of " + c.text("PMT_CLIENT") + " names statement "
                    + std::to_string(n) + ", not on file for it");
                continue;
            }
            it->second.payments += cents(c.number("PMT_AMOUNT"));
        }
    }
    for (const auto &[n, s] : statements) {
        if (s.total != s.slipTotal + s.slipTax || s.tax != s.slipTax)
            faults.push_back("W3 statement " + std::to_string(n) + " total "
                + std::to_string(s.total) + " tax " + std::to_string(s.tax) + ", its slips "
                + std::to_string(s.slipTotal) + " + " + std::to_string(s.slipTax));
        if (s.paid != s.payments)
            faults.push_back("W5 statement " + std::to_string(n) + " paid "
                + std::to_string(s.paid) + ", its payments " + std::to_string(s.payments));
    }
    for (const auto &[key, now] : projectTotals(dir)) {
        ProjectTotals expected =
            projectsBefore.count(key) ? projectsBefore.at(key) : ProjectTotals{};
        expected.tenThousandthHours += added[key].tenThousandthHours;
        expected.chargeCents += added[key].chargeCents;
        if (!(now == expected))
            faults.push_back("W6 project " + key + " holds "
                + std::to_string(now.tenThousandthHours) + "/" + std::to_string(now.chargeCents)
                + ", expected " + std::to_string(expected.tenThousandthHours) + "/"
                + std::to_string(expected.chargeCents));
    }
    return faults;
}

// A data directory with the run date 2026-12-10 and the three steps of a statement's life, each
// through the program's own rules: bill every qualifying client, pay, delete.
struct Ledger
{
    Ledger()
        : clock(std::chrono::year_month_day(
            std::chrono::year(2026), std::chrono::month(12), std::chrono::day(10)))
        , rows(dir.path())
    {
        rows.setNextInvoice(100);
    }

    // Bills every client with billable slips (minimum bill 0); the numbers given, in client name
    // order.
    std::vector<std::int64_t> bill()
    {
        const QDate today(2026, 12, 10);
        billing::BillingPlan plan;
        {
            BillingDatasets data(dir.path());
            billing::RunParameters run = wideOpenRun(today);
            run.minimumBill = 0;
            plan = data.plan(run, today);
        }
        billing::Finalizer f(dir.path().string(), clock);
        f.run(plan);
        std::vector<std::int64_t> numbers;
        for (const billing::PrintedStatement &s : plan.statements)
            numbers.push_back(s.invoiceNumber);
        return numbers;
    }

    void pay(const std::string &client, std::int64_t number, std::optional<double> amount)
    {
        billing::PaymentPosting p(dir.path(), client, number);
        billing::PaymentInput input;
        input.reference = "CHK";
        if (amount)
            input.amount = platform::Cents::fromDouble(*amount);
        input.date = dbf::Date(2026, 12, 10);
        p.post(input);
    }

    billing::DeletionResult remove(const std::string &client, std::int64_t number)
    {
        return billing::InvoiceDeletion(dir.path()).run(client, number);
    }

    DatasetDir dir;
    platform::ManualClock clock;
    BillingRows rows;
};
