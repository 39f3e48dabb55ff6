#pragma once
// One run of a catalogue report on a back end: the report's layout wired onto the engine's
// events as the catalogue wires it. OnBeforePrint applies the common settings and lets the
// layout position its data; the page header and footer are the common ones unless the report
// has none.
//
// A failure inside a handler (an engine error of a table) never leaves the engine: the job
// cancels the run, keeps the message and the run ends as cancelled; the caller tells the user
// (failure()) after the status window has closed.
#include <memory>
#include <string>

#include "reports/report_layout.h"

namespace reports {

class ReportJob
{
public:
    // Requires: def and context outlive the job.
    ReportJob(const ReportDef &def, ReportContext &context);
    ~ReportJob();

    // Sets every event of the report (events the catalogue does not use are cleared).
    void wire(report::TBaseReport &r);

    const ReportDef &def() const { return m_def; }
    ReportLayout &layout() const { return *m_layout; }
    bool foundData() const { return m_found; }
    // The message of the failure that stopped the run; empty when none did.
    const std::string &failure() const { return m_failure; }

private:
    template <typename F>
    auto guarded(report::TBaseReport &r, F &&f) -> decltype(f());

    const ReportDef &m_def;
    ReportContext &m_context;
    std::unique_ptr<ReportLayout> m_layout;
    bool m_found = false;
    std::string m_failure;
};

} // namespace reports
