#pragma once
// TReportFiler: records a report run into the report file (layout in report_file_format.h).
// State records are written only when an attribute differs from the last one written, and all
// of them at every page start.
#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "report_engine/base_report.h"

namespace report {

enum class StreamMode { smMemory, smFile, smUser, smTempFile };

class TReportFiler : public TBaseReport
{
public:
    // The device describes the sheet and resolution text is measured at (the default printer's,
    // or 8.5 x 11 inches at 96 pixels per inch when no printer is installed).
    TReportFiler(TextMeasurer &measurer, DeviceInfo device = DeviceInfo{});
    ~TReportFiler() override;

    std::string FileName = "TWREPORT.RPT";
    void SetStreamMode(StreamMode m);
    StreamMode GetStreamMode() const { return m_streamMode; }
    // smUser: the caller's stream; it must allow seeking back (page links, page count).
    void SetStream(std::ostream *s);
    // smMemory: the recorded bytes, also saved to FileName at the end.
    const std::string &MemoryBytes() const { return m_memoryBytes; }

    void SetDevice(const DeviceInfo &d);

    // Graphics registry and embedded graphics (no document of this system uses them).
    void RegisterGraphic(int index);
    void ReuseGraphic(int index);
    void UnregisterGraphic(int index);
    void PrintGraphic(int kind, const std::string &bytes, double x, double y);
    void CopyRect();

protected:
    bool BeginJob() override;
    void EndJob(bool aborted) override;
    DeviceInfo QueryDevice() override { return m_writerDevice; }
    void BeginPage() override;
    void EndPage() override;
    void DrawText(
        int justify, double x, double y, const std::string &text, double spreadWidth) override;
    void DrawLine(double x1, double y1, double x2, double y2) override;
    void DrawTabShade(double x1, double y1, double x2, double y2, Colour c) override;
    void DrawRoundRect(double x1, double y1, double x2, double y2, double cw, double ch) override;
    void AfterText() override;

private:
    struct Written; // last state written
    void Put(const void *data, std::size_t n);
    void Flush();
    std::int64_t Offset() const;
    void PatchInt32(std::int64_t at, std::int32_t v);
    void PatchInt16(std::int64_t at, std::int16_t v);
    void U8(int v);
    void I16(int v);
    void I32(std::int32_t v);
    void F32(double v);
    void Str(const std::string &s);
    void Point(double x, double y);
    void WriteHeader();
    void SyncFont(bool all);
    void SyncPen(bool all);
    void SyncBrush(bool all);
    void WriteMove(double x, double y);

    DeviceInfo m_writerDevice;
    StreamMode m_streamMode = StreamMode::smFile;
    std::ostream *m_userStream = nullptr;
    std::unique_ptr<std::ostream> m_owned;
    std::ostream *m_out = nullptr;
    std::string m_memoryBytes;
    std::vector<char> m_buffer;
    std::int64_t m_base = 0; // stream position of the file's first byte
    std::int64_t m_flushed = 0; // bytes already in the stream
    std::int64_t m_pageCountAt = 0;
    std::int64_t m_lastPageAt = 0;
    int m_pagesWritten = 0;
    bool m_inPage = false;
    std::unique_ptr<Written> m_written;
    std::optional<std::pair<double, double>> m_penAt;
    std::array<std::int64_t, 11> m_slots{};
    int m_pendingReuse = 0;
    int m_pendingRegister = 0;
};

} // namespace report
