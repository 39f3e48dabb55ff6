#pragma once
// Report tables filled from a generated practice, and a report's rows as CSV.
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "practice.h"
#include "report_fixture.h"
#include "reports/report_catalogue.h"
#include "reports/report_layout.h"

// Appends the rows of the named tables of the practice generated from `seed` to `t`; `adjust`
// sets what the generator leaves out on each row before it is posted (`n` counts that table's
// rows from 0).
inline void loadPractice(ReportTables &t, const bench::PracticeSize &size, std::uint64_t seed,
    const std::set<std::string> &tables,
    const std::function<void(const std::string &table, dbf::Cursor &c, std::size_t n)> &adjust)
{
    for (const bench::GeneratedTable &g : bench::generatePractice(size, seed)) {
        const std::string name(g.def->name);
        if (!tables.count(name))
            continue;
        dbf::Cursor c(t.table(name));
        std::size_t n = 0;
        for (const bench::Row &row : g.rows) {
            c.append();
            for (std::size_t i = 0; i < g.def->fields.size(); ++i) {
                const dbf::FieldDef &f = g.def->fields[i];
                if (f.type == dbf::FieldType::Numeric || f.type == dbf::FieldType::Float)
                    c.setNumber(f.name, row.number[i]);
                else if (f.type != dbf::FieldType::Memo)
                    c.setText(f.name, row.text[i]);
            }
            adjust(name, c, n++);
            c.post();
        }
    }
}

// The report's rows as its CSV export writes them, with `today` as the run's day.
inline std::string reportCsv(ReportTables &t, const std::string &report,
    const reports::SelectionOptions &o, reports::DayNumber today = 0)
{
    reports::ReportContext context{ t.data(), o };
    context.today = today;
    reports::BorrowedCursors borrowed(context.data);
    auto layout = reports::makeLayout(*reports::findReport(report), context);
    layout->position();
    std::ostringstream out;
    EXPECT_TRUE(layout->writeCsv(out));
    return out.str();
}
