#include "report_engine/report_file_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace report {

namespace {
const char *const kUnexpectedCode = "Unexpected code found in report file.";
const char *const kUnexpectedEnd = "Unexpected end of report file.";

// Operand layout of each body record: b byte, h int16, i int32, f single, p point, r rect,
// S string, g graphic, n polygon (int16 n then n + 1 points), z sized raw bytes.
// Codes 40, 43, 50 and 54 depend on the data or the version and are read by hand.
const char *layoutOf(int code)
{
    switch (code) {
    case 1:
    case 3:
    case 13:
        return "pppp";
    case 2:
        return "grri";
    case 4:
        return "rir";
    case 5:
        return "gp";
    case 6:
    case 8:
    case 10:
        return "r";
    case 7:
    case 18:
    case 19:
        return "pp";
    case 9:
        return "pii";
    case 11:
    case 12:
        return "p";
    case 14:
    case 15:
        return "n";
    case 16:
        return "gpff";
    case 17:
        return "gpp";
    case 20:
        return "ppff";
    case 21:
        return "gr";
    case 22:
        return "rpS";
    case 23:
    case 24:
    case 25:
        return "fSf";
    case 26:
    case 34:
    case 35:
    case 42:
    case 53:
    case 55:
    case 56:
    case 57:
    case 58:
    case 59:
    case 60:
    case 62:
    case 63:
    case 72:
    case 73:
    case 87:
        return "b";
    case 27:
    case 41:
    case 52:
    case 71:
        return "i";
    case 28:
    case 29:
    case 74:
        return "f";
    case 30:
    case 51:
    case 88:
        return "S";
    case 31:
        return "z";
    case 32:
    case 33:
        return "fSff";
    case 61:
        return "h";
    case 70:
        return "ibbf";
    case 83:
        return "fff";
    case 84:
    case 85:
    case 86:
        return "";
    default:
        return nullptr;
    }
}
} // namespace

const char *recordName(int code)
{
    switch (code) {
    case 1:
        return "arc";
    case 2:
        return "brushcopy";
    case 3:
        return "chord";
    case 4:
        return "copyrect";
    case 5:
        return "graphic";
    case 6:
        return "focusrect";
    case 7:
        return "ellipse";
    case 8:
        return "fillrect";
    case 9:
        return "floodfill";
    case 10:
        return "framerect";
    case 11:
        return "lineto";
    case 12:
        return "moveto";
    case 13:
        return "pie";
    case 14:
        return "polygon";
    case 15:
        return "polyline";
    case 16:
        return "bitmap";
    case 17:
        return "bitmaprect";
    case 18:
        return "rectangle";
    case 19:
        return "tabrect";
    case 20:
        return "roundrect";
    case 21:
        return "stretch";
    case 22:
        return "textrect";
    case 23:
        return "center";
    case 24:
        return "left";
    case 25:
        return "right";
    case 26:
        return "bkmode";
    case 27:
        return "bkcolour";
    case 28:
        return "scalex";
    case 29:
        return "scaley";
    case 30:
        return "raw";
    case 31:
        return "rawstream";
    case 32:
    case 33:
        return "spread";
    case 34:
        return "bitmapmode";
    case 35:
        return "setting";
    case 40:
        return "brush";
    case 41:
        return "brushcolour";
    case 42:
        return "brushstyle";
    case 43:
        return "brushbitmap";
    case 50:
        return "font";
    case 51:
        return "fontname";
    case 52:
        return "fontcolour";
    case 53:
        return "pitch";
    case 54:
        return "height";
    case 55:
        return "bold";
    case 56:
        return "italic";
    case 57:
        return "underline";
    case 58:
        return "strikeout";
    case 59:
    case 60:
        return "fontflag";
    case 61:
        return "rotation";
    case 62:
        return "fontsetting";
    case 63:
        return "charset";
    case 70:
        return "pen";
    case 71:
        return "pencolour";
    case 72:
        return "penmode";
    case 73:
        return "penstyle";
    case 74:
        return "penwidth";
    case 83:
        return "metrics";
    case 84:
    case 85:
    case 86:
        return "drawmode";
    case 87:
        return "orientation";
    case 88:
        return "bin";
    default:
        return "?";
    }
}

ReportFileReader::ReportFileReader() = default;
ReportFileReader::~ReportFileReader() = default;

void ReportFileReader::open(const std::string &fileName)
{
    close();
    auto f = std::make_unique<std::ifstream>(fileName, std::ios::binary);
    if (!f->is_open())
        throw ReportError("Error initializing input stream \"" + fileName + "\"");
    f->seekg(0, std::ios::end);
    m_size = f->tellg();
    f->seekg(0);
    m_owned = std::move(f);
    m_in = m_owned.get();
    try {
        readHeader();
    } catch (...) {
        close();
        throw;
    }
}

void ReportFileReader::openBytes(std::string bytes)
{
    close();
    m_size = static_cast<std::int64_t>(bytes.size());
    m_owned = std::make_unique<std::istringstream>(std::move(bytes), std::ios::binary);
    m_in = m_owned.get();
    try {
        readHeader();
    } catch (...) {
        close();
        throw;
    }
}

void ReportFileReader::close()
{
    m_owned.reset();
    m_in = nullptr;
    m_header = FileHeader{};
    m_page = PageHeader{};
}

void ReportFileReader::seek(std::int64_t offset)
{
    if (offset < 0 || offset > m_size)
        throw ReportError(kUnexpectedEnd);
    m_in->clear();
    m_in->seekg(offset);
    m_pos = offset;
}

void ReportFileReader::need(std::size_t n)
{
    if (m_pos + static_cast<std::int64_t>(n) > m_size)
        throw ReportError(kUnexpectedEnd);
}

std::uint8_t ReportFileReader::u8()
{
    need(1);
    char c;
    m_in->read(&c, 1);
    ++m_pos;
    return static_cast<std::uint8_t>(c);
}

std::int16_t ReportFileReader::i16()
{
    need(2);
    std::int16_t v;
    m_in->read(reinterpret_cast<char *>(&v), 2);
    m_pos += 2;
    return v;
}

std::int32_t ReportFileReader::i32()
{
    need(4);
    std::int32_t v;
    m_in->read(reinterpret_cast<char *>(&v), 4);
    m_pos += 4;
    return v;
}

double ReportFileReader::f32()
{
    need(4);
    float v;
    m_in->read(reinterpret_cast<char *>(&v), 4);
    m_pos += 4;
    return std::isfinite(v) ? static_cast<double>(v) : 0.0;
}

std::string ReportFileReader::str()
{
    std::size_t n = u8();
    if (n >= 192)
        n = (n - 192) * 256 + u8();
    need(n);
    std::string s(n, '\0');
    m_in->read(s.data(), static_cast<std::streamsize>(n));
    m_pos += static_cast<std::int64_t>(n);
    return s;
}

void ReportFileReader::readGraphic(Record &r)
{
    r.hasGraphic = true;
    r.graphicKind = u8();
    if (r.graphicKind & 128) {
        r.graphicRef = i32();
        return;
    }
    const std::int32_t size = i32();
    if (size < 0)
        throw ReportError(kUnexpectedEnd);
    need(static_cast<std::size_t>(size));
    r.data.assign(static_cast<std::size_t>(size), '\0');
    m_in->read(r.data.data(), size);
    m_pos += size;
}

void ReportFileReader::readHeader()
{
    m_pos = 0;
    const std::uint8_t code = u8();
    FileHeader &h = m_header;
    if (code == rpt::kHeaderCode)
        h.version = i16();
    else if (code == rpt::kOldHeaderQ)
        h.version = 1101;
    else if (code == rpt::kOldHeaderY)
        h.version = 2009;
    else
        throw ReportError("Unexpected header code found in report file.");
    if (h.version >= 2010)
        h.title = str();
    h.pageCount = i16();
    h.firstPage = i16();
    h.lastPage = i16();
    h.sheetWidth = f32();
    h.sheetHeight = f32();
    for (double &o : h.offsets)
        o = f32();
    h.hasPrinterSection = true;
    h.orientation = u8();
    h.paperBin = i16();
    h.collate = u8();
    if (h.version >= 2000)
        h.duplex = u8();
    h.copies = i16();
    h.paperSize = i16();
    h.paperWidth = i16();
    h.paperLength = i16();
    h.printerName = str();
    m_firstPageAt = m_pos;
    readPageAt(m_firstPageAt);
}

void ReportFileReader::readPageAt(std::int64_t offset)
{
    seek(offset);
    if (u8() != rpt::PageStart)
        throw ReportError(kUnexpectedCode);
    m_page.offset = offset;
    m_page.previous = i32();
    m_page.next = i32();
    m_page.number = i16();
    m_page.width = f32();
    m_page.height = f32();
}

bool ReportFileReader::gotoPage(int n)
{
    if (!m_in)
        return false;
    readPageAt(m_page.offset);
    // Links must point strictly forward (next) or backward (previous) and the walk keeps one
    // direction: a damaged chain can therefore never loop.
    const bool forward = m_page.number < n;
    while (m_page.number != n) {
        const std::int64_t here = m_page.offset;
        if (forward) {
            if (m_page.number > n || m_page.next <= here)
                return false;
            readPageAt(m_page.next);
        } else {
            if (m_page.number < n || here == m_firstPageAt || m_page.previous <= 0
                || m_page.previous >= here)
                return false;
            readPageAt(m_page.previous);
        }
    }
    return true;
}

bool ReportFileReader::next(Record &r)
{
    r = Record{};
    r.code = u8();
    if (r.code == rpt::PageEnd)
        return false;
    const int v = m_header.version;
    auto num = [&](char t, double value) { r.operands.push_back({ t, value }); };
    switch (r.code) {
    case rpt::OldBrush: {
        num('i', i32());
        num('b', u8());
        const int bitmap = u8();
        num('b', bitmap);
        if (bitmap == 1)
            readGraphic(r);
        return true;
    }
    case rpt::BrushBitmap: {
        const int bitmap = u8();
        num('b', bitmap);
        if (bitmap == 1)
            readGraphic(r);
        return true;
    }
    case rpt::OldFont:
        r.text = str();
        num('i', i32());
        num('b', u8());
        if (v >= 2018)
            num('b', u8());
        num('f', f32());
        for (int i = 0; i < 4; ++i)
            num('b', u8());
        if (v >= 2000)
            num('h', i16());
        return true;
    case rpt::FontHeight:
        num('f', f32());
        if (v >= 2000)
            num('f', f32());
        return true;
    default:
        break;
    }
    const char *layout = layoutOf(r.code);
    if (!layout)
        throw ReportError(kUnexpectedCode);
    for (const char *p = layout; *p; ++p) {
        switch (*p) {
        case 'b':
            num('b', u8());
            break;
        case 'h':
            num('h', i16());
            break;
        case 'i':
            num('i', i32());
            break;
        case 'f':
            num('f', f32());
            break;
        case 'p':
            num('f', f32());
            num('f', f32());
            break;
        case 'r':
            for (int i = 0; i < 4; ++i)
                num('f', f32());
            break;
        case 'S':
            r.text = str();
            break;
        case 'g':
            readGraphic(r);
            break;
        case 'n': {
            const int n = i16();
            if (n < 0)
                throw ReportError(kUnexpectedCode);
            num('h', n);
            for (int i = 0; i <= n; ++i) {
                num('f', f32());
                num('f', f32());
            }
            break;
        }
        case 'z': {
            const std::int32_t size = i32();
            if (size < 0)
                throw ReportError(kUnexpectedEnd);
            need(static_cast<std::size_t>(size));
            r.data.assign(static_cast<std::size_t>(size), '\0');
            m_in->read(r.data.data(), size);
            m_pos += size;
            break;
        }
        default:
            break;
        }
    }
    return true;
}

std::string formatRecord(const Record &r)
{
    std::string out = std::to_string(r.code) + " " + recordName(r.code);
    char buf[64];
    for (const Operand &o : r.operands) {
        if (o.type == 'f')
            std::snprintf(buf, sizeof buf, " %.4f", o.value);
        else if (o.type == 'i' && r.code != 9 && r.code != 31)
            std::snprintf(buf, sizeof buf, " #%06X", static_cast<unsigned>(o.value));
        else
            std::snprintf(buf, sizeof buf, " %d", static_cast<int>(o.value));
        out += buf;
    }
    if (!r.text.empty() || r.code == 22 || (r.code >= 23 && r.code <= 25) || r.code == 30
        || r.code == 32 || r.code == 33 || r.code == 51 || r.code == 88)
        out += " '" + r.text + "'";
    if (r.hasGraphic)
        out += " graphic " + std::to_string(r.graphicKind)
            + (r.graphicRef >= 0 ? " ref " + std::to_string(r.graphicRef)
                                 : " bytes " + std::to_string(r.data.size()));
    return out;
}

std::string listReportFile(ReportFileReader &reader)
{
    std::string out;
    const FileHeader &h = reader.header();
    out += "header " + std::to_string(h.version) + " '" + h.title + "' pages "
        + std::to_string(h.pageCount) + "\n";
    Record r;
    for (int n = 1; reader.gotoPage(n); ++n) {
        const PageHeader &p = reader.page();
        char buf[128];
        std::snprintf(buf, sizeof buf, "page %d prev %lld next %lld %.4f x %.4f\n", p.number,
            static_cast<long long>(p.previous), static_cast<long long>(p.next), p.width, p.height);
        out += buf;
        while (reader.next(r))
            out += std::to_string(p.number) + " " + formatRecord(r) + "\n";
    }
    return out;
}

} // namespace report
