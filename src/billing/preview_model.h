#pragma once
// The rules of the report preview window, free of widgets: which page is shown, the zoom with its
// steps, limits and computed factors, the status texts, and the program-wide printed-from-preview
// mark. The window feeds it the page count of the open report file and the geometry of its page
// area; it asks the model what to draw and what the labels say.

#include <functional>
#include <string>

namespace billing {

// Set whenever Print is pressed in any preview window. The billing run clears it before it
// starts and reads it after its preview has been closed.
void setPrintedFromPreview(bool printed);
bool printedFromPreview();

// The page area's geometry in screen pixels, needed for the page-width and whole-page factors.
struct PageArea
{
    int innerWidth = 0; // client width of the scrolling area without scroll bars
    int innerHeight = 0; // client height of the scrolling area without scroll bars
    int scrollBarWidth = 0; // width of a vertical scroll bar
    double pixelsPerInchX = 96;
    double pixelsPerInchY = 96;
};

class PreviewModel
{
public:
    static constexpr double kZoomStep = 10;
    static constexpr double kMinZoom = 10;
    static constexpr double kMaxZoom = 200;
    // Codes accepted by setZoom that select computed factors.
    static constexpr double kPageWidthCode = -2;
    static constexpr double kWholePageCode = -1;

    // Pages numbered from firstPage (as recorded in the file) through firstPage + pageCount - 1.
    void setDocument(
        int firstPage, int pageCount, double sheetWidthInches, double sheetHeightInches);
    void setArea(const PageArea &area) { m_area = area; }

    int firstPage() const { return m_first; }
    int pageCount() const { return m_count; }
    int currentPage() const { return m_current; }
    int lastPage() const { return m_first + (m_count > 0 ? m_count : 1) - 1; }

    // Navigation; each returns true when the current page changed.
    bool firstPageGo();
    bool previousPage();
    bool nextPage();
    bool lastPageGo();
    bool gotoPage(int page);

    double zoom() const { return m_zoom; }
    // Clamps to 10..200; a value <= -1.9 selects the page-width factor, one in (-1.9, 0) the
    // whole-page factor. Returns true when the zoom changed.
    bool setZoom(double value);
    bool zoomIn() { return setZoom(m_zoom + kZoomStep); }
    bool zoomOut() { return setZoom(m_zoom - kZoomStep); }
    double pageWidthFactor() const;
    double wholePageFactor() const;

    // The sheet's size in screen pixels at the current zoom.
    int pagePixelWidth() const;
    int pagePixelHeight() const;

    std::string zoomLabel() const; // e.g. "100.0%"
    std::string pageLabel() const; // e.g. "Page 1 of 3"

    // Print pressed: sets the program-wide mark and runs `print` unless `busy` says the file
    // printer is still at work. Returns true when printing was started.
    static bool pressPrint(const std::function<bool()> &busy, const std::function<void()> &print);

private:
    int m_first = 1;
    int m_count = 0;
    int m_current = 1;
    double m_zoom = 100;
    double m_sheetW = 8.5;
    double m_sheetH = 11;
    PageArea m_area;
};

} // namespace billing
