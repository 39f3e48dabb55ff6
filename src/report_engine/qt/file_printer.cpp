#include "report_engine/qt/file_printer.h"

#include <cmath>
#include <optional>

#include <QApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include "report_engine/qt/canvas_report.h"

namespace report {

namespace {

QString latin1(const std::string &s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

struct ReplayState
{
    QPainter &painter;
    double ppiX, ppiY, zoom;
    int version;
    // font
    std::string face = "Arial";
    double height = 10.0 / 72, sampleWidth = 0;
    bool bold = false, italic = false, underline = false, strike = false;
    Colour fontColour = kBlack;
    bool fontDirty = true;
    QFont font{};
    // pen and brush
    Colour penColour = kBlack;
    int penStyle = kPenSolid;
    double penWidth = 1.0 / 96;
    Colour brushColour = kWhite;
    int brushStyle = kBrushClear;
    QPointF at{};

    QPointF map(double x, double y) const { return { x * ppiX * zoom, y * ppiY * zoom }; }

    QPen pen() const
    {
        QPen p(toQColor(penColour));
        p.setWidth(std::max(1, static_cast<int>(std::lround(ppiX * penWidth * zoom))));
        p.setCapStyle(Qt::FlatCap);
        if (penStyle == 5)
            p.setStyle(Qt::NoPen);
        return p;
    }
    QBrush brush() const
    {
        return brushStyle == kBrushClear ? QBrush(Qt::NoBrush) : QBrush(toQColor(brushColour));
    }

    // Selects the font; with a recorded sample width, shrinks it in steps of 1.1 device pixels
    // while the sample runs wider than it did at the writer.
    void applyFont()
    {
        if (!fontDirty)
            return;
        fontDirty = false;
        font = QFont(latin1(face));
        font.setBold(bold);
        font.setItalic(italic);
        font.setUnderline(underline);
        font.setStrikeOut(strike);
        font.setKerning(false);
        const double px = height * ppiY * zoom;
        const double ptPerPx = 72.0 / painter.device()->logicalDpiY();
        font.setPointSizeF(std::max(0.1, px * ptPerPx));
        if (version < 2000 || sampleWidth <= 0)
            return;
        const QString sample = latin1(std::string(rpt::kSampleText));
        const double target = sampleWidth * ppiX * zoom;
        double size = px;
        double w = QFontMetricsF(font, painter.device()).horizontalAdvance(sample);
        while (w > target + 0.01 && size > 1.2) {
            QFont smaller = font;
            smaller.setPointSizeF((size - 1.1) * ptPerPx);
            const double w2 = QFontMetricsF(smaller, painter.device()).horizontalAdvance(sample);
            if (w2 >= w) { // the step no longer narrows: back to the recorded height
                font.setPointSizeF(px * ptPerPx);
                return;
            }
            size -= 1.1;
            w = w2;
            font = smaller;
        }
    }

    void text(int justify, double x, double y, const std::string &s, double spread)
    {
        applyFont();
        painter.setFont(font);
        painter.setPen(toQColor(fontColour));
        const QString q = latin1(s);
        const QFontMetricsF fm(font, painter.device());
        const double w = fm.horizontalAdvance(q);
        QPointF p = map(x, y);
        if (justify == JustifyRight)
            p.rx() -= w;
        else if (justify == JustifyCenter)
            p.rx() -= w / 2;
        const double spreadPx = spread * ppiX * zoom;
        const qsizetype gaps = q.count(QLatin1Char(' '));
        if (justify == JustifySpread && gaps > 0 && spreadPx > w) {
            const double extra = (spreadPx - w) / static_cast<double>(gaps);
            double cur = p.x();
            for (const QString &word : q.split(QLatin1Char(' '))) {
                painter.drawText(QPointF(cur, p.y()), word);
                cur += fm.horizontalAdvance(word + QLatin1Char(' ')) + extra;
            }
            return;
        }
        painter.drawText(p, q);
    }
};

} // namespace

void replayPage(ReportFileReader &reader, QPainter &painter, double ppiX, double ppiY, double zoom)
{
    ReplayState st{ painter, ppiX, ppiY, zoom, reader.header().version };
    std::optional<QTransform> savedTransform;
    Record r;
    auto pt = [&](std::size_t i) { return st.map(r.num(i), r.num(i + 1)); };
    while (reader.next(r)) {
        switch (r.code) {
        case rpt::CenterText:
            st.text(JustifyCenter, r.num(1), r.num(0), r.text, 0);
            break;
        case rpt::LeftText:
            st.text(JustifyLeft, r.num(1), r.num(0), r.text, 0);
            break;
        case rpt::RightText:
            st.text(JustifyRight, r.num(1), r.num(0), r.text, 0);
            break;
        case rpt::SpreadText:
        case rpt::OldSpreadText:
            st.text(JustifySpread, r.num(1), r.num(0), r.text, r.num(2));
            break;
        case rpt::TextRect:
            st.text(JustifyLeft, r.num(4), r.num(5), r.text, 0);
            break;
        case rpt::MoveTo:
            st.at = pt(0);
            break;
        case rpt::LineTo:
            painter.setPen(st.pen());
            painter.drawLine(st.at, pt(0));
            st.at = pt(0);
            break;
        case rpt::Rectangle:
        case rpt::FrameRect:
        case rpt::FocusRect:
            painter.setPen(st.pen());
            painter.setBrush(r.code == rpt::Rectangle ? st.brush() : QBrush(Qt::NoBrush));
            painter.drawRect(QRectF(pt(0), pt(2)));
            break;
        case rpt::FillRect:
        case rpt::TabRectangle:
            painter.fillRect(QRectF(pt(0), pt(2)),
                st.brush().style() == Qt::NoBrush ? QBrush(toQColor(st.brushColour)) : st.brush());
            break;
        case rpt::RoundRect:
            painter.setPen(st.pen());
            painter.setBrush(st.brush());
            painter.drawRoundedRect(
                QRectF(pt(0), pt(2)), r.num(4) * ppiX * zoom / 2, r.num(5) * ppiY * zoom / 2);
            break;
        case rpt::Ellipse:
            painter.setPen(st.pen());
            painter.setBrush(st.brush());
            painter.drawEllipse(QRectF(pt(0), pt(2)));
            break;
        case rpt::Polygon:
        case rpt::PolyLine: {
            QPolygonF poly;
            for (std::size_t i = 1; i + 1 < r.operands.size(); i += 2)
                poly << pt(i);
            painter.setPen(st.pen());
            painter.setBrush(r.code == rpt::Polygon ? st.brush() : QBrush(Qt::NoBrush));
            if (r.code == rpt::Polygon)
                painter.drawPolygon(poly);
            else
                painter.drawPolyline(poly);
            break;
        }
        case rpt::BrushColour:
            st.brushColour = static_cast<Colour>(r.num(0));
            break;
        case rpt::BrushStyle:
            st.brushStyle = static_cast<int>(r.num(0));
            break;
        case rpt::OldBrush:
            st.brushColour = static_cast<Colour>(r.num(0));
            st.brushStyle = static_cast<int>(r.num(1));
            break;
        case rpt::FontName:
            st.face = r.text;
            st.fontDirty = true;
            break;
        case rpt::FontColour:
            st.fontColour = static_cast<Colour>(r.num(0));
            break;
        case rpt::FontHeight:
            st.height = r.num(0);
            st.sampleWidth = r.operands.size() > 1 ? r.num(1) : 0;
            st.fontDirty = true;
            break;
        case rpt::FontBold:
            st.bold = r.num(0) != 0;
            st.fontDirty = true;
            break;
        case rpt::FontItalic:
            st.italic = r.num(0) != 0;
            st.fontDirty = true;
            break;
        case rpt::FontUnderline:
            st.underline = r.num(0) != 0;
            st.fontDirty = true;
            break;
        case rpt::FontStrikeOut:
            st.strike = r.num(0) != 0;
            st.fontDirty = true;
            break;
        case rpt::OldFont: {
            st.face = r.text;
            st.fontColour = static_cast<Colour>(r.num(0));
            const std::size_t h = st.version >= 2018 ? 3 : 2;
            st.height = r.num(h);
            st.bold = r.num(h + 1) != 0;
            st.underline = r.num(h + 2) != 0;
            st.italic = r.num(h + 3) != 0;
            st.strike = r.num(h + 4) != 0;
            st.sampleWidth = 0;
            st.fontDirty = true;
            break;
        }
        case rpt::PenColour:
            st.penColour = static_cast<Colour>(r.num(0));
            break;
        case rpt::PenStyle:
            st.penStyle = static_cast<int>(r.num(0));
            break;
        case rpt::PenWidth:
            st.penWidth = r.num(0);
            break;
        case rpt::OldPen:
            st.penColour = static_cast<Colour>(r.num(0));
            st.penStyle = static_cast<int>(r.num(2));
            st.penWidth = r.num(3);
            break;
        case rpt::PageOrientation:
            // A landscape page inside a portrait file: turn this page and undo it afterwards.
            if (!savedTransform && r.num(0) == 1) {
                savedTransform = painter.transform();
                painter.translate(0, painter.device()->height());
                painter.rotate(-90);
            }
            break;
        default: // scale, background, raw data, drawing modes, graphics: nothing to draw here
            break;
        }
    }
    if (savedTransform)
        painter.setTransform(*savedTransform);
}

// ---- TFilePrinter ---------------------------------------------------------------------------

TFilePrinter::TFilePrinter() = default;
TFilePrinter::~TFilePrinter() = default;

void TFilePrinter::Open()
{
    m_reader.open(FileName.toStdString());
}

void TFilePrinter::Close()
{
    m_reader.close();
}

int TFilePrinter::PageCount() const
{
    return m_reader.header().pageCount;
}

bool TFilePrinter::Print()
{
    auto fail = [&](const std::string &m) {
        if (OnMessage)
            OnMessage(m);
        else
            throw ReportError(m);
        return false;
    };
    if (PdfOutput.isEmpty() && QPrinterInfo::availablePrinters().isEmpty())
        return fail("No printers are defined, aborting print job.");
    if (!m_reader.isOpen())
        Open();
    const FileHeader &h = m_reader.header();
    QPrinter printer(QPrinter::HighResolution);
    if (!PdfOutput.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(PdfOutput);
    } else if (!PrinterName.isEmpty()) {
        if (QPrinterInfo::printerInfo(PrinterName).isNull())
            return fail("Error initializing printer \"" + PrinterName.toStdString() + "\"");
        printer.setPrinterName(PrinterName);
    } else if (!h.printerName.empty()) {
        const QPrinterInfo named = QPrinterInfo::printerInfo(QString::fromStdString(h.printerName));
        if (!named.isNull())
            printer.setPrinterName(named.printerName());
    }
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QSizeF(h.sheetWidth, h.sheetHeight), QPageSize::Inch));
    printer.setPageOrientation(h.orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setCopyCount(Copies > 0 ? Copies : std::max(1, h.copies));
    printer.setDocName(latin1(h.title.substr(0, 31)));
    QPainter painter;
    if (!painter.begin(&printer))
        return fail("Error initializing printer \"" + printer.printerName().toStdString() + "\"");
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int count = PageCount();
    const bool reverse = PageOrder.contains(QLatin1Char('R'), Qt::CaseInsensitive);
    bool ok = true;
    try {
        for (int i = 0; i < count; ++i) {
            const int n = reverse ? count - i : i + 1;
            if (!m_reader.gotoPage(n))
                break;
            if (i > 0)
                printer.newPage();
            replayPage(m_reader, painter, printer.logicalDpiX(), printer.logicalDpiY(), 1.0);
        }
    } catch (const ReportError &e) {
        printer.abort();
        ok = false;
        painter.end();
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            QGuiApplication::restoreOverrideCursor();
        return fail(e.what());
    }
    painter.end();
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
    return ok;
}

// ---- TFilePreview ---------------------------------------------------------------------------

bool TFilePreview::RenderPage(int n, QPainter &painter, double screenPpi, double zoomPercent)
{
    if (!m_reader.isOpen())
        Open();
    if (!m_reader.gotoPage(n))
        return false;
    const PageHeader &p = m_reader.page();
    const double z = zoomPercent / 100.0;
    painter.fillRect(QRectF(0, 0, p.width * screenPpi * z, p.height * screenPpi * z), Qt::white);
    replayPage(m_reader, painter, screenPpi, screenPpi, z);
    return true;
}

} // namespace report
