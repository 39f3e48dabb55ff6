#include "report_engine/base_report.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "report_engine/memo_buf.h"

namespace report {

namespace {
constexpr double kEpsilon = 1e-9;
constexpr std::size_t kMaxFaceName = 60;

std::vector<std::string> splitTabs(const std::string &text)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == '\t')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}
} // namespace

TBaseReport::TBaseReport(TextMeasurer &measurer)
    : m_measurer(measurer)
{
}

TBaseReport::~TBaseReport() = default;

// ---- job settings ---------------------------------------------------------------------------

void TBaseReport::CheckIdle() const
{
    if (m_printing)
        throw ReportError(kAlreadyPrinting);
}

void TBaseReport::SetMarginLeft(double v)
{
    m_marginLeft = In(v);
    m_areaLeft = m_marginLeft;
    ClampCursor();
}

void TBaseReport::SetMarginRight(double v)
{
    m_marginRight = In(v);
    m_areaRight = m_device.sheetWidth - m_marginRight;
    ClampCursor();
}

void TBaseReport::SetMarginTop(double v)
{
    m_marginTop = In(v);
    m_areaTop = m_marginTop;
    ClampCursor();
}

void TBaseReport::SetMarginBottom(double v)
{
    m_marginBottom = In(v);
    m_areaBottom = m_device.sheetHeight - m_marginBottom;
    ClampCursor();
}

void TBaseReport::SetUnitsFactor(double v)
{
    CheckIdle();
    if (v > 0)
        m_unitsFactor = v;
}

void TBaseReport::SetCopies(int n)
{
    CheckIdle();
    m_copies = std::max(1, n);
}

void TBaseReport::SetOrientation(Orientation o)
{
    CheckIdle();
    m_orientation = o;
}

void TBaseReport::SetTitle(const std::string &t)
{
    CheckIdle();
    m_title = t;
}

void TBaseReport::SetScale(double scaleX, double scaleY)
{
    CheckIdle();
    m_scaleX = scaleX;
    m_scaleY = scaleY;
}

void TBaseReport::SetPageRange(int first, int last)
{
    CheckIdle();
    m_firstPage = first;
    m_lastPage = last;
}

void TBaseReport::ClampCursor()
{
    m_cursorX =
        std::clamp(m_cursorX, std::min(m_areaLeft, m_areaRight), std::max(m_areaLeft, m_areaRight));
    if (m_cursorY < m_areaTop)
        m_cursorY = m_areaTop;
    if (m_cursorY > m_areaBottom)
        m_cursorY = m_areaBottom;
}

void TBaseReport::ApplyMargins()
{
    m_areaLeft = m_marginLeft;
    m_areaRight = m_device.sheetWidth - m_marginRight;
    m_areaTop = m_marginTop;
    m_areaBottom = m_device.sheetHeight - m_marginBottom;
}

// ---- run ------------------------------------------------------------------------------------

void TBaseReport::ShowMessage(const std::string &text)
{
    if (OnMessage)
        OnMessage(text);
    else
        throw ReportError(text);
}

void TBaseReport::RunReport()
{
    CheckIdle();
    if (!CanStart())
        return;
    m_startTime = std::chrono::steady_clock::now();
    m_aborted = false;
    m_page = 0;
    if (OnBeforePrint)
        OnBeforePrint(*this);
    m_device = QueryDevice();
    if (!BeginJob())
        return;
    m_device = QueryDevice();
    ApplyMargins();
    m_printing = true;
    m_pageBegun = false;
    m_metricsDirty = true;
    try {
        const std::vector<TabCell> tabs = m_tabs;
        ResetPageState();
        m_tabs = tabs;
        m_page = 1;
        DecideExcluded();
        BeginPageIfIncluded();
        ShowStatus();
        if (OnNewPage)
            OnNewPage(*this);
        if (OnPrintHeader)
            OnPrintHeader(*this);
        if (OnPrint || !OnPrintPage) {
            if (OnPrint)
                OnPrint(*this);
        } else {
            while (true) {
                const bool more = OnPrintPage(*this, m_page);
                if (!more || m_aborted)
                    break;
                StartNextPage();
            }
        }
    } catch (const ReportAbort &) {
        m_aborted = true;
        Finish();
        return;
    } catch (...) {
        // A document that failed half-way is not a finished job: no footer, job aborted.
        m_aborted = true;
        Finish();
        throw;
    }
    Finish();
}

void TBaseReport::Finish()
{
    try {
        if (!m_aborted && OnPrintFooter)
            OnPrintFooter(*this);
    } catch (const ReportAbort &) {
        m_aborted = true;
    } catch (...) {
        CloseDevicePage();
        ReleaseFonts();
        EndJob(true);
        m_printing = false;
        throw;
    }
    CloseDevicePage();
    ReleaseFonts();
    EndJob(m_aborted);
    m_printing = false;
    if (OnAfterPrint)
        OnAfterPrint(*this);
}

void TBaseReport::CancelReport()
{
    m_aborted = true;
    m_pageExcluded = true;
}

void TBaseReport::DecideExcluded()
{
    m_pageExcluded = m_aborted || m_page < m_firstPage || m_page > m_lastPage;
}

void TBaseReport::BeginPageIfIncluded()
{
    if (!m_pageExcluded) {
        BeginPage();
        m_pageBegun = true;
    }
}

// A page begun on the device is always closed, even when a cancel excluded it meanwhile.
void TBaseReport::CloseDevicePage()
{
    if (m_pageBegun)
        EndPage();
    m_pageBegun = false;
}

void TBaseReport::StartNextPage()
{
    if (!m_printing)
        throw ReportError(kNotPrinting);
    if (m_aborted)
        throw ReportAbort();
    if (OnPrintFooter)
        OnPrintFooter(*this);
    CloseDevicePage();
    ++m_page;
    ShowStatus();
    DecideExcluded();
    m_originX = m_originY = 0;
    m_tabIndex = -1;
    m_cellPending = false;
    ApplyMargins();
    CursorHome();
    BeginPageIfIncluded();
    if (OnNewPage)
        OnNewPage(*this);
    if (OnPrintHeader)
        OnPrintHeader(*this);
}

void TBaseReport::ShowStatus()
{
    std::string out;
    const std::string &f = StatusFormat;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%' || i + 1 >= f.size()) {
            out += f[i];
            continue;
        }
        const char c = f[++i];
        const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c >= '0' && c <= '9') {
            const auto n = static_cast<std::size_t>(c - '0');
            if (n < StatusText.size())
                out += StatusText[n];
        } else if (c == '%') {
            out += '%';
        } else if (u == 'P') {
            out += std::to_string(m_page);
        } else if (u == 'F') {
            out += std::to_string(m_firstPage);
        } else if (u == 'L') {
            out += std::to_string(m_lastPage);
        } else if (u == 'D') {
            out += m_device.deviceName;
        } else if (u == 'R') {
            out += m_device.driverName;
        } else if (u == 'T') {
            out += m_device.portName;
        } else {
            out += "<ERROR-%";
            out += u;
            out += '>';
        }
    }
    m_statusLabel = out;
    if (OnStatus)
        OnStatus(m_statusLabel);
    if (OnProcessMessages)
        OnProcessMessages();
}

bool TBaseReport::CheckDrawing()
{
    if (!m_printing)
        throw ReportError(kNotPrinting);
    if (m_aborted)
        throw ReportAbort();
    return !m_pageExcluded;
}

// ---- fonts ----------------------------------------------------------------------------------

void TBaseReport::UseFont(const std::string &face, double points)
{
    if (points <= 0)
        return;
    m_font = ReportFont{};
    m_font.name = face.substr(0, kMaxFaceName);
    m_font.points = points;
    m_font.heightPx =
        static_cast<int>(std::lround(points / 72.0 * m_device.ppiY * m_scaleY / 100.0));
    m_metricsDirty = true;
}

void TBaseReport::UseBold(bool on)
{
    m_font.bold = on;
    m_metricsDirty = true;
}

void TBaseReport::UseItalic(bool on)
{
    m_font.italic = on;
    m_metricsDirty = true;
}

void TBaseReport::UseUnderline(bool on)
{
    m_font.underline = on;
    m_metricsDirty = true;
}

void TBaseReport::UseStrikeOut(bool on)
{
    m_font.strikeOut = on;
    m_metricsDirty = true;
}

void TBaseReport::UseFontColor(Colour c)
{
    m_font.colour = c;
}

FontSpec TBaseReport::CurrentFontSpec() const
{
    FontSpec s;
    s.name = m_font.name;
    s.heightPx = m_font.heightPx;
    s.ppiX = m_device.ppiX;
    s.ppiY = m_device.ppiY;
    s.bold = m_font.bold;
    s.italic = m_font.italic;
    s.underline = m_font.underline;
    s.strikeOut = m_font.strikeOut;
    return s;
}

void TBaseReport::RefreshMetrics()
{
    if (!m_metricsDirty)
        return;
    // The height was computed for the device of its time; a new device (job start) rescales it.
    m_font.heightPx =
        static_cast<int>(std::lround(m_font.points / 72.0 * m_device.ppiY * m_scaleY / 100.0));
    const FontMetricsPx m = m_measurer.metrics(CurrentFontSpec());
    m_ascent = m.ascent / m_device.ppiY;
    m_descent = m.descent / m_device.ppiY;
    m_internalLeading = m.internalLeading / m_device.ppiY;
    m_metricsDirty = false;
}

double TBaseReport::LineHeight()
{
    if (m_lineHeightMethod == LineHeightMethod::lhmLinesPerInch)
        return 1.0 / m_linesPerInch;
    return m_font.points / 60.0;
}

double TBaseReport::Ascent()
{
    RefreshMetrics();
    return m_ascent;
}

double TBaseReport::Descent()
{
    RefreshMetrics();
    return m_descent;
}

double TBaseReport::TextWidth(const std::string &text)
{
    RefreshMetrics();
    return m_measurer.width(CurrentFontSpec(), text) / m_device.ppiX;
}

// ---- layout ---------------------------------------------------------------------------------

void TBaseReport::SetAreaTop(double y)
{
    m_areaTop = In(y);
    if (m_cursorY < m_areaTop)
        m_cursorY = m_areaTop;
}

void TBaseReport::SetAreaBottom(double y)
{
    m_areaBottom = In(y);
    if (m_cursorY > m_areaBottom)
        m_cursorY = m_areaBottom;
}

void TBaseReport::MoveCursor(double x, double y)
{
    m_cursorX = In(x);
    m_cursorY = In(y);
}

void TBaseReport::CursorHome()
{
    RefreshMetrics();
    m_lineNumber = 1;
    m_cursorX = m_areaLeft;
    m_cursorY = m_areaTop + LineHeight() - m_descent;
    m_tabIndex = -1;
    m_cellPending = false;
}

void TBaseReport::AdvanceLine()
{
    RefreshMetrics();
    ++m_lineNumber;
    m_cursorY += LineHeight();
    m_cursorX = m_areaLeft;
    m_tabIndex = -1;
    m_cellPending = false;
    if (m_cursorY + m_descent > m_areaBottom && OnEndOfSection)
        OnEndOfSection(*this);
}

int TBaseReport::LinesRemaining()
{
    RefreshMetrics();
    const double b = m_cursorY + m_descent;
    if (b > m_areaBottom + kEpsilon)
        return 0;
    return static_cast<int>(std::trunc((m_areaBottom - b) / LineHeight() + kEpsilon)) + 1;
}

void TBaseReport::MoveOrigin(double x, double y)
{
    m_originX = In(x);
    m_originY = In(y);
}

void TBaseReport::ResetPageState()
{
    m_pen = ReportPen{};
    m_pen.widthInches = 1.0 / m_device.ppiX;
    m_brush = ReportBrush{};
    m_originX = m_originY = 0;
    ApplyMargins();
    m_tabs.clear();
    CursorHome();
}

// ---- text -----------------------------------------------------------------------------------

void TBaseReport::EmitPiece(int justify, double x, const std::string &text, double spreadWidth)
{
    RefreshMetrics();
    const double w = TextWidth(text);
    switch (justify) {
    case JustifyRight:
        m_cursorX = x;
        break;
    case JustifyCenter:
        m_cursorX = x + w / 2;
        break;
    case JustifySpread:
        m_cursorX = x + std::max(w, spreadWidth);
        break;
    default:
        m_cursorX = x + w;
        break;
    }
    if (!text.empty()) {
        DrawText(justify, x + m_originX, m_cursorY + m_originY, text, spreadWidth);
        AfterText();
    }
}

bool TBaseReport::AdvanceTab()
{
    if (m_tabIndex + 1 >= static_cast<int>(m_tabs.size())) {
        m_cellPending = false;
        return false;
    }
    ++m_tabIndex;
    m_cellPending = true;
    const TabCell &cell = m_tabs[static_cast<std::size_t>(m_tabIndex)];
    if (cell.width <= 0)
        return true;
    const double top = m_cursorY + m_descent - LineHeight();
    const double bottom = m_cursorY + m_descent;
    const double x1 = cell.position, x2 = cell.position + cell.width;
    const int shade = cell.shade != 0 ? cell.shade : m_tabShade;
    if (shade > 0) {
        const int s = std::min(shade, 100);
        const int c = 0 + (100 - s) * (255 - 0) / 100; // black mixed toward white
        DrawTabShade(
            x1 + m_originX, top + m_originY, x2 + m_originX, bottom + m_originY, rgb(c, c, c));
    }
    const double ox = m_originX, oy = m_originY;
    if (cell.boxLines & BOXLINELEFT)
        DrawLine(x1 + ox, top + oy, x1 + ox, bottom + oy);
    if (cell.boxLines & BOXLINERIGHT)
        DrawLine(x2 + ox, top + oy, x2 + ox, bottom + oy);
    if (cell.boxLines & BOXLINETOP)
        DrawLine(x1 + ox, top + oy, x2 + ox, top + oy);
    if (cell.boxLines & BOXLINEBOTTOM)
        DrawLine(x1 + ox, bottom + oy, x2 + ox, bottom + oy);
    return true;
}

void TBaseReport::PrintIntoCell(const TabCell &cell, const std::string &text)
{
    if (cell.width <= 0) {
        EmitPiece(
            cell.justify == JustifySpread ? JustifyLeft : cell.justify, cell.position, text, 0);
        return;
    }
    switch (cell.justify) {
    case JustifyRight:
        EmitPiece(JustifyRight, cell.position + cell.width - cell.margin, text, 0);
        break;
    case JustifyCenter:
        EmitPiece(JustifyCenter, cell.position + cell.width / 2, text, 0);
        break;
    case JustifySpread:
        EmitPiece(JustifySpread, cell.position + cell.margin, text, cell.width - 2 * cell.margin);
        break;
    default:
        EmitPiece(JustifyLeft, cell.position + cell.margin, text, 0);
        break;
    }
}

void TBaseReport::EmitText(const std::string &text)
{
    CheckDrawing(); // on an excluded page the layout advances and nothing is drawn
    RefreshMetrics();
    const std::vector<std::string> parts = splitTabs(text);
    const bool excluded = m_pageExcluded;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        bool inCell = false;
        if (i == 0) {
            inCell = m_cellPending;
        } else {
            inCell = excluded ? false : AdvanceTab();
        }
        const bool last = i + 1 == parts.size();
        if (inCell && parts[i].empty() && last && i > 0)
            continue; // the cell stays pending for the next EmitText
        if (excluded)
            continue;
        if (inCell) {
            m_cellPending = false;
            PrintIntoCell(m_tabs[static_cast<std::size_t>(m_tabIndex)], parts[i]);
        } else {
            EmitPiece(JustifyLeft, m_cursorX, parts[i], 0);
        }
    }
}

void TBaseReport::EmitLine(const std::string &text)
{
    EmitText(text);
    AdvanceLine();
}

void TBaseReport::EmitLeftAt(const std::string &text, double x)
{
    if (!CheckDrawing())
        return;
    const double start = In(x);
    const std::vector<std::string> parts = splitTabs(text);
    double at = start;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            const double steps = std::floor((m_cursorX - start) / 0.5 + kEpsilon) + 1;
            at = start + steps * 0.5;
        }
        EmitPiece(JustifyLeft, at, parts[i], 0);
    }
}

void TBaseReport::EmitCenteredAt(const std::string &text, double x)
{
    if (!CheckDrawing())
        return;
    EmitPiece(JustifyCenter, In(x), text, 0);
}

void TBaseReport::EmitRightAt(const std::string &text, double x)
{
    if (!CheckDrawing())
        return;
    EmitPiece(JustifyRight, In(x), text, 0);
}

void TBaseReport::EmitAtXY(double x, double y, const std::string &text)
{
    m_cursorY = In(y);
    EmitLeftAt(text, x);
}

void TBaseReport::EmitAtBottom(const std::string &text, int justify)
{
    if (!CheckDrawing())
        return;
    RefreshMetrics();
    m_cursorX = m_areaLeft;
    m_cursorY = m_areaBottom - m_descent;
    TabCell cell;
    cell.position = m_areaLeft;
    cell.width = m_areaRight - m_areaLeft;
    cell.justify = justify;
    PrintIntoCell(cell, text);
}

// ---- tab cells ------------------------------------------------------------------------------

void TBaseReport::AddTabStop(
    double position, int justify, double width, double marginHundredths, int boxLines, int shade)
{
    TabCell cell;
    if (position < 0) {
        cell.position =
            m_tabs.empty() ? m_marginLeft : m_tabs.back().position + m_tabs.back().width;
    } else {
        cell.position = In(position);
    }
    cell.justify = justify;
    cell.width = std::max(0.0, In(width));
    if (cell.width > 0) {
        cell.margin = marginHundredths / 100.0;
        cell.boxLines = boxLines;
        cell.shade = std::clamp(shade, 0, 100);
    }
    m_tabs.push_back(cell);
}

void TBaseReport::ClearTabStops()
{
    m_tabs.clear();
    m_tabIndex = -1;
    m_cellPending = false;
}

// ---- lines and boxes ------------------------------------------------------------------------

void TBaseReport::SetLinePen(Colour colour, int style, int width, int mode)
{
    m_pen.colour = colour;
    m_pen.style = style;
    m_pen.mode = mode;
    double inches;
    if (width >= 0) {
        inches = width / m_device.ppiX;
    } else if (-width < 10000) {
        inches = -width / 100.0;
    } else {
        inches = (-width - 10000) / 10000.0;
    }
    int px = static_cast<int>(std::lround(inches * m_device.ppiX));
    if (px <= 0) {
        px = 1;
        inches = 1 / m_device.ppiX;
    }
    m_pen.widthInches = inches;
    m_pen.widthPx = px;
}

void TBaseReport::PenMoveTo(double x, double y)
{
    m_penX = In(x);
    m_penY = In(y);
}

void TBaseReport::PenLineTo(double x, double y)
{
    const double tx = In(x), ty = In(y);
    if (CheckDrawing())
        DrawLine(m_penX + m_originX, m_penY + m_originY, tx + m_originX, ty + m_originY);
    m_penX = tx;
    m_penY = ty;
}

void TBaseReport::SetFill(Colour colour, int style)
{
    m_brush.colour = colour;
    m_brush.style = style;
}

void TBaseReport::DrawRoundedBox(
    double x1, double y1, double x2, double y2, double cornerW, double cornerH)
{
    if (!CheckDrawing())
        return;
    DrawRoundRect(In(x1) + m_originX, In(y1) + m_originY, In(x2) + m_originX, In(y2) + m_originY,
        In(cornerW), In(cornerH));
}

// ---- memo -----------------------------------------------------------------------------------

int TBaseReport::CountMemoLines(TMemoBuf &memo)
{
    memo.BaseReport = this;
    RefreshMetrics();
    const TMemoBuf::Saved saved = memo.Save();
    int count = 0;
    std::string line;
    try {
        while (memo.NextLine(line))
            ++count;
    } catch (...) {
        memo.Restore(saved);
        throw;
    }
    memo.Restore(saved);
    return count;
}

void TBaseReport::EmitMemo(TMemoBuf &memo, int maxLines, bool prefixTabs)
{
    memo.BaseReport = this;
    if (!(memo.PrintEnd > memo.PrintStart))
        throw ReportError("TMemoBuf.PrintEnd must be greater than TMemoBuf.PrintStart");
    CheckDrawing();
    RefreshMetrics();
    std::string line;
    for (int i = 0; (maxLines > 0 && i < maxLines) || (maxLines <= 0 && memo.HasText()); ++i) {
        if (!memo.NextLine(line))
            break;
        if (i > 0)
            AdvanceLine();
        if (prefixTabs)
            EmitText(std::string(m_tabs.size(), '\t'));
        if (!m_pageExcluded)
            EmitPiece(JustifyLeft, memo.PrintStart, line, 0);
    }
    AdvanceLine();
}

} // namespace report
