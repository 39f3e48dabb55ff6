#include "report_engine/qt/canvas_report.h"

#include <cmath>

#include <QPageLayout>
#include <QPrinterInfo>

namespace report {

QColor toQColor(Colour c)
{
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

TCanvasReport::TCanvasReport()
    : TBaseReport(m_qtMeasurer)
{
}

TCanvasReport::~TCanvasReport() = default;

void TCanvasReport::BindDevice(QPaintDevice *device, const DeviceInfo &info)
{
    m_qtMeasurer = QtTextMeasurer(device);
    m_info = info;
}

QPointF TCanvasReport::Map(double x, double y) const
{
    return QPointF(std::round((x * ScaleX() / 100 - m_info.offsetLeft) * m_info.ppiX),
        std::round((y * ScaleY() / 100 - m_info.offsetTop) * m_info.ppiY));
}

void TCanvasReport::DrawText(
    int justify, double x, double y, const std::string &text, double spreadWidth)
{
    const QFont f = makeQFont(CurrentFontSpec());
    m_painter.setFont(f);
    m_painter.setPen(toQColor(Font().colour));
    const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetricsF fm(f, m_painter.device());
    const double w = fm.horizontalAdvance(s);
    QPointF p = Map(x, y);
    if (justify == JustifyRight)
        p.rx() -= w;
    else if (justify == JustifyCenter)
        p.rx() -= w / 2;
    const qsizetype gaps = s.count(QLatin1Char(' '));
    const double spreadPx = spreadWidth * m_info.ppiX;
    if (justify == JustifySpread && gaps > 0 && spreadPx > w) {
        const double extra = (spreadPx - w) / static_cast<double>(gaps);
        double at = p.x();
        for (const QString &word : s.split(QLatin1Char(' '))) {
            m_painter.drawText(QPointF(at, p.y()), word);
            at += fm.horizontalAdvance(word + QLatin1Char(' ')) + extra;
        }
        return;
    }
    m_painter.drawText(p, s);
}

void TCanvasReport::DrawLine(double x1, double y1, double x2, double y2)
{
    QPen pen(toQColor(Pen().colour));
    pen.setWidth(Pen().widthPx);
    pen.setCapStyle(Qt::FlatCap);
    m_painter.setPen(pen);
    m_painter.drawLine(Map(x1, y1), Map(x2, y2));
}

void TCanvasReport::DrawTabShade(double x1, double y1, double x2, double y2, Colour c)
{
    m_painter.fillRect(QRectF(Map(x1, y1), Map(x2, y2)), toQColor(c));
}

void TCanvasReport::DrawRoundRect(double x1, double y1, double x2, double y2, double cw, double ch)
{
    QPen pen(toQColor(Pen().colour));
    pen.setWidth(Pen().widthPx);
    m_painter.setPen(pen);
    m_painter.setBrush(
        Brush().style == kBrushClear ? QBrush(Qt::NoBrush) : QBrush(toQColor(Brush().colour)));
    m_painter.drawRoundedRect(
        QRectF(Map(x1, y1), Map(x2, y2)), cw * m_info.ppiX / 2, ch * m_info.ppiY / 2);
    m_painter.setBrush(Qt::NoBrush);
}

void usePrintersPaper(QPrinter &printer, const QPrinterInfo &info)
{
    // A QPrinter starts on the locale's paper whatever the printer's own default is: a Letter
    // queue would be laid out on A4.
    const QPageSize paper = info.defaultPageSize();
    if (!info.isNull() && paper.isValid())
        printer.setPageSize(paper);
}

DeviceInfo defaultPrinterDevice()
{
    return printerDevice(QPrinterInfo::defaultPrinter());
}

DeviceInfo printerDevice(const QPrinterInfo &def)
{
    DeviceInfo info;
    if (def.isNull())
        return info;
    QPrinter p(def, QPrinter::HighResolution);
    usePrintersPaper(p, def);
    info.printerExists = true;
    info.ppiX = p.logicalDpiX();
    info.ppiY = p.logicalDpiY();
    const QPageLayout layout = p.pageLayout();
    const QSizeF paper = layout.fullRect(QPageLayout::Inch).size();
    info.sheetWidth = paper.width();
    info.sheetHeight = paper.height();
    const QMarginsF m = layout.margins(QPageLayout::Inch);
    info.offsetLeft = m.left();
    info.offsetRight = m.right();
    info.offsetTop = m.top();
    info.offsetBottom = m.bottom();
    info.deviceName = def.printerName().toStdString();
    info.driverName = def.makeAndModel().toStdString();
    info.portName = def.printerName().toStdString();
    info.paperSize = 256; // custom: the size fields carry it
    info.paperWidth = static_cast<int>(std::lround(paper.width() * 254));
    info.paperLength = static_cast<int>(std::lround(paper.height() * 254));
    return info;
}

// ---- printer --------------------------------------------------------------------------------

TReportPrinter::TReportPrinter()
    : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
}

TReportPrinter::~TReportPrinter() = default;

void TReportPrinter::SelectPrinterIndex(int index)
{
    CheckIdle();
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (printers.isEmpty())
        return;
    if (index < 0 || index >= printers.size())
        m_printer->setPrinterName(QPrinterInfo::defaultPrinter().printerName());
    else
        m_printer->setPrinterName(printers[index].printerName());
}

void TReportPrinter::SetPdfOutput(const QString &fileName)
{
    CheckIdle();
    m_pdf = fileName;
}

bool TReportPrinter::CanStart()
{
    if (m_pdf.isEmpty() && QPrinterInfo::availablePrinters().isEmpty()) {
        ShowMessage("No printers are defined, aborting print job.");
        return false;
    }
    return true;
}

bool TReportPrinter::BeginJob()
{
    QPrinter &p = *m_printer;
    if (!m_pdf.isEmpty()) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(m_pdf);
    } else {
        if (p.printerName().isEmpty())
            p.setPrinterName(QPrinterInfo::defaultPrinter().printerName());
        usePrintersPaper(p, QPrinterInfo::printerInfo(p.printerName()));
    }
    p.setFullPage(true); // positions are measured from the paper's edge
    p.setDocName(QString::fromStdString(Title().substr(0, 31)));
    p.setCopyCount(Copies());
    p.setPageOrientation(
        GetOrientation() == poLandScape ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (!m_painter.begin(&p)) {
        ShowMessage("Error initializing printer \"" + p.printerName().toStdString() + "\"");
        return false;
    }
    DeviceInfo info;
    info.printerExists = true;
    info.ppiX = p.logicalDpiX();
    info.ppiY = p.logicalDpiY();
    const QSizeF paper = p.pageLayout().fullRect(QPageLayout::Inch).size();
    info.sheetWidth = paper.width();
    info.sheetHeight = paper.height();
    info.deviceName = p.printerName().toStdString();
    info.driverName = "CUPS";
    info.portName = p.outputFileName().isEmpty() ? p.printerName().toStdString()
                                                 : p.outputFileName().toStdString();
    BindDevice(&p, info);
    m_firstPage = true;
    return true;
}

void TReportPrinter::BeginPage()
{
    if (!m_firstPage)
        m_printer->newPage();
    m_firstPage = false;
}

void TReportPrinter::EndJob(bool aborted)
{
    if (aborted)
        m_printer->abort();
    m_painter.end();
}

} // namespace report
