#include "report_engine/report_filer.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "report_engine/report_file_format.h"
#include <unistd.h>

namespace report {

static_assert(std::endian::native == std::endian::little, "the report file is little-endian");

struct TReportFiler::Written
{
    ReportBrush brush;
    ReportFont font;
    double fontHeight = 0;
    ReportPen pen;
};

TReportFiler::TReportFiler(TextMeasurer &measurer, DeviceInfo device)
    : TBaseReport(measurer)
    , m_writerDevice(std::move(device))
{
    if (!m_writerDevice.printerExists) {
        m_writerDevice.deviceName = m_writerDevice.driverName = m_writerDevice.portName =
            "Preview Only";
    } else {
        m_writerDevice.deviceName = m_writerDevice.driverName = "Preview";
        m_writerDevice.portName = "Screen";
    }
    TBaseReport::SetDevice(m_writerDevice);
}

TReportFiler::~TReportFiler() = default;

void TReportFiler::SetStreamMode(StreamMode m)
{
    CheckIdle();
    m_streamMode = m;
}

void TReportFiler::SetStream(std::ostream *s)
{
    CheckIdle();
    m_userStream = s;
}

void TReportFiler::SetDevice(const DeviceInfo &d)
{
    CheckIdle();
    m_writerDevice = d;
    TBaseReport::SetDevice(d);
}

// ---- bytes ----------------------------------------------------------------------------------

void TReportFiler::Put(const void *data, std::size_t n)
{
    if (m_buffer.size() + n > rpt::kBufferSize)
        Flush();
    if (n > rpt::kBufferSize) {
        m_out->write(static_cast<const char *>(data), static_cast<std::streamsize>(n));
        m_flushed += static_cast<std::int64_t>(n);
        return;
    }
    const char *p = static_cast<const char *>(data);
    m_buffer.insert(m_buffer.end(), p, p + n);
}

void TReportFiler::Flush()
{
    if (m_buffer.empty())
        return;
    m_out->write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    m_flushed += static_cast<std::int64_t>(m_buffer.size());
    m_buffer.clear();
}

std::int64_t TReportFiler::Offset() const
{
    return m_flushed + static_cast<std::int64_t>(m_buffer.size());
}

void TReportFiler::PatchInt32(std::int64_t at, std::int32_t v)
{
    char b[4];
    std::memcpy(b, &v, 4);
    if (at >= m_flushed) {
        std::memcpy(m_buffer.data() + (at - m_flushed), b, 4);
        return;
    }
    m_out->seekp(m_base + at);
    m_out->write(b, 4);
    m_out->seekp(m_base + m_flushed);
}

void TReportFiler::PatchInt16(std::int64_t at, std::int16_t v)
{
    char b[2];
    std::memcpy(b, &v, 2);
    if (at >= m_flushed) {
        std::memcpy(m_buffer.data() + (at - m_flushed), b, 2);
        return;
    }
    m_out->seekp(m_base + at);
    m_out->write(b, 2);
    m_out->seekp(m_base + m_flushed);
}

void TReportFiler::U8(int v)
{
    const auto b = static_cast<std::uint8_t>(v);
    Put(&b, 1);
}

void TReportFiler::I16(int v)
{
    const auto s = static_cast<std::int16_t>(v);
    Put(&s, 2);
}

void TReportFiler::I32(std::int32_t v)
{
    Put(&v, 4);
}

void TReportFiler::F32(double v)
{
    const auto f = static_cast<float>(v);
    Put(&f, 4);
}

void TReportFiler::Str(const std::string &s)
{
    const std::size_t n = std::min(s.size(), rpt::kMaxString);
    if (n < 192) {
        U8(static_cast<int>(n));
    } else {
        U8(static_cast<int>(192 + n / 256));
        U8(static_cast<int>(n % 256));
    }
    Put(s.data(), n);
}

void TReportFiler::Point(double x, double y)
{
    F32(x);
    F32(y);
}

// ---- job ------------------------------------------------------------------------------------

bool TReportFiler::BeginJob()
{
    m_buffer.clear();
    m_buffer.reserve(rpt::kBufferSize);
    m_flushed = 0;
    m_pagesWritten = 0;
    m_lastPageAt = 0;
    m_slots.fill(0);
    m_pendingReuse = m_pendingRegister = 0;
    m_owned.reset();
    m_out = nullptr;
    switch (m_streamMode) {
    case StreamMode::smUser:
        if (!m_userStream)
            throw ReportError("StreamMode is smUser but Stream is nil");
        m_out = m_userStream;
        break;
    case StreamMode::smMemory:
        m_owned = std::make_unique<std::ostringstream>(std::ios::binary);
        m_out = m_owned.get();
        break;
    case StreamMode::smTempFile: {
        std::string pattern = (std::filesystem::temp_directory_path() / "rptXXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            ::close(fd);
            FileName = pattern;
        }
        [[fallthrough]];
    }
    case StreamMode::smFile: {
        auto f = std::make_unique<std::ofstream>(FileName, std::ios::binary | std::ios::trunc);
        if (!f->is_open()) {
            ShowMessage("Error initializing stream \"" + FileName + "\"");
            return false;
        }
        m_owned = std::move(f);
        m_out = m_owned.get();
        break;
    }
    }
    m_base = m_out->tellp();
    if (m_base < 0)
        m_base = 0;
    m_written.reset();
    WriteHeader();
    return true;
}

void TReportFiler::WriteHeader()
{
    const DeviceInfo &d = m_writerDevice;
    U8(rpt::kHeaderCode);
    I16(rpt::kVersion);
    Str(Title());
    m_pageCountAt = Offset();
    I16(0);
    I16(FirstPage());
    I16(LastPage());
    F32(d.sheetWidth);
    F32(d.sheetHeight);
    F32(d.offsetLeft);
    F32(d.offsetRight);
    F32(d.offsetTop);
    F32(d.offsetBottom);
    U8(GetOrientation() == poLandScape ? 1 : 0);
    I16(d.paperBin);
    U8(0); // collate
    U8(0); // duplex
    I16(Copies());
    I16(d.paperSize);
    I16(d.paperWidth);
    I16(d.paperLength);
    Str(d.printerExists ? d.deviceName : std::string());
}

void TReportFiler::EndJob(bool /*aborted*/)
{
    if (!m_out)
        return;
    PatchInt16(m_pageCountAt, static_cast<std::int16_t>(m_pagesWritten));
    Flush();
    m_out->flush();
    const bool failed = m_out->fail();
    if (m_streamMode == StreamMode::smMemory) {
        m_memoryBytes = static_cast<std::ostringstream *>(m_owned.get())->str();
        std::ofstream f(FileName, std::ios::binary | std::ios::trunc);
        f.write(m_memoryBytes.data(), static_cast<std::streamsize>(m_memoryBytes.size()));
    }
    m_owned.reset();
    m_out = nullptr;
    if (failed)
        ShowMessage("Error writing stream \"" + FileName + "\"");
}

void TReportFiler::BeginPage()
{
    const std::int64_t at = Offset();
    if (m_pagesWritten > 0)
        PatchInt32(m_lastPageAt + 5, static_cast<std::int32_t>(at));
    U8(rpt::PageStart);
    I32(static_cast<std::int32_t>(m_pagesWritten > 0 ? m_lastPageAt : 0));
    I32(0);
    I16(++m_pagesWritten);
    F32(m_writerDevice.sheetWidth);
    F32(m_writerDevice.sheetHeight);
    m_lastPageAt = at;
    m_written.reset();
    SyncBrush(true);
    SyncFont(true);
    SyncPen(true);
    U8(rpt::ScaleX);
    F32(ScaleX());
    U8(rpt::ScaleY);
    F32(ScaleY());
    U8(rpt::BkMode);
    U8(rpt::kBkModeTransparent);
    U8(rpt::BkColour);
    I32(kWhite);
    m_penAt.reset();
}

void TReportFiler::EndPage()
{
    U8(rpt::PageEnd);
}

// ---- state records --------------------------------------------------------------------------

void TReportFiler::SyncBrush(bool all)
{
    if (!m_written)
        m_written = std::make_unique<Written>();
    const ReportBrush &b = Brush();
    if (all || b.colour != m_written->brush.colour) {
        U8(rpt::BrushColour);
        I32(b.colour);
    }
    if (all || b.style != m_written->brush.style) {
        U8(rpt::BrushStyle);
        U8(b.style);
    }
    if (all) {
        U8(rpt::BrushBitmap);
        U8(0);
    }
    m_written->brush = b;
}

void TReportFiler::SyncFont(bool all)
{
    if (!m_written)
        m_written = std::make_unique<Written>();
    RefreshMetrics();
    const ReportFont &f = Font();
    ReportFont &w = m_written->font;
    const double height = f.heightPx / Device().ppiY;
    bool any = false;
    auto flag = [&](bool now, bool was, int code) {
        if (all || now != was) {
            U8(code);
            U8(now ? 1 : 0);
            any = true;
        }
    };
    const std::string name = f.name.substr(0, rpt::kMaxFontName);
    if (all || name != w.name) {
        U8(rpt::FontName);
        Str(name);
        any = true;
    }
    if (all || f.colour != w.colour) {
        U8(rpt::FontColour);
        I32(f.colour);
        any = true;
    }
    if (all) {
        U8(rpt::FontPitch);
        U8(0);
    }
    if (all || std::abs(height - m_written->fontHeight) > 1e-9 || name != w.name) {
        // The sample width is measured in the face and height just selected.
        U8(rpt::FontHeight);
        F32(height);
        F32(Measurer().width(CurrentFontSpec(), rpt::kSampleText) / Device().ppiX);
        any = true;
    }
    flag(f.bold, w.bold, rpt::FontBold);
    flag(f.italic, w.italic, rpt::FontItalic);
    flag(f.underline, w.underline, rpt::FontUnderline);
    flag(f.strikeOut, w.strikeOut, rpt::FontStrikeOut);
    if (all) {
        U8(rpt::FontFlag59);
        U8(0);
        U8(rpt::FontFlag60);
        U8(0);
        U8(rpt::FontRotation);
        I16(0);
        U8(rpt::FontSetting62);
        U8(0);
        U8(rpt::FontCharset);
        U8(rpt::kDefaultCharset);
    }
    if (any && !all) {
        U8(rpt::LineMetrics);
        F32(Ascent());
        F32(Descent());
        F32(LineHeight());
    }
    w = f;
    w.name = name;
    m_written->fontHeight = height;
}

void TReportFiler::SyncPen(bool all)
{
    if (!m_written)
        m_written = std::make_unique<Written>();
    const ReportPen &p = Pen();
    ReportPen &w = m_written->pen;
    if (all || p.colour != w.colour) {
        U8(rpt::PenColour);
        I32(p.colour);
    }
    if (all || p.mode != w.mode) {
        U8(rpt::PenMode);
        U8(p.mode);
    }
    if (all || p.style != w.style) {
        U8(rpt::PenStyle);
        U8(p.style);
    }
    if (all || std::abs(p.widthInches - w.widthInches) > 1e-9) {
        U8(rpt::PenWidth);
        F32(p.widthInches);
    }
    w = p;
}

// ---- drawing --------------------------------------------------------------------------------

void TReportFiler::DrawText(
    int justify, double x, double y, const std::string &text, double spreadWidth)
{
    SyncFont(false);
    int code = rpt::LeftText;
    if (justify == JustifyCenter)
        code = rpt::CenterText;
    else if (justify == JustifyRight)
        code = rpt::RightText;
    else if (justify == JustifySpread)
        code = rpt::SpreadText;
    U8(code);
    F32(y);
    Str(text);
    F32(x);
    if (code == rpt::SpreadText)
        F32(spreadWidth);
}

void TReportFiler::AfterText()
{
    if (OnProcessMessages)
        OnProcessMessages();
}

void TReportFiler::WriteMove(double x, double y)
{
    if (m_penAt && std::abs(m_penAt->first - x) < 1e-9 && std::abs(m_penAt->second - y) < 1e-9)
        return;
    U8(rpt::MoveTo);
    Point(x, y);
}

void TReportFiler::DrawLine(double x1, double y1, double x2, double y2)
{
    SyncPen(false);
    WriteMove(x1, y1);
    U8(rpt::LineTo);
    Point(x2, y2);
    m_penAt = std::make_pair(x2, y2);
}

void TReportFiler::DrawTabShade(double x1, double y1, double x2, double y2, Colour c)
{
    if (!m_written)
        m_written = std::make_unique<Written>();
    if (m_written->brush.colour != c) {
        U8(rpt::BrushColour);
        I32(c);
        m_written->brush.colour = c;
    }
    if (m_written->brush.style != kBrushSolid) {
        U8(rpt::BrushStyle);
        U8(kBrushSolid);
        m_written->brush.style = kBrushSolid;
    }
    U8(rpt::TabRectangle);
    Point(x1, y1);
    Point(x2, y2);
}

void TReportFiler::DrawRoundRect(double x1, double y1, double x2, double y2, double cw, double ch)
{
    SyncPen(false);
    SyncBrush(false);
    U8(rpt::RoundRect);
    Point(x1, y1);
    Point(x2, y2);
    F32(cw);
    F32(ch);
}

// ---- graphics -------------------------------------------------------------------------------

namespace {
void checkSlot(int index, const char *what)
{
    if (index < 1 || index > rpt::kGraphicSlots)
        throw ReportError(std::string(what) + ": Index must be between 1 and "
            + std::to_string(rpt::kGraphicSlots));
}
} // namespace

void TReportFiler::RegisterGraphic(int index)
{
    checkSlot(index, "RegisterGraphic");
    m_pendingRegister = index;
}

void TReportFiler::ReuseGraphic(int index)
{
    checkSlot(index, "ReuseGraphic");
    m_pendingReuse = index;
}

void TReportFiler::UnregisterGraphic(int index)
{
    checkSlot(index, "UnregisterGraphic");
    m_slots[static_cast<std::size_t>(index)] = 0;
}

void TReportFiler::PrintGraphic(int kind, const std::string &bytes, double x, double y)
{
    if (!CheckDrawing())
        return;
    U8(rpt::DrawGraphic);
    const auto reuse = static_cast<std::size_t>(m_pendingReuse);
    if (m_pendingReuse != 0 && m_slots[reuse] != 0) {
        U8(kind | 128);
        I32(static_cast<std::int32_t>(m_slots[reuse]));
    } else {
        U8(kind);
        if (m_pendingRegister != 0)
            m_slots[static_cast<std::size_t>(m_pendingRegister)] = Offset();
        I32(static_cast<std::int32_t>(bytes.size()));
        Put(bytes.data(), bytes.size());
    }
    m_pendingReuse = m_pendingRegister = 0;
    Point(x + OriginX(), y + OriginY());
}

void TReportFiler::CopyRect()
{
    throw ReportError("CopyRect() not supported in file mode.");
}

} // namespace report
