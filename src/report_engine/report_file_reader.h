#pragma once
// ReportFileReader: parses the report file page by page without reading the whole file. Every
// read is bounds-checked; damaged input ends in a ReportError, never in undefined behaviour.
// The Qt replay (TFilePrinter, TFilePreview) and the text listing sit on top of it.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "report_engine/report_file_format.h"
#include "report_engine/report_types.h"

namespace report {

struct FileHeader
{
    int version = 0;
    std::string title;
    int pageCount = 0;
    int firstPage = 1, lastPage = 9999;
    double sheetWidth = 8.5, sheetHeight = 11;
    double offsets[4] = { 0, 0, 0, 0 };
    bool hasPrinterSection = false;
    int orientation = 0;
    int paperBin = 265;
    int collate = 0, duplex = 0, copies = 1;
    int paperSize = 1, paperWidth = 0, paperLength = 0;
    std::string printerName;
};

struct PageHeader
{
    std::int64_t offset = 0;
    std::int64_t previous = 0;
    std::int64_t next = 0;
    int number = 0;
    double width = 0, height = 0;
};

// One decoded record. Operands keep their stored order and type: 'b' byte, 'h' int16,
// 'i' int32, 'f' single; a string operand is in text, graphic bytes in data.
struct Operand
{
    char type;
    double value;
};
struct Record
{
    int code = 0;
    std::vector<Operand> operands;
    std::string text;
    bool hasGraphic = false;
    int graphicKind = 0;
    std::int64_t graphicRef = -1; // offset of a stored graphic, for references
    std::string data;
    double num(std::size_t i) const { return i < operands.size() ? operands[i].value : 0; }
};

const char *recordName(int code);

class ReportFileReader
{
public:
    ReportFileReader();
    ~ReportFileReader();

    // Throws ReportError "Error initializing input stream "..."" when the file cannot be opened,
    // "Unexpected header code found in report file." for a foreign file.
    void open(const std::string &fileName);
    void openBytes(std::string bytes);
    void close();
    bool isOpen() const { return m_in != nullptr; }
    const FileHeader &header() const { return m_header; }

    // Positions on page record n (1-based) by following the chain from the current page.
    // False when the chain ends before it.
    bool gotoPage(int n);
    const PageHeader &page() const { return m_page; }
    // Reads the next record of the current page; false at the page end (82).
    // Throws "Unexpected code found in report file." for an unknown code.
    bool next(Record &r);

private:
    void readHeader();
    void readPageAt(std::int64_t offset);
    void seek(std::int64_t offset);
    void need(std::size_t n);
    std::uint8_t u8();
    std::int16_t i16();
    std::int32_t i32();
    double f32();
    std::string str();
    void readGraphic(Record &r);

    std::unique_ptr<std::istream> m_owned;
    std::istream *m_in = nullptr;
    std::int64_t m_size = 0;
    std::int64_t m_pos = 0;
    FileHeader m_header;
    PageHeader m_page;
    std::int64_t m_firstPageAt = 0;
};

// "page code name operands" lines for every record of every page; the decoded form the tests
// compare.
std::string listReportFile(ReportFileReader &reader);
std::string formatRecord(const Record &r);

} // namespace report
