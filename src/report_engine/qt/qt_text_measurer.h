#pragma once
// Measures text with the real font at the device's resolution (fontconfig maps "Times New Roman",
// "Arial" and "Courier New" to their metric-compatible faces).
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <QFont>
#include <QFontMetricsF>
#include <QImage>

#include "report_engine/text_measurer.h"

class QPaintDevice;

namespace report {

QFont makeQFont(const FontSpec &wanted);

// Font metrics are built once per font and the widths of the texts measured are remembered per
// font: a statement run measures the same words and amounts over and over, and building a font
// and shaping its text again on every call dominated its time.
class QtTextMeasurer : public TextMeasurer
{
public:
    // Measures on the given device, or on an image of the FontSpec's resolution when null.
    explicit QtTextMeasurer(QPaintDevice *device = nullptr)
        : m_device(device)
    {
    }
    FontMetricsPx metrics(const FontSpec &font) override;
    double width(const FontSpec &font, std::string_view text) override;

private:
    struct Font
    {
        FontSpec wanted;
        std::unique_ptr<QFontMetricsF> metrics;
        std::unordered_map<std::string, double> widths;
    };
    QPaintDevice *deviceFor(const FontSpec &font);
    Font &fontFor(const FontSpec &font);
    QPaintDevice *m_device;
    QImage m_image;
    std::vector<Font> m_fonts;
    std::size_t m_last = 0;
};

} // namespace report
