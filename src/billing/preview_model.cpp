#include "billing/preview_model.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

namespace billing {

namespace {
std::atomic<bool> g_printedFromPreview{ false };
}

void setPrintedFromPreview(bool printed)
{
    g_printedFromPreview = printed;
}
bool printedFromPreview()
{
    return g_printedFromPreview;
}

void PreviewModel::setDocument(
    int firstPage, int pageCount, double sheetWidthInches, double sheetHeightInches)
{
    m_first = firstPage;
    m_count = std::max(pageCount, 0);
    m_current = firstPage;
    // A file with a nonsensical sheet keeps the letter size rather than dividing by zero.
    m_sheetW = sheetWidthInches > 0 ? sheetWidthInches : 8.5;
    m_sheetH = sheetHeightInches > 0 ? sheetHeightInches : 11;
}

bool PreviewModel::gotoPage(int page)
{
    page = std::clamp(page, m_first, lastPage());
    if (page == m_current)
        return false;
    m_current = page;
    return true;
}

bool PreviewModel::firstPageGo()
{
    return gotoPage(m_first);
}
bool PreviewModel::lastPageGo()
{
    return gotoPage(lastPage());
}
bool PreviewModel::previousPage()
{
    return m_current > m_first && gotoPage(m_current - 1);
}
bool PreviewModel::nextPage()
{
    return m_current < lastPage() && gotoPage(m_current + 1);
}

double PreviewModel::pageWidthFactor() const
{
    if (m_area.pixelsPerInchX <= 0 || m_area.pixelsPerInchY <= 0)
        return 100;
    double inner = m_area.innerWidth;
    double z = 100.0 * inner / (m_sheetW * m_area.pixelsPerInchX);
    // The page at that zoom needs a vertical scroll bar: the bar takes its width off the area.
    if (m_sheetH * m_area.pixelsPerInchY * z / 100.0 > m_area.innerHeight) {
        inner -= m_area.scrollBarWidth;
        z = 100.0 * inner / (m_sheetW * m_area.pixelsPerInchX);
    }
    return z;
}

double PreviewModel::wholePageFactor() const
{
    if (m_area.pixelsPerInchX <= 0 || m_area.pixelsPerInchY <= 0)
        return 100;
    const double zw = 100.0 * (m_area.innerWidth - 4) / (m_sheetW * m_area.pixelsPerInchX);
    const double zh = 100.0 * (m_area.innerHeight - 4) / (m_sheetH * m_area.pixelsPerInchY);
    return std::min(zw, zh);
}

bool PreviewModel::setZoom(double value)
{
    if (std::isnan(value))
        return false;
    if (value <= -1.9)
        value = pageWidthFactor();
    else if (value < 0)
        value = wholePageFactor();
    value = std::clamp(value, kMinZoom, kMaxZoom);
    if (value == m_zoom)
        return false;
    m_zoom = value;
    return true;
}

int PreviewModel::pagePixelWidth() const
{
    return static_cast<int>(std::lround(m_sheetW * m_area.pixelsPerInchX * m_zoom / 100.0));
}

int PreviewModel::pagePixelHeight() const
{
    return static_cast<int>(std::lround(m_sheetH * m_area.pixelsPerInchY * m_zoom / 100.0));
}

std::string PreviewModel::zoomLabel() const
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f%%", m_zoom);
    return buf;
}

std::string PreviewModel::pageLabel() const
{
    const int count = m_count > 0 ? m_count : 1;
    return "Page " + std::to_string(m_current - m_first + 1) + " of " + std::to_string(count);
}

bool PreviewModel::pressPrint(const std::function<bool()> &busy, const std::function<void()> &print)
{
    setPrintedFromPreview(true);
    if (busy && busy())
        return false;
    if (print)
        print();
    return true;
}

} // namespace billing
