// The report file: byte layout written by TReportFiler, read back by ReportFileReader, and the
// reading failures.
#include <cstring>
#include <filesystem>
#include <fstream>

#include "report_engine/report_file_reader.h"
#include "report_engine/report_filer.h"
#include "report_test_support.h"
#include <gtest/gtest.h>

using namespace report;
using report::test::recordDocument;

namespace {

// Reads the documented layout straight from the bytes, independent of ReportFileReader.
struct Raw
{
    const std::string &b;
    std::size_t p = 0;
    int u8() { return static_cast<unsigned char>(b.at(p++)); }
    int i16()
    {
        std::int16_t v;
        std::memcpy(&v, b.data() + p, 2);
        p += 2;
        return v;
    }
    std::int32_t i32()
    {
        std::int32_t v;
        std::memcpy(&v, b.data() + p, 4);
        p += 4;
        return v;
    }
    float f32()
    {
        float v;
        std::memcpy(&v, b.data() + p, 4);
        p += 4;
        return v;
    }
    std::string str()
    {
        std::size_t n = static_cast<std::size_t>(u8());
        if (n >= 192)
            n = (n - 192) * 256 + static_cast<std::size_t>(u8());
        std::string s = b.substr(p, n);
        p += n;
        return s;
    }
};

std::vector<int> codesOfPage(const std::string &bytes, int page)
{
    ReportFileReader reader;
    reader.openBytes(bytes);
    EXPECT_TRUE(reader.gotoPage(page));
    std::vector<int> codes;
    Record r;
    while (reader.next(r))
        codes.push_back(r.code);
    return codes;
}

const std::vector<int> kPageStartState = { 41, 42, 43, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61,
    62, 63, 71, 72, 73, 74, 28, 29, 26, 27 };

TEST(ReportFile, StringLengthBytes)
{
    struct Case
    {
        std::size_t length;
        std::string prefix;
    };
    const Case cases[] = { { 191, "\xBF" }, { 192, "\xC0\xC0" }, { 200, "\xC0\xC8" },
        { 300, "\xC1\x2C" }, { 16383, "\xFF\xFF" } };
    for (const Case &c : cases) {
        FixedWidthMeasurer m;
        const std::string text(c.length, 'q');
        const std::string bytes =
            recordDocument(m, [&](TBaseReport &r) { r.EmitAtXY(1, 1, text); });
        EXPECT_NE(bytes.find(c.prefix + text), std::string::npos) << c.length;
        ReportFileReader reader;
        reader.openBytes(bytes);
        Record rec;
        std::string got;
        while (reader.next(rec))
            if (rec.code == rpt::LeftText)
                got = rec.text;
        EXPECT_EQ(got, text) << c.length;
    }
}

TEST(ReportFile, HeaderAndThreePagesChainedBothWays)
{
    FixedWidthMeasurer m;
    const std::string bytes = recordDocument(m, [](TBaseReport &r) {
        r.EmitLine("one");
        r.StartNextPage();
        r.EmitLine("two");
        r.StartNextPage();
        r.EmitLine("three");
    });
    Raw raw{ bytes };
    EXPECT_EQ(raw.u8(), 90);
    EXPECT_EQ(raw.i16(), 2017);
    EXPECT_EQ(raw.str(), "Tarnwick");
    EXPECT_EQ(raw.i16(), 3); // page count
    EXPECT_EQ(raw.i16(), 1);
    EXPECT_EQ(raw.i16(), 9999);
    EXPECT_EQ(raw.f32(), 8.5f);
    EXPECT_EQ(raw.f32(), 11.0f);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(raw.f32(), 0.0f);
    EXPECT_EQ(raw.u8(), 0); // portrait
    EXPECT_EQ(raw.i16(), 265); // bin without printer
    EXPECT_EQ(raw.u8(), 0); // collate
    EXPECT_EQ(raw.u8(), 0); // duplex
    EXPECT_EQ(raw.i16(), 1); // copies
    EXPECT_EQ(raw.i16(), 1);
    EXPECT_EQ(raw.i16(), 0);
    EXPECT_EQ(raw.i16(), 0);
    EXPECT_EQ(raw.str(), "");
    std::vector<std::size_t> at;
    std::vector<std::int32_t> prev, next;
    std::size_t p = raw.p;
    for (int page = 1; page <= 3; ++page) {
        ASSERT_LT(p, bytes.size());
        Raw r{ bytes, p };
        ASSERT_EQ(r.u8(), 80);
        at.push_back(p);
        prev.push_back(r.i32());
        next.push_back(r.i32());
        EXPECT_EQ(r.i16(), page);
        EXPECT_EQ(bytes[static_cast<std::size_t>(next.back()) - 1 + (next.back() == 0)],
            next.back() == 0 ? bytes[0] : 82); // each page ends in 82 before the next
        p = static_cast<std::size_t>(next.back());
    }
    EXPECT_EQ(prev,
        (std::vector<std::int32_t>{
            0, static_cast<std::int32_t>(at[0]), static_cast<std::int32_t>(at[1]) }));
    EXPECT_EQ(next,
        (std::vector<std::int32_t>{
            static_cast<std::int32_t>(at[1]), static_cast<std::int32_t>(at[2]), 0 }));
    EXPECT_EQ(bytes.back(), 82);

    ReportFileReader reader;
    reader.openBytes(bytes);
    EXPECT_EQ(reader.header().pageCount, 3);
    for (int n : { 3, 1, 2, 2, 3 }) { // forwards and backwards along the chain
        ASSERT_TRUE(reader.gotoPage(n));
        EXPECT_EQ(reader.page().number, n);
        EXPECT_EQ(
            reader.page().offset, static_cast<std::int64_t>(at[static_cast<std::size_t>(n - 1)]));
    }
    EXPECT_FALSE(reader.gotoPage(4));
}

TEST(ReportFile, StateRecordsOnlyOnChangeAndAllAtPageStart)
{
    FixedWidthMeasurer m;
    const std::string bytes = recordDocument(m, [](TBaseReport &r) {
        r.UseFont("Arial", 10);
        r.EmitText("plain");
        r.UseBold(true);
        r.EmitText("bold");
        r.EmitText("still bold");
        r.UseFont("Arial", 12);
        r.UseBold(true);
        r.EmitText("bigger");
        r.SetLinePen(kBlack, kPenSolid, -2, kPenModeCopy);
        r.PenMoveTo(1, 1);
        r.PenLineTo(2, 1);
        r.PenLineTo(2, 2);
        r.StartNextPage();
        r.EmitText("page two");
    });
    std::vector<int> expected1 = kPageStartState;
    const std::vector<int> body = { 24, 55, 83, 24, 24, 54, 83, 24, 74, 12, 11, 11 };
    expected1.insert(expected1.end(), body.begin(), body.end());
    EXPECT_EQ(codesOfPage(bytes, 1), expected1);
    std::vector<int> expected2 = kPageStartState;
    expected2.push_back(24);
    EXPECT_EQ(codesOfPage(bytes, 2), expected2);

    // Page two's start carries the state of that moment: bold 12-point text, a 0.02-inch pen.
    ReportFileReader reader;
    reader.openBytes(bytes);
    ASSERT_TRUE(reader.gotoPage(2));
    Record r;
    while (reader.next(r)) {
        if (r.code == rpt::FontBold) {
            EXPECT_EQ(r.num(0), 1);
        }
        if (r.code == rpt::FontHeight) {
            EXPECT_NEAR(r.num(0), 16.0 / 96, 1e-6);
        } // round(12 / 72 * 96) pixels
        if (r.code == rpt::PenWidth) {
            EXPECT_NEAR(r.num(0), 0.02, 1e-6);
        }
    }
}

TEST(ReportFile, BufferOverflowAndPatchesAcrossFlushes)
{
    FixedWidthMeasurer m;
    const std::string big(20000, 'g');
    const std::string bytes = recordDocument(m, [&](TBaseReport &r) {
        auto &filer = static_cast<TReportFiler &>(r);
        for (int page = 1; page <= 40; ++page) {
            if (page > 1)
                r.StartNextPage();
            for (int line = 0; line < 50; ++line)
                r.EmitLine("Line " + std::to_string(line) + " of page " + std::to_string(page));
            if (page == 20)
                filer.PrintGraphic(1, big, 1, 1); // larger than the buffer: written directly
        }
    });
    ASSERT_GT(bytes.size(), 3 * rpt::kBufferSize);
    ReportFileReader reader;
    reader.openBytes(bytes);
    EXPECT_EQ(reader.header().pageCount, 40);
    int pages = 0;
    Record r;
    for (int n = 1; reader.gotoPage(n); ++n) {
        ++pages;
        int texts = 0;
        while (reader.next(r)) {
            texts += r.code == rpt::LeftText;
            if (r.code == rpt::DrawGraphic) {
                EXPECT_EQ(r.data, big);
            }
        }
        EXPECT_EQ(texts, 50) << n;
    }
    EXPECT_EQ(pages, 40);
}

TEST(ReportFile, GraphicsRegistrySlotsAndRefusals)
{
    FixedWidthMeasurer m;
    std::vector<std::string> messages;
    const std::string bytes = recordDocument(m, [&](TBaseReport &r) {
        auto &f = static_cast<TReportFiler &>(r);
        for (auto call : { +[](TReportFiler &x) { x.RegisterGraphic(0); },
                 +[](TReportFiler &x) { x.ReuseGraphic(11); },
                 +[](TReportFiler &x) { x.UnregisterGraphic(-1); },
                 +[](TReportFiler &x) { x.CopyRect(); } }) {
            try {
                call(f);
            } catch (const ReportError &e) {
                messages.push_back(e.what());
            }
        }
        f.RegisterGraphic(3);
        f.PrintGraphic(1, "BITMAPDATA", 1, 1);
        f.ReuseGraphic(3);
        f.PrintGraphic(1, "", 2, 2);
        f.UnregisterGraphic(3);
        f.ReuseGraphic(3);
        f.PrintGraphic(1, "AGAIN", 3, 3);
    });
    EXPECT_EQ(messages,
        (std::vector<std::string>{ "RegisterGraphic: Index must be between 1 and 10",
            "ReuseGraphic: Index must be between 1 and 10",
            "UnregisterGraphic: Index must be between 1 and 10",
            "CopyRect() not supported in file mode." }));
    ReportFileReader reader;
    reader.openBytes(bytes);
    std::vector<Record> graphics;
    Record r;
    while (reader.next(r))
        if (r.code == rpt::DrawGraphic)
            graphics.push_back(r);
    ASSERT_EQ(graphics.size(), 3u);
    EXPECT_EQ(graphics[0].data, "BITMAPDATA");
    EXPECT_EQ(graphics[1].graphicKind, 129);
    ASSERT_GT(graphics[1].graphicRef, 0);
    Raw raw{ bytes, static_cast<std::size_t>(graphics[1].graphicRef) };
    EXPECT_EQ(raw.i32(), 10); // the reference points at the stored graphic's size field
    EXPECT_EQ(graphics[2].graphicKind, 1);
    EXPECT_EQ(graphics[2].data, "AGAIN");
}

TEST(ReportFile, ReadingFailures)
{
    FixedWidthMeasurer m;
    const std::string good = recordDocument(m, [](TBaseReport &r) { r.EmitLine("text"); });
    struct Case
    {
        const char *name;
        std::string bytes;
        const char *message;
    };
    std::string stray = good;
    stray.back() = 99; // a stray byte where the page end belongs
    std::string badPage = good;
    badPage[badPage.find('P', 20)] = 'X';
    const Case cases[] = {
        { "stray byte", stray, "Unexpected code found in report file." },
        { "foreign header", "A" + good.substr(1), "Unexpected header code found in report file." },
        { "truncated", good.substr(0, good.size() - 10), "Unexpected end of report file." },
        { "empty", "", "Unexpected end of report file." },
    };
    for (const Case &c : cases) {
        std::string message;
        try {
            ReportFileReader reader;
            reader.openBytes(c.bytes);
            Record r;
            while (reader.next(r)) { }
        } catch (const ReportError &e) {
            message = e.what();
        }
        EXPECT_EQ(message, c.message) << c.name;
    }
    try {
        ReportFileReader reader;
        reader.open("no-such-dir/TWREPORT.RPT");
        FAIL();
    } catch (const ReportError &e) {
        EXPECT_STREQ(e.what(), "Error initializing input stream \"no-such-dir/TWREPORT.RPT\"");
    }
}

TEST(ReportFile, StreamModesAndCreateFailure)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("rpt-modes-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    FixedWidthMeasurer m;
    for (StreamMode mode : { StreamMode::smFile, StreamMode::smMemory, StreamMode::smTempFile }) {
        TReportFiler filer(m);
        filer.FileName = (dir / "TWREPORT.RPT").string();
        fs::remove(filer.FileName);
        filer.SetStreamMode(mode);
        filer.OnPrint = [](TBaseReport &r) { r.EmitLine("saved"); };
        filer.RunReport();
        ReportFileReader reader;
        reader.open(filer.FileName);
        EXPECT_EQ(reader.header().pageCount, 1);
        if (mode == StreamMode::smTempFile) {
            EXPECT_NE(fs::path(filer.FileName).parent_path(), dir);
            fs::remove(filer.FileName);
        }
    }
    TReportFiler filer(m);
    filer.FileName = (dir / "missing" / "TWREPORT.RPT").string();
    std::vector<std::string> shown;
    int events = 0;
    filer.OnMessage = [&](const std::string &s) { shown.push_back(s); };
    filer.OnBeforePrint = [&](TBaseReport &) { ++events; };
    filer.OnNewPage = filer.OnAfterPrint = [&](TBaseReport &) { events += 100; };
    filer.RunReport();
    EXPECT_EQ(
        shown, std::vector<std::string>{ "Error initializing stream \"" + filer.FileName + "\"" });
    EXPECT_EQ(events, 1);

    TReportFiler user(m);
    user.SetStreamMode(StreamMode::smUser);
    try {
        user.RunReport();
        FAIL();
    } catch (const ReportError &e) {
        EXPECT_STREQ(e.what(), "StreamMode is smUser but Stream is nil");
    }
    fs::remove_all(dir);
}

} // namespace
