#pragma once
// Measures text with the real font at the device's resolution (fontconfig maps "Times New Roman",
// "Arial" and "Courier New" to their metric-compatible faces).
#include <map>
#include <tuple>

#include <QFont>
#include <QImage>

#include "report_engine/text_measurer.h"

class QPaintDevice;

namespace report {

QFont makeQFont(const FontSpec &wanted);

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
    QPaintDevice *deviceFor(const FontSpec &font);
    QPaintDevice *m_device;
    QImage m_image;
};

} // namespace report
