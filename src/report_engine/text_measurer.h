#pragma once
// Text is measured through this interface so that the layout core stays free of any toolkit.
// Every length here is in device pixels of the device the report runs on.
#include <string>
#include <string_view>

namespace report {

struct FontSpec
{
    std::string name = "Arial";
    int heightPx = 13; // character height in device pixels (points / 72 * ppiY, rounded)
    double ppiX = 96;
    double ppiY = 96;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    bool operator==(const FontSpec &) const = default;
};

struct FontMetricsPx
{
    double ascent = 0;
    double descent = 0;
    double internalLeading = 0;
};

class TextMeasurer
{
public:
    virtual ~TextMeasurer() = default;
    virtual FontMetricsPx metrics(const FontSpec &font) = 0;
    virtual double width(const FontSpec &font, std::string_view text) = 0;
};

// Every character is charWidth * heightPx wide (bold adds 10 percent); ascent 80 percent and
// descent 20 percent of the height. Used where no real font is at hand and by the tests.
class FixedWidthMeasurer : public TextMeasurer
{
public:
    explicit FixedWidthMeasurer(double charWidth = 0.5)
        : m_charWidth(charWidth)
    {
    }
    FontMetricsPx metrics(const FontSpec &font) override
    {
        const double h = font.heightPx;
        return { h * 0.8, h * 0.2, 0 };
    }
    double width(const FontSpec &font, std::string_view text) override
    {
        const double w = m_charWidth * font.heightPx * (font.bold ? 1.1 : 1.0);
        return w * static_cast<double>(text.size());
    }

private:
    double m_charWidth;
};

} // namespace report
