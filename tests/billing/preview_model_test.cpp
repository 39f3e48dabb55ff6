#include <cmath>

#include "billing/preview_model.h"
#include <gtest/gtest.h>

using billing::PageArea;
using billing::PreviewModel;

namespace {

PreviewModel model(int pages, int first = 1)
{
    PreviewModel m;
    m.setDocument(first, pages, 8.5, 11);
    PageArea a;
    a.innerWidth = 850;
    a.innerHeight = 600;
    a.scrollBarWidth = 17;
    a.pixelsPerInchX = 100;
    a.pixelsPerInchY = 100;
    m.setArea(a);
    return m;
}

} // namespace

TEST(PreviewZoom, StepsAndLimits)
{
    struct Case
    {
        double start;
        bool in;
        double expected;
    } cases[] = {
        { 100, true, 110 },
        { 100, false, 90 },
        { 195, true, 200 },
        { 200, true, 200 },
        { 15, false, 10 },
        { 10, false, 10 },
        { 191, true, 200 },
        { 20, false, 10 },
    };
    for (const auto &c : cases) {
        auto m = model(3);
        m.setZoom(c.start);
        if (c.in)
            m.zoomIn();
        else
            m.zoomOut();
        EXPECT_DOUBLE_EQ(m.zoom(), c.expected) << c.start << (c.in ? " in" : " out");
    }
}

TEST(PreviewZoom, SetZoomClampsAndSelectsFactors)
{
    auto m = model(3);
    EXPECT_DOUBLE_EQ(m.zoom(), 100);
    EXPECT_FALSE(m.setZoom(100));
    EXPECT_TRUE(m.setZoom(5));
    EXPECT_DOUBLE_EQ(m.zoom(), 10);
    m.setZoom(500);
    EXPECT_DOUBLE_EQ(m.zoom(), 200);
    EXPECT_FALSE(m.setZoom(NAN));
    EXPECT_DOUBLE_EQ(m.zoom(), 200);

    // Page width: 850 px over 8.5 in at 100 ppi is 100 percent, but a page 11 in tall does not
    // fit 600 px, so the scroll bar comes off: (850 - 17) / 850.
    const double pw = 100.0 * 833 / 850;
    for (double code : { -1.9, -2.0, -100.0 }) {
        m.setZoom(50);
        m.setZoom(code);
        EXPECT_NEAR(m.zoom(), pw, 1e-9) << code;
    }
    // Whole page: min((850-4)/850, (600-4)/1100) in percent.
    const double wp = 100.0 * 596 / 1100;
    for (double code : { -1.0, -1.89, -0.01 }) {
        m.setZoom(150);
        m.setZoom(code);
        EXPECT_NEAR(m.zoom(), wp, 1e-9) << code;
    }
}

TEST(PreviewZoom, PageWidthKeepsFullWidthWhenPageFitsHeight)
{
    auto m = model(1);
    PageArea a;
    a.innerWidth = 425;
    a.innerHeight = 2000;
    a.scrollBarWidth = 17;
    a.pixelsPerInchX = 100;
    a.pixelsPerInchY = 100;
    m.setArea(a);
    EXPECT_NEAR(m.pageWidthFactor(), 50.0, 1e-9);
    m.setZoom(PreviewModel::kPageWidthCode);
    EXPECT_EQ(m.pagePixelWidth(), 425);
    EXPECT_EQ(m.pagePixelHeight(), 550);
    EXPECT_EQ(m.zoomLabel(), "50.0%");
}

TEST(PreviewLabels, ZoomWithOneDecimal)
{
    struct Case
    {
        double zoom;
        const char *label;
    } cases[] = { { 100, "100.0%" }, { 10, "10.0%" }, { 54.18, "54.2%" }, { 200, "200.0%" } };
    for (const auto &c : cases) {
        auto m = model(2);
        m.setZoom(c.zoom);
        EXPECT_EQ(m.zoomLabel(), c.label);
    }
}

TEST(PreviewPages, NavigationAndLabel)
{
    auto one = model(1);
    EXPECT_EQ(one.pageLabel(), "Page 1 of 1");
    EXPECT_FALSE(one.previousPage());
    EXPECT_FALSE(one.nextPage());
    EXPECT_EQ(one.currentPage(), 1);
    EXPECT_EQ(one.pageLabel(), "Page 1 of 1");

    auto m = model(5);
    EXPECT_EQ(m.pageLabel(), "Page 1 of 5");
    EXPECT_TRUE(m.nextPage());
    EXPECT_TRUE(m.nextPage());
    EXPECT_EQ(m.pageLabel(), "Page 3 of 5");
    EXPECT_TRUE(m.lastPageGo());
    EXPECT_EQ(m.currentPage(), 5);
    EXPECT_FALSE(m.nextPage());
    EXPECT_FALSE(m.lastPageGo());
    EXPECT_EQ(m.pageLabel(), "Page 5 of 5");
    EXPECT_TRUE(m.previousPage());
    EXPECT_EQ(m.pageLabel(), "Page 4 of 5");
    EXPECT_TRUE(m.firstPageGo());
    EXPECT_FALSE(m.previousPage());
    EXPECT_EQ(m.pageLabel(), "Page 1 of 5");
    EXPECT_FALSE(m.gotoPage(-3));
    EXPECT_TRUE(m.gotoPage(99));
    EXPECT_EQ(m.currentPage(), 5);
}

TEST(PreviewPages, FirstPageOtherThanOneCountsFromIt)
{
    auto m = model(4, 3);
    EXPECT_EQ(m.currentPage(), 3);
    EXPECT_EQ(m.pageLabel(), "Page 1 of 4");
    m.lastPageGo();
    EXPECT_EQ(m.currentPage(), 6);
    EXPECT_EQ(m.pageLabel(), "Page 4 of 4");
}

TEST(PreviewPages, EmptyFileShowsOnePage)
{
    auto m = model(0);
    EXPECT_EQ(m.pageLabel(), "Page 1 of 1");
    EXPECT_FALSE(m.nextPage());
    EXPECT_FALSE(m.lastPageGo());
}

TEST(PreviewPrint, MarkAndBusyPrinter)
{
    billing::setPrintedFromPreview(false);
    EXPECT_FALSE(billing::printedFromPreview());

    int printed = 0;
    bool busy = false;
    auto isBusy = [&] { return busy; };
    auto print = [&] { ++printed; };

    // Two presses print twice and set the mark.
    EXPECT_TRUE(PreviewModel::pressPrint(isBusy, print));
    EXPECT_TRUE(PreviewModel::pressPrint(isBusy, print));
    EXPECT_EQ(printed, 2);
    EXPECT_TRUE(billing::printedFromPreview());

    // A press while the printer is still at work only sets the mark.
    billing::setPrintedFromPreview(false);
    busy = true;
    EXPECT_FALSE(PreviewModel::pressPrint(isBusy, print));
    EXPECT_EQ(printed, 2);
    EXPECT_TRUE(billing::printedFromPreview());
    billing::setPrintedFromPreview(false);
}
