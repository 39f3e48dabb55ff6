// Writes a tabular report of N pages (default 2000) into a report file, replays it into a PDF
// and prints pages per second for each step. Run by hand:
//   QT_QPA_PLATFORM=offscreen tarnw-bench-report [pages] [directory]
#include <chrono>
#include <cstdio>
#include <string>

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include "report_engine/qt/file_printer.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/report_filer.h"

using namespace report;
using Clock = std::chrono::steady_clock;

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    QTemporaryDir tmp;
    const QString dir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();

    QtTextMeasurer measurer;
    TReportFiler filer(measurer);
    filer.FileName = (dir + QStringLiteral("/TWREPORT.RPT")).toStdString();
    filer.SetTitle("Tarnwick");
    int rows = 0;
    filer.OnBeforePrint = [](TBaseReport &r) {
        r.SetMarginLeft(0.5);
        r.SetMarginRight(0.5);
        r.SetMarginTop(0.5);
        r.SetMarginBottom(1);
    };
    filer.OnPrintHeader = [](TBaseReport &r) {
        r.UseFont("Times New Roman", 14);
        r.UseBold(true);
        r.EmitCenteredAt("Client Listing", r.PageWidthInches() / 2);
        r.UseFont("Times New Roman", 10);
        r.AdvanceLine();
        r.ClearTabStops();
        r.AddTabStop(-32768, JustifyLeft, 0.8, 5, BOXLINEALL, 0);
        r.AddTabStop(-32768, JustifyLeft, 3.0, 5, BOXLINEALL, 0);
        r.AddTabStop(-32768, JustifyLeft, 1.8, 5, BOXLINEALL, 0);
        r.AddTabStop(-32768, JustifyRight, 1.9, 5, BOXLINEALL, 10);
        r.EmitLine("\tClient\tName\tContact\tBalance");
    };
    filer.OnPrintFooter = [](TBaseReport &r) {
        r.SetMarginBottom(0.5);
        r.EmitAtBottom("Page " + std::to_string(r.CurrentPage()), JustifyRight);
        r.SetMarginBottom(1);
    };
    filer.OnPrintPage = [&](TBaseReport &r, int page) {
        while (r.LinesRemaining() > 0) {
            ++rows;
            r.EmitLine("\t" + std::to_string(100000 + rows) + "\tClient number "
                + std::to_string(rows) + " and Partners\tContact " + std::to_string(rows % 97)
                + "\t" + std::to_string(rows * 37 % 100000) + ".00");
        }
        return page < pages;
    };
    auto t0 = Clock::now();
    filer.RunReport();
    auto t1 = Clock::now();

    TFilePrinter printer;
    printer.FileName = QString::fromStdString(filer.FileName);
    printer.PdfOutput = dir + QStringLiteral("/replay.pdf");
    if (!printer.Print())
        return 1;
    auto t2 = Clock::now();

    const double w = std::chrono::duration<double>(t1 - t0).count();
    const double p = std::chrono::duration<double>(t2 - t1).count();
    std::printf("pages %d, rows %d\n", pages, rows);
    std::printf("record to report file: %.2f s, %.0f pages/s, file %lld bytes\n", w, pages / w,
        static_cast<long long>(QFileInfo(printer.FileName).size()));
    std::printf("replay to PDF:         %.2f s, %.0f pages/s, pdf %lld bytes\n", p, pages / p,
        static_cast<long long>(QFileInfo(printer.PdfOutput).size()));
    return 0;
}
