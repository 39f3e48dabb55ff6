#pragma once
// TCanvasReport draws the report straight onto a QPainter; TReportPrinter binds that painter to
// a print job on an installed printer (or a PDF file when asked to).
#include <memory>

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "report_engine/base_report.h"
#include "report_engine/qt/qt_text_measurer.h"

namespace report {

class TCanvasReport : public TBaseReport
{
public:
    TCanvasReport();
    ~TCanvasReport() override;

protected:
    // The painter and device the page is drawn on, set by the derived class at job start.
    void BindDevice(QPaintDevice *device, const DeviceInfo &info);
    QPainter &Painter() { return m_painter; }
    QPointF Map(double x, double y) const;

    DeviceInfo QueryDevice() override { return m_info; }
    void BeginPage() override { }
    void EndPage() override { }
    void DrawText(
        int justify, double x, double y, const std::string &text, double spreadWidth) override;
    void DrawLine(double x1, double y1, double x2, double y2) override;
    void DrawTabShade(double x1, double y1, double x2, double y2, Colour c) override;
    void DrawRoundRect(double x1, double y1, double x2, double y2, double cw, double ch) override;

    QtTextMeasurer m_qtMeasurer;
    QPainter m_painter;
    DeviceInfo m_info;
};

class TReportPrinter : public TCanvasReport
{
public:
    TReportPrinter();
    ~TReportPrinter() override;

    // Index into the installed printers, -1 for the default; only before the job starts.
    void SelectPrinterIndex(int index);
    // Prints into a PDF file instead of a printer queue (used by the tests and the benchmark).
    void SetPdfOutput(const QString &fileName);
    QPrinter &Printer() { return *m_printer; }

protected:
    bool CanStart() override;
    bool BeginJob() override;
    void EndJob(bool aborted) override;
    void BeginPage() override;

private:
    std::unique_ptr<QPrinter> m_printer;
    QString m_pdf;
    bool m_firstPage = true;
};

QColor toQColor(Colour c);

// The default printer as the file back end sees it (sheet, resolution, unprintable offsets,
// names); 8.5 x 11 inches at 96 pixels per inch, "Preview Only", when no printer is installed.
DeviceInfo defaultPrinterDevice();
// The same for the given printer (its default paper); the no-printer device when it is null.
DeviceInfo printerDevice(const QPrinterInfo &printer);
// Puts the printer on the paper its queue has as default: the sheet every layout is made for.
void usePrintersPaper(QPrinter &printer, const QPrinterInfo &info);

} // namespace report
