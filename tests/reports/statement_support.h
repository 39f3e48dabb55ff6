#pragma once
// Statement runs over real template tables: the main window's cursors a statement reads, a
// settings file, a fixed clock, the report file written by the file back end and read back as
// positioned texts, boxes and rules.
#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QDate>
#include <QString>
#include <QVariant>

#include "billing/billing_rules.h"
#include "dataset_dir.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "platform/money.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/report_file_reader.h"
#include "report_engine/report_filer.h"
#include "reports/statement_document.h"
#include "ui/dataset.h"
#include "ui/scripted_messages.h"
#include "test_application.h"

namespace statement_test {

// Field values of one record, by field name.
using Values = std::vector<std::pair<const char *, QVariant>>;

// Statements print amounts and dates in the user's regional format: these tests read them under
// the program's own convention for a machine without regional settings ("$1,234.50",
// "12/31/1997").
struct Text
{
    int page;
    int code; // 23 centred, 24 left, 25 right
    double x; // centre, left or right edge
    double y; // baseline
    std::string text;
};
struct Box
{
    int page;
    double x1, y1, x2, y2;
};
struct Line
{
    int page;
    double x1, y1, x2, y2;
};

// The report file read back.
struct Printed
{
    int pages = 0;
    std::vector<Text> texts;
    std::vector<Box> boxes;
    std::vector<Line> lines;

    std::vector<Text> on(int page) const
    {
        std::vector<Text> out;
        for (const Text &t : texts)
            if (t.page == page)
                out.push_back(t);
        return out;
    }
    // Every text equal to s.
    std::vector<Text> all(const std::string &s) const
    {
        std::vector<Text> out;
        for (const Text &t : texts)
            if (t.text == s)
                out.push_back(t);
        return out;
    }
    int count(const std::string &s) const { return int(all(s).size()); }
    // The texts on the same page and baseline as t.
    std::vector<Text> row(const Text &t) const
    {
        std::vector<Text> out;
        for (const Text &u : texts)
            if (u.page == t.page && std::abs(u.y - t.y) < 1e-4)
                out.push_back(u);
        return out;
    }
};

inline Printed readReport(const std::string &file)
{
    Printed p;
    report::ReportFileReader reader;
    reader.open(file);
    report::Record r;
    for (int n = 1; reader.gotoPage(n); ++n) {
        p.pages = n;
        double penX = 0, penY = 0;
        while (reader.next(r)) {
            switch (r.code) {
            case report::rpt::CenterText:
            case report::rpt::LeftText:
            case report::rpt::RightText:
                p.texts.push_back({ n, r.code, r.num(1), r.num(0), r.text });
                break;
            case report::rpt::RoundRect:
                p.boxes.push_back({ n, r.num(0), r.num(1), r.num(2), r.num(3) });
                break;
            case report::rpt::MoveTo:
                penX = r.num(0);
                penY = r.num(1);
                break;
            case report::rpt::LineTo:
                p.lines.push_back({ n, penX, penY, r.num(0), r.num(1) });
                penX = r.num(0);
                penY = r.num(1);
                break;
            default:
                break;
            }
        }
    }
    return p;
}

// "$1,234.50" and "-$40.00" back to cents.
inline platform::Cents moneyValue(const std::string &text)
{
    QString s = QString::fromLatin1(text.c_str()).trimmed();
    s.remove(u'$');
    bool ok = false;
    const platform::Cents c = platform::Cents::parse(s.toStdString(), &ok);
    return ok ? c : platform::Cents::fromCents(-999999999);
}

inline void addRow(
    ui::Dataset &dataset, std::initializer_list<std::pair<const char *, QVariant>> values)
{
    dataset.insert();
    for (const auto &[field, value] : values)
        dataset.setValue(QLatin1String(field), value);
    dataset.post();
}

// A data directory made as at the first start, with the cursors of a statement run open on it.
class StatementData
{
public:
    StatementData()
        : settings(dir.path() / "TARNW.INI")
        , clock(std::chrono::year_month_day{ std::chrono::year(2026), std::chrono::month(12),
              std::chrono::day(10) })
    {
        testApplication();
        dir.open(clients, "TWCLIENT", QStringLiteral("NAME"));
        dir.open(slips, "TWSLIP", QStringLiteral("SL_CLIENT"));
        dir.open(invoices, "TWINVOIC", QStringLiteral("INV_CLIENT"));
        dir.open(projects, "TWPROJCT", QStringLiteral("CLIENT_COD"));
        dir.open(activities, "TWACT", QStringLiteral("ACTIVITY"));
        dir.open(setup, "TWSETUP");
        dir.open(track, "TWTRACK");
    }

    QDate today() const { return QDate(2026, 12, 10); }

    void setSetup(const Values &values)
    {
        setup.first();
        for (const auto &[field, value] : values)
            setup.setValue(QLatin1String(field), value);
        setup.post();
    }
    void setNextInvoice(int n)
    {
        track.first();
        track.setValue(QStringLiteral("NEXTINV"), n);
        track.post();
    }
    double nextInvoice()
    {
        track.first();
        return track.value(QStringLiteral("NEXTINV")).toDouble();
    }

    void addClient(const QString &number, const QString &name, const Values &more = {})
    {
        clients.insert();
        clients.setValue(QStringLiteral("NUMBER"), number);
        clients.setValue(QStringLiteral("NAME"), name);
        clients.setValue(QStringLiteral("CYCLE"), 1);
        clients.setValue(QStringLiteral("TERMS"), QStringLiteral("Net 30"));
        clients.setValue(QStringLiteral("SADD"), QStringLiteral("1 Main Street"));
        clients.setValue(QStringLiteral("SCITY"), QStringLiteral("Dallas"));
        clients.setValue(QStringLiteral("SSTATE"), QStringLiteral("TX"));
        clients.setValue(QStringLiteral("SZIP"), QStringLiteral("75201"));
        for (const auto &[field, value] : more)
            clients.setValue(QLatin1String(field), value);
        clients.post();
    }
    void addActivity(const QString &code, const QString &desc, double taxRate = 0)
    {
        addRow(activities,
            { { "ACTIVITY", code }, { "DESC", desc }, { "TAXRATE", taxRate },
                { "TAXABLE", taxRate > 0 ? "Y" : "N" } });
    }
    void addProject(const QString &client, const QString &code, const QString &desc)
    {
        addRow(projects, { { "PJ_CLIENT", client }, { "PJ_CODE", code }, { "PJ_DESC", desc } });
    }
    struct Slip
    {
        QString client = {};
        QString activity = QStringLiteral("CONSULT");
        QString project = {};
        QDate date = QDate(2026, 11, 20);
        double hours = 1;
        double rate = 100;
        double total = 100;
        double tax = 0;
        bool taxable = false;
        QString description = {};
        int done = 1;
        int billed = 0;
    };
    void addSlip(const Slip &s)
    {
        slips.insert();
        slips.setValue(QStringLiteral("SL_NUMBER"), ++m_slipNumber);
        slips.setValue(QStringLiteral("SL_CLIENT"), s.client);
        slips.setValue(QStringLiteral("SL_ACT"), s.activity);
        slips.setValue(QStringLiteral("SL_PROJECT"), s.project);
        if (s.date.isValid())
            slips.setValue(QStringLiteral("SL_DATEBEG"), s.date);
        slips.setValue(QStringLiteral("SL_HOURS"), s.hours);
        slips.setValue(QStringLiteral("SL_RATE"), s.rate);
        slips.setValue(QStringLiteral("SL_TOTAL"), s.total);
        slips.setValue(QStringLiteral("SL_TAXAMT"), s.tax);
        slips.setValue(QStringLiteral("SL_TAXABLE"), s.taxable ? "Y" : "N");
        slips.setValue(QStringLiteral("SL_DESCCLN"), s.description);
        slips.setValue(QStringLiteral("SL_DONE"), s.done);
        slips.setValue(QStringLiteral("SL_BILLED"), s.billed);
        slips.setValue(QStringLiteral("SL_INVOICE"), s.billed ? 1 : -1);
        slips.post();
    }
    void addInvoice(const QString &client, int number, double total, double paid)
    {
        addRow(invoices,
            { { "INV_NUMBER", number }, { "INV_CLIENT", client }, { "INV_TOTAL", total },
                { "INV_PAID", paid }, { "INV_DATE", QDate(2026, 10, 1) } });
    }

    billing::RunParameters parameters() const
    {
        billing::RunParameters p;
        p.beginName = QString();
        p.endName = QStringLiteral("ZZZZZZZZZZ");
        p.dateFrom = today().addDays(-3650);
        p.dateTo = today().addDays(3650);
        p.minimumBill = 0;
        return p;
    }

    reports::StatementTables tables()
    {
        return { clients, slips, invoices, projects, activities, setup, track };
    }

    std::string reportFile() const { return (dir.path() / "TWREPORT.RPT").string(); }

    // Runs a document on the file back end and reads the report file back.
    Printed run(reports::StatementDocument &document)
    {
        report::QtTextMeasurer measurer;
        report::TReportFiler filer(measurer);
        filer.FileName = reportFile();
        document.attach(filer);
        filer.RunReport();
        aborted = filer.Aborted();
        return readReport(reportFile());
    }
    Printed runBilling(const billing::RunParameters &p, billing::BillingPlan *plan = nullptr)
    {
        reports::StatementDocument document(tables(), p, settings, clock, messages);
        Printed printed = run(document);
        if (plan)
            *plan = document.plan();
        return printed;
    }
    Printed runBilling(billing::BillingPlan *plan = nullptr)
    {
        return runBilling(parameters(), plan);
    }
    Printed runSample()
    {
        reports::StatementDocument document(
            tables(), reports::StatementDocument::Sample{}, settings, clock, messages);
        return run(document);
    }

    DatasetDir dir;
    ui::Dataset clients, slips, invoices, projects, activities, setup, track;
    platform::IniFile settings;
    platform::ManualClock clock;
    ui::ScriptedMessages messages;
    bool aborted = false;

private:
    int m_slipNumber = 0;
};

} // namespace statement_test
