#pragma once
// Tables for the catalogue's tests: rows written through the table engine into a data directory
// made from the templates, the main window's cursors over them, and a run of one report into a
// report file whose text records are read back with their positions.
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QApplication>

#include "dataset_dir.h"
#include "temp_dir.h"
#include "dbf/cursor.h"
#include "dbf/date.h"
#include "dbf/table.h"
#include "platform/clock.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/report_file_reader.h"
#include "report_engine/report_filer.h"
#include "reports/report_job.h"
#include "ui/dataset.h"
#include <gtest/gtest.h>

// Widgets and fonts need an application object; one per test process, never freed.
class QtApplicationEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "reports_tests";
            static char *argv[] = { name, nullptr };
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            // Window placements saved by the forms go to a settings folder of the test's own.
            static TempDir settings;
            qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(settings.path().string()));
            // Lives until the process ends: destroying it after the test framework's statics
            // are gone crashes on exit.
            new QApplication(argc, argv);
        }
    }
};

struct ClientRow
{
    ClientRow(std::string number_, std::string name_, std::string active_ = "Y", int cycle_ = 1)
        : number(std::move(number_))
        , name(std::move(name_))
        , active(std::move(active_))
        , cycle(cycle_)
    {
    }
    ClientRow() = default;

    std::string number, name;
    std::string active = "Y";
    int cycle = 1;
    std::string sadd = "1 Main Street", sadd2, city = "Springfield", state = "IL",
                zip = "62701";
    std::string contact = "Pat", phone = "(217)555-0100", fax = "(217)555-0199";
};

// One text record of a report file: the page, the text, where it stands and how it is aligned
// (23 centred, 24 left, 25 right).
struct PrintedText
{
    int page;
    std::string text;
    double x, y;
    int code;
};

class ReportTables : public DatasetDir
{
public:
    ReportTables() { open(); }

    dbf::Table &table(const std::string &name)
    {
        auto &t = m_tables[name];
        if (!t)
            t = dbf::Table::open(path(), name, dbf::OpenMode::Shared);
        return *t;
    }

    void client(const ClientRow &r)
    {
        dbf::Cursor c(table("TWCLIENT"));
        c.append();
        c.setText("NUMBER", r.number);
        c.setText("NAME", r.name);
        c.setText("ACTIVE", r.active);
        c.setInteger("CYCLE", r.cycle);
        c.setText("SADD", r.sadd);
        c.setText("SADD2", r.sadd2);
        c.setText("SCITY", r.city);
        c.setText("SSTATE", r.state);
        c.setText("SZIP", r.zip);
        c.setText("CONTACT", r.contact);
        c.setText("PHONE", r.phone);
        c.setText("FAX", r.fax);
        c.post();
    }

    void activity(const std::string &code, const std::string &desc, const std::string &type,
        double taxRate = 0, double rate1 = 0, double flat = 0, const std::string &taxable = "N")
    {
        dbf::Cursor c(table("TWACT"));
        c.append();
        c.setText("ACTIVITY", code);
        c.setText("DESC", desc);
        c.setText("ACTTYPE", type);
        c.setText("TAXABLE", taxable);
        c.setNumber("TAXRATE", taxRate);
        c.setNumber("ACTRATE1", rate1);
        c.setNumber("FLATAMOUNT", flat);
        c.post();
    }

    void staff(const std::string &number, const std::string &name, const std::string &ssn,
        double rate1)
    {
        dbf::Cursor c(table("TWEMPLOY"));
        c.append();
        c.setText("EMPNUMBER", number);
        c.setText("EMPNAME", name);
        c.setText("SSN", ssn);
        c.setNumber("EMPRATE1", rate1);
        c.post();
    }

    void project(const std::string &client, const std::string &code, const std::string &desc)
    {
        dbf::Cursor c(table("TWPROJCT"));
        c.append();
        c.setText("PJ_CLIENT", client);
        c.setText("PJ_CODE", code);
        c.setText("PJ_DESC", desc);
        c.post();
    }

    // The cursors read again after rows were written.
    void reread()
    {
        for (auto &[name, t] : m_tables)
            t->flush();
        for (ui::Dataset *d : all())
            d->first();
    }

    std::vector<ui::Dataset *> all()
    {
        return { &clients, &slips, &projects, &invoices, &payments, &activities, &staff_,
            &setup };
    }

    reports::ReportData data()
    {
        return { clients, slips, projects, invoices, payments, activities, staff_, setup };
    }

    ui::Dataset clients, slips, projects, invoices, payments, activities, staff_, setup;

private:
    void open()
    {
        DatasetDir::open(clients, "TWCLIENT", QStringLiteral("NAME"));
        DatasetDir::open(slips, "TWSLIP", QStringLiteral("SL_CLIENT"));
        DatasetDir::open(projects, "TWPROJCT", QStringLiteral("CLIENT_COD"));
        DatasetDir::open(invoices, "TWINVOIC", QStringLiteral("INV_CLIENT"));
        DatasetDir::open(payments, "TWPMT", QStringLiteral("PMT_INVOIC"));
        DatasetDir::open(activities, "TWACT", QStringLiteral("ACTIVITY"));
        DatasetDir::open(staff_, "TWEMPLOY", QStringLiteral("EMPNUMBER"));
        DatasetDir::open(setup, "TWSETUP");
        payments.setMaster(&invoices, { QStringLiteral("INV_NUMBER") });
    }

    std::map<std::string, std::unique_ptr<dbf::Table>> m_tables;
};

// Options that take everything.
inline reports::SelectionOptions wideOptions(long long today = 2461020)
{
    reports::SelectionOptions o;
    o.clientBegin = "";
    o.clientEnd = "\xff";
    o.activityEnd = o.projectEnd = o.staffEnd = "\xff";
    o.slipStart = today - 3650;
    o.slipEnd = today + 3650;
    return o;
}

// Runs the report into `file` on an 8.5 x 11 inch sheet at 96 pixels per inch.
inline bool runToFile(const std::string &reportName, ReportTables &t,
    const reports::SelectionOptions &options, const std::string &file,
    std::string *failure = nullptr)
{
    const reports::ReportDef *def = reports::findReport(reportName);
    if (!def)
        return false;
    reports::ReportContext context{ t.data(), options };
    context.texts = { reportName, "Sub Heading", "Liberation Serif", "12/10/2026" };
    reports::ReportJob job(*def, context);
    report::QtTextMeasurer measurer;
    report::TReportFiler filer(measurer);
    filer.FileName = file;
    filer.SetStreamMode(report::StreamMode::smFile);
    filer.SetLineHeightMethod(report::LineHeightMethod::lhmFont);
    job.wire(filer);
    filer.RunReport();
    if (failure)
        *failure = job.failure();
    return !filer.Aborted();
}

// Every text record of the file, page by page.
inline std::vector<PrintedText> printedTexts(const std::string &file)
{
    using namespace report;
    ReportFileReader reader;
    reader.open(file);
    std::vector<PrintedText> out;
    Record r;
    for (int n = 1; reader.gotoPage(n); ++n)
        while (reader.next(r))
            if (r.code >= rpt::CenterText && r.code <= rpt::RightText)
                out.push_back({ n, r.text, r.num(1), r.num(0), r.code });
    return out;
}

inline int pageCount(const std::string &file)
{
    report::ReportFileReader reader;
    reader.open(file);
    return reader.header().pageCount;
}

// The texts of one page whose X lies in [x0, x1).
inline std::vector<std::string> textsIn(
    const std::vector<PrintedText> &texts, int page, double x0, double x1)
{
    std::vector<std::string> out;
    for (const PrintedText &t : texts)
        if (t.page == page && t.x >= x0 - 1e-4 && t.x < x1 - 1e-4)
            out.push_back(t.text);
    return out;
}

// Registered once per test executable (inline: one instance however many files include it).
inline ::testing::Environment *const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);
