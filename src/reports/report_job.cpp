#include "reports/report_job.h"

#include <exception>

#include "report_engine/report_types.h"

namespace reports {

ReportJob::ReportJob(const ReportDef &def, ReportContext &context)
    : m_def(def)
    , m_context(context)
    , m_layout(makeLayout(def, context))
{
}

ReportJob::~ReportJob() = default;

template <typename F>
auto ReportJob::guarded(report::TBaseReport &r, F &&f) -> decltype(f())
{
    try {
        return f();
    } catch (const report::ReportAbort &) {
        throw; // the engine's own way out of a cancelled run
    } catch (const std::exception &e) {
        if (m_failure.empty())
            m_failure = e.what();
    } catch (...) {
        if (m_failure.empty())
            m_failure = "Unknown error.";
    }
    r.CancelReport();
    return decltype(f())();
}

void ReportJob::wire(report::TBaseReport &r)
{
    r.OnNewPage = nullptr;
    r.OnNewColumn = nullptr;
    r.OnEndOfSection = nullptr;
    r.OnAfterPrint = nullptr;
    r.OnPrint = nullptr;
    r.OnPrintPage = nullptr;
    r.OnPrintHeader = nullptr;
    r.OnPrintFooter = nullptr;

    const bool placeholder = dynamic_cast<NotYetAvailableLayout *>(m_layout.get()) != nullptr;
    const bool frame = m_def.commonHeader || placeholder;
    if (frame) {
        r.OnPrintHeader = [this](report::TBaseReport &rep) {
            guarded(rep, [&] {
                printCommonHeader(rep, m_context.texts);
                m_layout->printHeading(rep);
            });
        };
        r.OnPrintFooter = [this](report::TBaseReport &rep) {
            guarded(rep, [&] { printCommonFooter(rep, m_context.texts); });
        };
    }
    r.OnBeforePrint = [this](report::TBaseReport &rep) {
        applyCommonSettings(rep, m_def.layout == Layout::Labels);
        m_found = guarded(rep, [&] { return m_layout->position(); });
    };
    if (m_def.pageHandler || placeholder)
        r.OnPrintPage = [this](report::TBaseReport &rep, int) {
            return guarded(rep, [&] { return m_layout->printPage(rep); });
        };
    else
        r.OnPrint = [this](report::TBaseReport &rep) {
            guarded(rep, [&] { m_layout->print(rep); });
        };
}

} // namespace reports
