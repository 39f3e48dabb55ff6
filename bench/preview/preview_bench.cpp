// Writes a report file of N pages (default 2000), then times, over several runs, how long the
// preview window takes from show() to page 1 painted, and from "Go to Last Page" to the last page
// painted. With a second argument it saves screenshots of the window at 100 percent and at page
// width into that folder.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QToolButton>

#include "billing/preview_form.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/report_filer.h"

namespace {

void writeReport(const QString &file, int pages)
{
    report::QtTextMeasurer measurer;
    report::TReportFiler filer(measurer);
    filer.FileName = file.toStdString();
    filer.SetTitle("Tarnwick");
    filer.OnBeforePrint = [](report::TBaseReport &r) {
        r.SetMarginLeft(0.75);
        r.SetMarginTop(0.75);
    };
    filer.OnPrint = [pages](report::TBaseReport &r) {
        for (int p = 1; p <= pages; ++p) {
            if (p > 1)
                r.StartNextPage();
            r.CursorHome();
            r.UseFont("Arial", 14);
            r.UseBold(true);
            r.EmitLine("Client Statement - page " + std::to_string(p));
            r.UseBold(false);
            r.UseFont("Arial", 10);
            for (int l = 1; l <= 45; ++l)
                r.EmitLine("12/0" + std::to_string(1 + l % 9) + "/2026   Consultation, client file "
                    + std::to_string(p * 100 + l) + "   1.50 h   225.00");
        }
    };
    filer.RunReport();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;
    const QString shots = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("TWREPORT.RPT"));
    QElapsedTimer t;
    t.start();
    writeReport(file, pages);
    std::printf(
        "report file of %d pages written in %lld ms\n", pages, static_cast<long long>(t.elapsed()));

    std::vector<double> first, last;
    for (int run = 0; run < 7; ++run) {
        billing::TPreviewForm form(nullptr, file);
        auto *page = form.findChild<QScrollArea *>()->widget();
        t.restart();
        form.show();
        page->repaint();
        QApplication::processEvents();
        first.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        form.button(QStringLiteral("Go to Last Page"))->click();
        page->repaint();
        last.push_back(t.nsecsElapsed() / 1e6);
        if (run == 0 && !shots.isEmpty()) {
            // Without a window manager "maximized" is not applied: give the window a screen's size.
            form.setWindowState(Qt::WindowNoState);
            form.resize(1000, 760);
            form.button(QStringLiteral("Go to First Page"))->click();
            form.button(QStringLiteral("Go to Next Page"))->click();
            QApplication::processEvents();
            form.grab().save(QDir(shots).filePath(QStringLiteral("preview-100.png")));
            form.button(QStringLiteral("Zoom Page Width"))->click();
            QApplication::processEvents();
            form.grab().save(QDir(shots).filePath(QStringLiteral("preview-width.png")));
        }
        form.close();
    }
    std::printf("page 1 shown: median %.2f ms (min %.2f, max %.2f) over %zu runs\n", median(first),
        *std::min_element(first.begin(), first.end()),
        *std::max_element(first.begin(), first.end()), first.size());
    std::printf("last page shown: median %.2f ms (min %.2f, max %.2f)\n", median(last),
        *std::min_element(last.begin(), last.end()), *std::max_element(last.begin(), last.end()));
    return 0;
}
