#include "report_engine/qt/qt_text_measurer.h"

#include <cmath>

namespace report {

namespace {

// Bounds on what the measurer remembers: fonts of a document, and texts per font.
constexpr std::size_t kMaxFonts = 32;
constexpr std::size_t kMaxTextsPerFont = 20000;

} // namespace

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

QtTextMeasurer::Font &QtTextMeasurer::fontFor(const FontSpec &font)
{
    if (m_last < m_fonts.size() && m_fonts[m_last].wanted == font)
        return m_fonts[m_last];
    for (std::size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i].wanted == font) {
            m_last = i;
            return m_fonts[i];
        }
    }
    if (m_fonts.size() >= kMaxFonts)
        m_fonts.clear();
    m_fonts.push_back(
        { font, std::make_unique<QFontMetricsF>(makeQFont(font), deviceFor(font)), {} });
    m_last = m_fonts.size() - 1;
    return m_fonts.back();
}

FontMetricsPx QtTextMeasurer::metrics(const FontSpec &font)
{
    const QFontMetricsF &fm = *fontFor(font).metrics;
    return { fm.ascent(), fm.descent(), std::max(0.0, fm.height() - font.heightPx) };
}

double QtTextMeasurer::width(const FontSpec &font, std::string_view text)
{
    Font &f = fontFor(font);
    std::string key(text);
    if (const auto it = f.widths.find(key); it != f.widths.end())
        return it->second;
    const double w = f.metrics->horizontalAdvance(
        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    if (f.widths.size() >= kMaxTextsPerFont)
        f.widths.clear();
    f.widths.emplace(std::move(key), w);
    return w;
}

} // namespace report
