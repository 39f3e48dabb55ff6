#pragma once
// Helpers shared by the report engine tests: a back end that logs every primitive it is asked
// to draw, and recording a document into report file bytes.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "report_engine/base_report.h"
#include "report_engine/report_filer.h"

namespace report::test {

inline std::string fmt(const char *f, double a, double b)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, f, a, b);
    return buf;
}

// Logs "text J x y 'text'", "line x1 y1 x2 y2", "shade x1 y1 x2 y2 #colour", "box ...",
// "begin", "end", "page+" and "page-" with four decimals.
class LogReport : public TBaseReport
{
public:
    explicit LogReport(TextMeasurer &m)
        : TBaseReport(m)
    {
    }
    std::vector<std::string> log;
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto &l : log)
            if (l.rfind("text", 0) == 0)
                out.push_back(l);
        return out;
    }
    using TBaseReport::RefreshMetrics;

protected:
    bool BeginJob() override
    {
        log.push_back("begin");
        return true;
    }
    void EndJob(bool aborted) override { log.push_back(aborted ? "end aborted" : "end"); }
    DeviceInfo QueryDevice() override { return DeviceInfo{}; }
    void BeginPage() override { log.push_back("page+"); }
    void EndPage() override { log.push_back("page-"); }
    void DrawText(int j, double x, double y, const std::string &t, double spread) override
    {
        std::string l = "text " + std::to_string(j) + fmt(" %.4f %.4f", x, y) + " '" + t + "'";
        if (j == JustifySpread)
            l += fmt(" w %.4f%.0f", spread, 0);
        log.push_back(l);
    }
    void DrawLine(double x1, double y1, double x2, double y2) override
    {
        log.push_back("line" + fmt(" %.4f %.4f", x1, y1) + fmt(" %.4f %.4f", x2, y2));
    }
    void DrawTabShade(double x1, double y1, double x2, double y2, Colour c) override
    {
        char buf[16];
        std::snprintf(buf, sizeof buf, " #%06X", static_cast<unsigned>(c));
        log.push_back("shade" + fmt(" %.4f %.4f", x1, y1) + fmt(" %.4f %.4f", x2, y2) + buf);
    }
    void DrawRoundRect(double x1, double y1, double x2, double y2, double cw, double ch) override
    {
        log.push_back("box" + fmt(" %.4f %.4f", x1, y1) + fmt(" %.4f %.4f", x2, y2)
            + fmt(" %.4f %.4f", cw, ch));
    }
};

// Runs the document on a file back end writing into memory and returns the file's bytes.
inline std::string recordDocument(
    TextMeasurer &m, const TBaseReport::Event &onPrint, const TBaseReport::Event &before = {})
{
    std::stringstream out(std::ios::in | std::ios::out | std::ios::binary);
    TReportFiler filer(m);
    filer.SetStreamMode(StreamMode::smUser);
    filer.SetStream(&out);
    filer.SetTitle("Tarnwick");
    filer.OnBeforePrint = before;
    filer.OnPrint = onPrint;
    filer.RunReport();
    return out.str();
}

} // namespace report::test
