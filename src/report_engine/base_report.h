#pragma once
// TBaseReport: the page-drawing interface every printed document is written against.
//
// Documents work in inches from the top-left corner of the physical sheet (divided by
// UnitsFactor on the way in); the back ends turn inches into device pixels or file records.
//
// Job states:
//   Idle --RunReport--> OnBeforePrint --BeginJob ok--> Printing (page 1 .. n) --Finish--> Idle
//   Printing --CancelReport--> Aborted: the next drawing operation throws ReportAbort, RunReport
//   catches it and runs Finish without a footer.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "report_engine/report_types.h"
#include "report_engine/text_measurer.h"

namespace report {

class TMemoBuf;

struct TabCell
{
    double position = 0; // inches, absolute X of the left edge
    int justify = JustifyLeft;
    double width = 0; // inches; 0 = plain stop
    double margin = 0; // inches
    int boxLines = 0; // 1 left, 2 right, 4 top, 8 bottom
    int shade = 0; // percent
};
inline constexpr int BOXLINELEFT = 1;
inline constexpr int BOXLINERIGHT = 2;
inline constexpr int BOXLINETOP = 4;
inline constexpr int BOXLINEBOTTOM = 8;
inline constexpr int BOXLINEALL = 15;

struct ReportFont
{
    std::string name = "Arial";
    double points = 10;
    int heightPx = 13;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    Colour colour = kBlack;
};

struct ReportPen
{
    Colour colour = kBlack;
    int style = kPenSolid;
    int mode = kPenModeCopy;
    double widthInches = 1.0 / 96;
    int widthPx = 1;
};

struct ReportBrush
{
    Colour colour = kWhite;
    int style = kBrushClear;
};

class TBaseReport
{
public:
    using Event = std::function<void(TBaseReport &)>;
    using PageEvent = std::function<bool(TBaseReport &, int)>;

    explicit TBaseReport(TextMeasurer &measurer);
    virtual ~TBaseReport();
    TBaseReport(const TBaseReport &) = delete;
    TBaseReport &operator=(const TBaseReport &) = delete;

    // Events.
    Event OnBeforePrint, OnNewPage, OnPrintHeader, OnPrint, OnPrintFooter, OnAfterPrint;
    Event OnNewColumn, OnEndOfSection;
    PageEvent OnPrintPage;
    // How the engine reaches the user: a message box, the status label and the message loop.
    std::function<void(const std::string &)> OnMessage;
    std::function<void(const std::string &)> OnStatus;
    std::function<void()> OnProcessMessages;

    // Job settings.
    double MarginLeft() const { return m_marginLeft; }
    double MarginRight() const { return m_marginRight; }
    double MarginTop() const { return m_marginTop; }
    double MarginBottom() const { return m_marginBottom; }
    void SetMarginLeft(double v);
    void SetMarginRight(double v);
    void SetMarginTop(double v);
    void SetMarginBottom(double v);
    double UnitsFactor() const { return m_unitsFactor; }
    void SetUnitsFactor(double v);
    LineHeightMethod GetLineHeightMethod() const { return m_lineHeightMethod; }
    void SetLineHeightMethod(LineHeightMethod m) { m_lineHeightMethod = m; }
    void SetLinesPerInch(int n) { m_linesPerInch = n > 0 ? n : 6; }
    int Copies() const { return m_copies; }
    void SetCopies(int n);
    Orientation GetOrientation() const { return m_orientation; }
    void SetOrientation(Orientation o);
    const std::string &Title() const { return m_title; }
    void SetTitle(const std::string &t);
    void SetScale(double scaleX, double scaleY);
    double ScaleX() const { return m_scaleX; }
    double ScaleY() const { return m_scaleY; }
    int FirstPage() const { return m_firstPage; }
    int LastPage() const { return m_lastPage; }
    void SetPageRange(int first, int last);
    int TabShade() const { return m_tabShade; }
    void SetTabShade(int s) { m_tabShade = s; }
    std::string StatusFormat;
    std::vector<std::string> StatusText;
    const std::string &StatusLabel() const { return m_statusLabel; }

    // Run.
    void RunReport();
    void CancelReport();
    void ShowStatus();
    void StartNextPage();
    bool Printing() const { return m_printing; }
    bool Aborted() const { return m_aborted; }
    int CurrentPage() const { return m_page; }
    bool PageExcluded() const { return m_pageExcluded; }
    std::chrono::steady_clock::time_point StartTime() const { return m_startTime; }

    // Fonts.
    void UseFont(const std::string &face, double points);
    void UseBold(bool on);
    void UseItalic(bool on);
    void UseUnderline(bool on);
    void UseStrikeOut(bool on);
    void UseFontColor(Colour c);
    const ReportFont &Font() const { return m_font; }
    FontSpec CurrentFontSpec() const;

    // Layout.
    void SetAreaTop(double y);
    void SetAreaBottom(double y);
    double AreaLeft() const { return m_areaLeft; }
    double AreaRight() const { return m_areaRight; }
    double AreaTop() const { return m_areaTop; }
    double AreaBottom() const { return m_areaBottom; }
    double CursorX() const { return m_cursorX; }
    double CursorY() const { return m_cursorY; }
    void MoveCursor(double x, double y);
    void CursorHome();
    void AdvanceLine();
    int LinesRemaining();
    int LineNumber() const { return m_lineNumber; }
    double LineHeight();
    double Ascent();
    double Descent();
    double PageWidthInches() const { return m_device.sheetWidth; }
    double PageHeightInches() const { return m_device.sheetHeight; }
    void MoveOrigin(double x, double y);
    double OriginX() const { return m_originX; }
    double OriginY() const { return m_originY; }
    void ResetPageState();

    // Text.
    void EmitText(const std::string &text);
    void EmitLine(const std::string &text);
    void EmitLeftAt(const std::string &text, double x);
    void EmitCenteredAt(const std::string &text, double x);
    void EmitRightAt(const std::string &text, double x);
    void EmitAtXY(double x, double y, const std::string &text);
    void EmitAtBottom(const std::string &text, int justify);
    double TextWidth(const std::string &text); // inches in the current font

    // Tab cells.
    void AddTabStop(double position, int justify, double width, double marginHundredths,
        int boxLines, int shade);
    void ClearTabStops();
    const std::vector<TabCell> &TabCells() const { return m_tabs; }

    // Lines and boxes.
    void SetLinePen(Colour colour, int style, int width, int mode);
    const ReportPen &Pen() const { return m_pen; }
    void PenMoveTo(double x, double y);
    void PenLineTo(double x, double y);
    void SetFill(Colour colour, int style);
    const ReportBrush &Brush() const { return m_brush; }
    void DrawRoundedBox(double x1, double y1, double x2, double y2, double cornerW, double cornerH);

    // Memo text.
    int CountMemoLines(TMemoBuf &memo);
    void EmitMemo(TMemoBuf &memo, int maxLines, bool prefixTabs);

    const DeviceInfo &Device() const { return m_device; }
    TextMeasurer &Measurer() { return m_measurer; }

protected:
    // Back-end primitives. Positions are absolute inches on the sheet, origin shift added.
    virtual bool CanStart() { return true; } // false: the back end showed why
    virtual bool BeginJob() = 0; // false: the back end showed why
    virtual void EndJob(bool aborted) = 0;
    virtual DeviceInfo QueryDevice() = 0;
    virtual void BeginPage() = 0;
    virtual void EndPage() = 0;
    virtual void DrawText(
        int justify, double x, double y, const std::string &text, double spreadWidth) = 0;
    virtual void DrawLine(double x1, double y1, double x2, double y2) = 0;
    virtual void DrawTabShade(double x1, double y1, double x2, double y2, Colour c) = 0;
    virtual void DrawRoundRect(
        double x1, double y1, double x2, double y2, double cw, double ch) = 0;
    virtual void AfterText() { }
    virtual void ReleaseFonts() { }

    void ShowMessage(const std::string &text);
    void CheckIdle() const;
    // Throws when not printing or aborted; false when the page is excluded.
    bool CheckDrawing();
    void RefreshMetrics();
    void SetDevice(const DeviceInfo &d) { m_device = d; }

private:
    void Finish();
    void BeginPageIfIncluded();
    void CloseDevicePage();
    void DecideExcluded();
    void ApplyMargins();
    void ClampCursor();
    void EmitPiece(int justify, double x, const std::string &text, double spreadWidth);
    void PrintIntoCell(const TabCell &cell, const std::string &text);
    bool AdvanceTab();
    double In(double v) const { return v / m_unitsFactor; }

    TextMeasurer &m_measurer;
    DeviceInfo m_device;
    double m_marginLeft = 0, m_marginRight = 0, m_marginTop = 0, m_marginBottom = 0;
    double m_areaLeft = 0, m_areaRight = 8.5, m_areaTop = 0, m_areaBottom = 11;
    double m_cursorX = 0, m_cursorY = 0;
    double m_originX = 0, m_originY = 0;
    double m_penX = 0, m_penY = 0;
    int m_lineNumber = 1;
    double m_unitsFactor = 1.0;
    double m_scaleX = 100, m_scaleY = 100;
    LineHeightMethod m_lineHeightMethod = LineHeightMethod::lhmFont;
    int m_linesPerInch = 6;
    int m_copies = 1;
    Orientation m_orientation = poPortrait;
    std::string m_title;
    int m_firstPage = 1, m_lastPage = 9999;
    int m_tabShade = 0;
    std::string m_statusLabel;

    ReportFont m_font;
    bool m_metricsDirty = true;
    double m_ascent = 0, m_descent = 0, m_internalLeading = 0;
    ReportPen m_pen;
    ReportBrush m_brush;

    std::vector<TabCell> m_tabs;
    int m_tabIndex = -1;
    bool m_cellPending = false;

    int m_page = 0;
    bool m_printing = false;
    bool m_aborted = false;
    bool m_pageExcluded = false;
    bool m_pageBegun = false;
    std::chrono::steady_clock::time_point m_startTime{};
};

} // namespace report
