#pragma once
// TFilePrinter replays a recorded report file on a printer (or into a PDF); TFilePreview draws
// single pages onto any QPainter at a given zoom, as vectors, reading only the page asked for.
#include <memory>

#include <QPainter>
#include <QString>

#include "report_engine/report_file_reader.h"

class QPrinter;

namespace report {

enum class StreamMode;

// Draws the records of the reader's current page. Inches become device pixels with ppi and zoom
// (1.0 = 100 percent).
void replayPage(ReportFileReader &reader, QPainter &painter, double ppiX, double ppiY, double zoom);

class TFilePrinter
{
public:
    TFilePrinter();
    virtual ~TFilePrinter();

    QString FileName = QStringLiteral("TWREPORT.RPT");
    QString PageOrder; // contains "R": last page first
    int Copies = 0; // 0: the copies stored in the file
    QString PdfOutput; // print into this PDF file instead of a printer queue
    // The printer to print on; empty: the printer recorded in the file if it is installed, else
    // the platform's default printer.
    QString PrinterName;

    // Opens the file; throws ReportError with the reading failures.
    void Open();
    void Close();
    int PageCount() const;
    const FileHeader &Header() const { return m_reader.header(); }
    // Prints every page; returns false (after OnMessage) when nothing could be printed.
    bool Print();
    std::function<void(const std::string &)> OnMessage;

protected:
    ReportFileReader m_reader;
};

class TFilePreview : public TFilePrinter
{
public:
    double ZoomFactor = 100;
    // Draws page n (1-based) with its top-left corner at the painter's origin. False when the
    // file has no such page.
    bool RenderPage(int n, QPainter &painter, double screenPpi, double zoomPercent);
};

} // namespace report
