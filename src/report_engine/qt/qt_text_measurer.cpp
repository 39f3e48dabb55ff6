#include "report_engine/qt/qt_text_measurer.h"

#include <cmath>

#include <QFontMetricsF>

namespace report {

QFont makeQFont(const FontSpec &wanted)
{
    QFont f(QString::fromLatin1(wanted.name.data(), static_cast<qsizetype>(wanted.name.size())));
    f.setPixelSize(std::max(1, wanted.heightPx));
    f.setBold(wanted.bold);
    f.setItalic(wanted.italic);
    f.setUnderline(wanted.underline);
    f.setStrikeOut(wanted.strikeOut);
    f.setKerning(false);
    return f;
}

QPaintDevice *QtTextMeasurer::deviceFor(const FontSpec &font)
{
    if (m_device)
        return m_device;
    const int dpm = static_cast<int>(std::lround(font.ppiX / 0.0254));
    if (m_image.isNull() || m_image.dotsPerMeterX() != dpm) {
        m_image = QImage(1, 1, QImage::Format_RGB32);
        m_image.setDotsPerMeterX(dpm);
        m_image.setDotsPerMeterY(static_cast<int>(std::lround(font.ppiY / 0.0254)));
    }
    return &m_image;
}

FontMetricsPx QtTextMeasurer::metrics(const FontSpec &font)
{
    const QFontMetricsF fm(makeQFont(font), deviceFor(font));
    return { fm.ascent(), fm.descent(), std::max(0.0, fm.height() - font.heightPx) };
}

double QtTextMeasurer::width(const FontSpec &font, std::string_view text)
{
    const QFontMetricsF fm(makeQFont(font), deviceFor(font));
    return fm.horizontalAdvance(
        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

} // namespace report
